#include "World.h"

#include "portselect.h"
#include "prefw.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTimer>

World::World() : m_portPath(device.slavePath())
{
    settings.folder = dir.path();
    config::wire(settings);
    p2sr::wire(link);
    m_previousAlert =
        Alert::install([this](const QString& text, const QString&) { alerts.append(text); });
}

World::~World()
{
    splash.reset();
    Alert::install(m_previousAlert);
}

void World::writeSettings(const QStringList& lines) const
{
    QFile file(dir.filePath(QStringLiteral("quillet.ini")));
    if (file.open(QIODevice::WriteOnly))
        file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

void World::start(bool realHeartbeat)
{
    config::initconfig(QStringLiteral("quillet"));
    splash = std::make_unique<app::main>(menus, PortList({m_portPath}));
    if (!realHeartbeat)
        splash->Timer1.stop();
    splash->Event_Open();
}

void World::startWithDevice(const QString& devicePath)
{
    if (!devicePath.isEmpty())
        m_portPath = devicePath;
    writeSettings({QLatin1String(portselect::kKey), m_portPath});
    start();
}

QByteArray World::receive(int count, int timeoutMs)
{
    // The console answers the device from its event loop, so it runs while we wait.
    QByteArray got;
    const QDeadlineTimer deadline(timeoutMs);
    while (got.size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        got += device.read(count - static_cast<int>(got.size()), 5);
    }
    return got;
}

QByteArray World::nextFrame(int timeoutMs)
{
    const QByteArray first = receive(1, timeoutMs);
    if (first.isEmpty())
        return {};
    const int length = (static_cast<std::uint8_t>(first[0]) & 0x0F) + 3;
    return (first + receive(length - 1, 2000)).toHex(' ');
}

bool World::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer wake; // so the loop looks at the clock even when nothing else happens
    wake.start(50);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

void World::tick(int count)
{
    for (int i = 0; i < count; ++i)
        splash->Timer1_Action();
}

QString World::settingsFile() const
{
    return dir.filePath(QStringLiteral("quillet.ini"));
}

QByteArray World::settingsText() const
{
    QFile file(settingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
