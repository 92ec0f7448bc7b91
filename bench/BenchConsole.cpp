#include "BenchConsole.h"

#include "Alert.h"
#include "Desktop.h"
#include "p2view.h"
#include "portselect.h"
#include "prefw.h"

#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr qsizetype kHeaderBytes = 16384;

} // namespace

BenchConsole::BenchConsole(QString devicePath) : m_devicePath(std::move(devicePath))
{
    if (m_devicePath.isEmpty()) {
        std::array<char, 256> name{};
        if (openpty(&m_master, &m_slave, name.data(), nullptr, nullptr) == 0) {
            // The slave stays open here, so the device's side sees no hang-up while the
            // console opens and closes its own handle.
            termios raw{};
            tcgetattr(m_slave, &raw);
            cfmakeraw(&raw);
            tcsetattr(m_slave, TCSANOW, &raw);
            fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
            m_devicePath = QString::fromLocal8Bit(name.data());
        } else {
            std::perror("openpty");
        }
    }
    m_settings.folder = m_dir.path();
    config::wire(m_settings);
    p2sr::wire(m_link);
    // A benchmark has nobody to click a message box away; what it would say goes to stderr.
    Alert::install([](const QString& text, const QString& detail) {
        std::fprintf(stderr, "alert: %s %s\n", qPrintable(text), qPrintable(detail));
    });
}

BenchConsole::~BenchConsole()
{
    m_splash.reset();
    for (int* fd : {&m_slave, &m_master}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void BenchConsole::start(bool realHeartbeat)
{
    QFile ini(m_dir.filePath(QStringLiteral("quillet.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write(QByteArray(portselect::kKey) + '\n' + m_devicePath.toLocal8Bit() + '\n');
    ini.close();

    config::initconfig(QStringLiteral("quillet"));
    m_menus = std::make_unique<MenuBar1>();
    m_splash = std::make_unique<app::main>(*m_menus, PortList({m_devicePath}));
    if (!realHeartbeat)
        m_splash->Timer1.stop();
    m_splash->Event_Open();
    if (!console().p2serial1.serialopen)
        std::fprintf(stderr, "the console could not open %s\n", qPrintable(m_devicePath));
}

void BenchConsole::showConsole()
{
    m_splash->BevelButton1_Action();
}

bool BenchConsole::armDownload(const QByteArray& image)
{
    const QString path = m_dir.filePath(QStringLiteral("image.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray(kHeaderBytes, '\xA5'));
    file.write(image);
    file.close();

    prefw& c = console();
    c.kenabsw_Action();
    const Desktop::FileChooser previous =
        Desktop::installChooser([path](QWidget*, const Desktop::FileRequest&) { return path; });
    c.kfile_Action();
    Desktop::installChooser(previous);
    return c.kstart->isEnabled();
}

prefw& BenchConsole::console() const
{
    return *m_splash->console();
}

p2view& BenchConsole::view() const
{
    return *m_splash->view();
}
