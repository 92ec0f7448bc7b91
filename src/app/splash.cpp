#include "splash.h"

#include "MenuBar1.h"
#include "p2sr.h"
#include "p2view.h"
#include "prefw.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace app {

namespace {

constexpr QSize kContent{600, 400};
constexpr QSize kPictureSource{1650, 980}; // the part of the picture that is shown
constexpr int kHeartbeatMs = 50;

} // namespace

main::main(MenuBar1& menus, PortList ports, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      m_menus(menus), m_ports(std::move(ports))
{
    setWindowTitle(QStringLiteral("Quillet 1.0"));
    auto* content = new QWidget(this);
    content->setMinimumSize(64, 64);
    content->setMaximumSize(32000, 32000);
    setCentralWidget(content);
    m_menus.install(this);
    resize(kContent.width(), kContent.height() + menuBar()->sizeHint().height());

    ImageWell1 = new QLabel(content);
    ImageWell1->setGeometry(17, 19, 571, 341);
    ImageWell1->setAlignment(Qt::AlignCenter);
    ImageWell1_Open();

    BevelButton1 = new QPushButton(QStringLiteral("Run"), content);
    BevelButton1->setGeometry(528, 372, 60, 22);
    BevelButton1->setFocusPolicy(Qt::NoFocus);
    connect(BevelButton1, &QPushButton::clicked, this, &main::BevelButton1_Action);

    // Default placement: the middle of the screen, known before the window first shows,
    // so the console can be placed beside it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Timer1.setInterval(kHeartbeatMs);
    connect(&Timer1, &QTimer::timeout, this, &main::Timer1_Action);
    Timer1.start();
}

main::~main()
{
    p2sr::state().view = nullptr;
    p2sr::state().endpoint = nullptr;
    p2sr::state().console = nullptr;
}

QString main::picturePath()
{
    return QDir(QApplication::applicationDirPath())
        .filePath(QStringLiteral("resources/quillet.jpg"));
}

const QImage& main::picture()
{
    static const QImage loaded(picturePath());
    return loaded;
}

void main::ImageWell1_Open()
{
    QImage well(ImageWell1->size(), QImage::Format_RGB32);
    const QImage& source = picture();
    if (source.isNull()) {
        // Without its picture the window still works: a plain panel with the name.
        well.fill(QColor(0x2B, 0x3A, 0x4A));
        QPainter painter(&well);
        painter.setPen(Qt::white);
        QFont font = painter.font();
        font.setPointSize(28);
        painter.setFont(font);
        painter.drawText(well.rect(), Qt::AlignCenter, QStringLiteral("Quillet"));
    } else {
        QPainter painter(&well);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(well.rect(), source, QRect(QPoint(0, 0), kPictureSource));
    }
    ImageWell1->setPixmap(QPixmap::fromImage(well));
}

void main::Event_Open()
{
    m_view = std::make_unique<p2view>();
    m_menus.install(m_view.get());
    m_view->hide();

    m_console = std::make_unique<prefw>(*m_view);
    m_menus.install(m_console.get());
    m_console->AddMenuHandlers(m_menus.FileAbort, m_menus.ViewTestFunctions);
    m_menus.setConsole(m_console.get());
    m_console->p2serial1.setPortList(m_ports);

    p2sr::State& link = p2sr::state();
    link.view = m_view.get();
    link.endpoint = &m_console->p2serial1;
    link.console = m_console.get();

    m_console->hide();
    m_console->Event_Open(this);

    show();
}

void main::BevelButton1_Action()
{
    // The console was placed beside this window when it opened; the window manager's
    // frame is known only now that this window has been shown, so the place is taken
    // again from the frame as it is.
    m_console->placeBeside(this);
    m_console->show();
    hide();
}

void main::Timer1_Action()
{
    if (m_console)
        m_console->Timer();
}

} // namespace app
