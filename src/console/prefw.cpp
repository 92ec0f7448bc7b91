#include "prefw.h"

#include "ProgressWheel.h"
#include "VersionRadio.h"
#include "config.h"
#include "litkey.h"
#include "p2sr.h"
#include "p2view.h"
#include "portselect.h"
#include "serialthread.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

namespace {

constexpr int kEnableTicks = 100; // how long the keys stay locked waiting for the device
constexpr int kAnsweredTicks = 2; // what is left of the countdown once the device answers
constexpr int kSilentTicks = 50;  // watchdog: silence before the device-type request

const QColor kComsLit{0xC5, 0xFF, 0xC5};
const QColor kAbortBody{0xFF, 0x00, 0x00};
const QColor kAbortText{0xFF, 0xFF, 0xFF};

const char* const kHelpLines[] = {
    "LX-240",
    "The LX-240 has two ports, RS422-A  Input and RS422-B Output, defined by the connector "
    "pinout.",
    "",
    "KT-9",
    "Connect the LX-240  RS422-B Output to port F on the KT-9",
    "",
    "VQ-3",
    "Port A on the VQ-3 has 4 links that configure the connector as a Output (Controller) on "
    "Input(Device).",
    "",
    "If the VQ-3 is configured as an Output then connect the LX-240 RS422-A Input to port A on "
    "the VQ-3",
    "",
    "If the VQ-3 is configured as an Input then connect to the LX-240 RS422-B Output port to "
    "port A on the VQ-3",
};

QPlainTextEdit* textArea(QWidget* parent)
{
    auto* area = new QPlainTextEdit(parent);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return area;
}

QLabel* label(const QString& text, QWidget* parent, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto* l = new QLabel(text, parent);
    l->setAlignment(alignment | Qt::AlignVCenter);
    return l;
}

// The two lamp keys carry the same settings in the console's layout; their opening then
// takes the font from the settings store and the text size from the height.
litkey* lampKey(QWidget* parent)
{
    auto* key = new litkey(parent);
    key->textsize = 0;
    key->litcolor = QColor(0x80, 0xFF, 0x80);
    key->caption = QStringLiteral("Caption");
    key->Textfont = QStringLiteral("System");
    key->Bold = true;
    key->rad = 6;
    key->border = true;
    return key;
}

} // namespace

prefw::prefw(p2view& view, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_view(view)
{
    setWindowTitle(QStringLiteral("Quillet"));
    m_content = new QWidget(this);
    m_content->setFixedSize(348, 456);
    setCentralWidget(m_content);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    TabPanel1 = place(new QTabWidget(m_content), {12, 2, 323, 411});
    const QStringList tabs = {QStringLiteral("Select S/W"), QStringLiteral("Update S/W"),
                              QStringLiteral("Help"), QStringLiteral("Debug")};
    for (const QString& tab : tabs) {
        auto* page = new QWidget;
        page->installEventFilter(this);
        TabPanel1->addTab(page, tab);
    }
    buildSelectPage(TabPanel1->widget(0));
    buildUpdatePage(TabPanel1->widget(1));
    buildHelpPage(TabPanel1->widget(2));
    buildDebugPage(TabPanel1->widget(3));
    buildBottomRow();
    TabPanel1->setCurrentIndex(0);

    connect(&p2serial1, &p2serial::parseinput, this, &prefw::p2serial1_parseinput);
}

prefw::~prefw() = default;

template <typename Control> Control* prefw::place(Control* control, const QRect& window)
{
    m_placements.append({control, window});
    control->setGeometry(window);
    return control;
}

// The tables give every control's place in window coordinates, also on the tab pages,
// whose own origin depends on the style's tab bar; so page controls are placed again
// whenever their page is laid out.
void prefw::placePage(const QWidget* page)
{
    for (const Placement& p : std::as_const(m_placements)) {
        if (!page->isAncestorOf(p.control))
            continue;
        const QPoint topLeft = p.control->parentWidget()->mapFrom(m_content, p.window.topLeft());
        p.control->setGeometry(QRect(topLeft, p.window.size()));
    }
}

bool prefw::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
        placePage(static_cast<QWidget*>(watched));
    return QMainWindow::eventFilter(watched, event);
}

void prefw::buildSelectPage(QWidget* page)
{
    GroupBox1 = place(new QGroupBox(QStringLiteral("RS-422 Port"), page), {21, 33, 304, 53});
    portselect1 = place(new portselect(p2serial1, GroupBox1), {41, 58, 203, 28});
    krefresh = place(new QPushButton(QStringLiteral("Refresh"), GroupBox1), {256, 58, 61, 18});

    selectbox1 = place(new QGroupBox(QStringLiteral("Select Version 1"), page), {21, 94, 302, 114});
    TextArea1[0] = place(textArea(selectbox1), {27, 124, 246, 69});
    version1[0] = place(new VersionRadio(QString(), selectbox1), {291, 149, 20, 19});
    selectbox2 =
        place(new QGroupBox(QStringLiteral("Select Version 2"), page), {21, 209, 302, 114});
    TextArea1[1] = place(textArea(selectbox2), {27, 241, 246, 69});
    version1[1] = place(new VersionRadio(QString(), selectbox2), {291, 266, 20, 19});

    kmonitor = place(new QCheckBox(QStringLiteral("H/W Monitor"), page), {21, 328, 110, 20});
    Label3 = place(label(QStringLiteral("S/W Revision"), page), {149, 329, 109, 20});
    corerev = place(label(QStringLiteral("?.?"), page), {270, 332, 65, 16});
    Label5 = place(label(QStringLiteral("S/W Date yy\\mm\\dd"), page), {121, 348, 137, 20});
    coredate = place(label(QStringLiteral("?\\?\\?"), page), {270, 351, 65, 16});
    kverify = place(new QPushButton(QStringLiteral("Verify"), page), {21, 361, 50, 20});
    kreadeprom = place(new QPushButton(QStringLiteral("Read Contents (Reset Device)"), page),
                       {83, 372, 197, 34});
    ProgressWheel1[1] = place(new ProgressWheel(page), {291, 380, 18, 20});
    ProgressWheel1[1]->hide();
    ktest = place(new QPushButton(QStringLiteral("Test"), page), {21, 386, 50, 20});

    connect(krefresh, &QPushButton::clicked, this, &prefw::krefresh_Action);
}

void prefw::buildUpdatePage(QWidget* page)
{
    kview = place(new QPushButton(QStringLiteral("View Comms"), page), {43, 47, 97, 22});

    GroupBox4 =
        place(new QGroupBox(QStringLiteral("Select Version to Update"), page), {23, 101, 304, 134});
    version2[0] =
        place(new VersionRadio(QStringLiteral("Version 1"), GroupBox4), {43, 129, 100, 20});
    ProgressWheel1[0] = place(new ProgressWheel(GroupBox4), {153, 129, 18, 20});
    ProgressWheel1[0]->hide();
    version2[1] =
        place(new VersionRadio(QStringLiteral("Version 2"), GroupBox4), {198, 129, 100, 20});
    TextArea1[2] = place(textArea(GroupBox4), {33, 161, 281, 57});

    dlbox = place(new QGroupBox(QStringLiteral("Update Firmware"), page), {23, 246, 304, 147});
    kenabsw = place(new QPushButton(QStringLiteral("Enable"), dlbox), {30, 267, 60, 18});
    kfile = place(new QPushButton(QStringLiteral("File"), dlbox), {104, 267, 60, 18});
    kstart = place(new QPushButton(QStringLiteral("Start"), dlbox), {179, 267, 60, 18});
    KReset = place(new QPushButton(QStringLiteral("Reset"), dlbox), {254, 267, 60, 18});
    for (QPushButton* key : {kenabsw, kfile, kstart, KReset})
        key->setEnabled(false);
    desc = place(textArea(dlbox), {33, 294, 281, 40});
    Label1 = place(label(QStringLiteral("Byte Count"), dlbox, Qt::AlignRight), {30, 340, 150, 20});
    lcount = place(label(QStringLiteral("0"), dlbox, Qt::AlignRight), {206, 340, 108, 20});
    pbar = place(new QProgressBar(dlbox), {30, 365, 288, 20});
    pbar->setRange(0, 100);
    pbar->setValue(0);
    pbar->hide();

    connect(kview, &QPushButton::clicked, this, &prefw::kview_Action);
}

void prefw::buildHelpPage(QWidget* page)
{
    QStringList lines;
    for (const char* line : kHelpLines)
        lines.append(QString::fromLatin1(line));
    Label2 = place(new QLabel(lines.join(QLatin1Char('\n')), page), {23, 50, 302, 349});
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setWordWrap(true);
    Label2->setTextInteractionFlags(Qt::NoTextInteraction);
}

void prefw::buildDebugPage(QWidget* page)
{
    Label4 = place(label(QStringLiteral("$"), page), {46, 73, 14, 20});
    dbugaddr = place(new QLineEdit(page), {69, 73, 65, 22});
    dbuglen = place(new QComboBox(page), {147, 72, 59, 20});
    dbuglen->addItems({QStringLiteral("Off"), QStringLiteral("1"), QStringLiteral("2"),
                       QStringLiteral("3"), QStringLiteral("4")});
    dbuglen->setCurrentIndex(0);
}

void prefw::buildBottomRow()
{
    kabort = place(lampKey(m_content), {12, 424, 82, 20});
    kabort->hide();
    kcoms = place(lampKey(m_content), {106, 424, 100, 20});
    kclose = place(new QPushButton(QStringLiteral("Close"), m_content), {237, 424, 80, 20});

    connect(kclose, &QPushButton::clicked, this, &prefw::kclose_Action);
    connect(kabort, &litkey::action, this, &prefw::kabort_action);
}

void prefw::Event_Open(const QWidget* splash)
{
    // The controls open first, as they are created: the lamp keys take their font and
    // text size, and the port selector restores the stored port.
    kabort->Event_Open();
    kcoms->Event_Open();
    portselect1->Event_Open();

    placeBeside(splash);

    p2serial1.init();

    kcoms->caption = QStringLiteral("No Coms");
    kcoms->Setlitcaption(QStringLiteral("Good Coms"));
    kcoms->litcolor = kComsLit;

    kabort->offcolor = kAbortBody;
    kabort->TextOffColor = kAbortText;
    kabort->setcaption(QStringLiteral("Abort"));

    Showtest();
}

void prefw::placeBeside(const QWidget* splash)
{
    const QRect beside = splash->frameGeometry();
    move(beside.left() + beside.width(), beside.top());
}

void prefw::AddMenuHandlers(QAction* fileAbort, QAction* viewTestFunctions)
{
    m_viewTestFunctions = viewTestFunctions;
    connect(fileAbort, &QAction::triggered, this, &prefw::_FileAbort_Action);
    connect(viewTestFunctions, &QAction::triggered, this, &prefw::_ViewTestFunctions_Action);
}

void prefw::Timer()
{
    if (enabdelay > 0) {
        --enabdelay;
        const bool idle = enabdelay == 0;
        for (QWidget* control : std::initializer_list<QWidget*>{
                 kenabsw, version2[0], version2[1], version1[0], version1[1], kverify, kreadeprom})
            control->setEnabled(idle);
        for (ProgressWheel* wheel : ProgressWheel1)
            wheel->setVisible(!idle);
    }

    ++comscheck;
    if (comscheck % kSilentTicks == 0) {
        QByteArray request("\x00\x11", 2); // device-type request
        p2sr::appendsum(request);
        p2sr::p2write(request);
    }
    if (comscheck > kSilentTicks)
        kcoms->setlit(false);
}

void prefw::Setenabdelay()
{
    kenabsw->setEnabled(false);
    enabdelay = kEnableTicks;
}

void prefw::Rxack()
{
    if (enabdelay > 0)
        enabdelay = kAnsweredTicks;
}

void prefw::Showtest()
{
    kverify->setVisible(config::getbool(QStringLiteral("Showtest")));
    ktest->setVisible(!kverify->isHidden());
}

void prefw::Abort() {}

void prefw::kclose_Action()
{
    p2serial1.portclose();
    QApplication::quit();
}

void prefw::kview_Action()
{
    m_view.Showhide();
}

void prefw::kabort_action()
{
    Abort();
}

void prefw::krefresh_Action()
{
    portselect1->refresh();
}

void prefw::p2serial1_parseinput(const p2sr::Frame&)
{
    // Any frame from the device proves the link: the lamp lights and the watchdog
    // starts counting again.
    kcoms->setlit(true);
    comscheck = 0;
}

bool prefw::_FileAbort_Action()
{
    Abort();
    return true;
}

bool prefw::_ViewTestFunctions_Action()
{
    // The item is checkable, so the check mark has already flipped.
    config::putbool(QStringLiteral("showtest"), m_viewTestFunctions->isChecked());
    Showtest();
    return true;
}
