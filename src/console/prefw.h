#pragma once

#include "ConsoleOps.h"
#include "p2serial.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QRect>
#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class ProgressWheel;
class VersionRadio;
class litkey;
class p2view;
class portselect;

// The console: the operator's working window. Four tabs ("Select S/W", "Update S/W",
// "Help", "Debug") over a bottom row with the abort key, the communications lamp and
// Close. It owns the serial endpoint, and its periodic tick runs the enable countdown
// and the link watchdog.
class prefw : public QMainWindow, public ConsoleOps
{
    Q_OBJECT

public:
    explicit prefw(p2view& view, QWidget* parent = nullptr);
    ~prefw() override;

    // The window's opening: beside the splash window, the endpoint ready, the lamps set.
    void Event_Open(const QWidget* splash);
    // Puts the console directly to the right of the splash window, top edges aligned.
    void placeBeside(const QWidget* splash);
    // Registers the console's menu handlers for File > Abort and View > Test Functions.
    void AddMenuHandlers(QAction* fileAbort, QAction* viewTestFunctions);

    // One heartbeat tick, every 50 ms.
    void Timer();
    void Setenabdelay();
    void Showtest();
    void Abort();
    void Downdone();
    void Setversion(int v);
    void File2stream();
    void sendsubcmd(const QByteArray& payload, std::uint8_t subcommand);

    // What the device's frames set off
    void Rxack() override;
    void Rxname(const p2sr::Frame& p) override;
    void Dispversion(std::uint8_t v) override;
    void Dispmonitor(std::uint8_t state) override;
    void Disprevision(std::uint8_t major, std::uint8_t minor) override;
    void Dispdate(std::uint8_t year, std::uint8_t month, std::uint8_t day) override;
    void rxdatarq() override;
    void setCorerev(const QString& text) override;

    // The operator's actions
    void kenabsw_Action();
    void kfile_Action();
    void KReset_Action();
    void kstart_Action();
    void kreadeprom_Action();
    void kview_Action();
    void selectbox1_MouseDown();
    void selectbox2_MouseDown();
    void version1_Action(int index);
    void version2_Action(int index);
    void TextArea1_MouseDown(int index);
    void krefresh_Action();
    void kverify_Action();
    void ktest_Action();
    void kmonitor_Action();
    void dbugaddr_TextChange();
    void dbuglen_Change();
    void kclose_Action();
    void p2serial1_parseinput(const p2sr::Frame& incmd);
    void kabort_action();
    bool _FileAbort_Action();
    bool _ViewTestFunctions_Action();

    // Fields
    QString f;                         // the firmware image file chosen last; empty: none
    int version = 0;                   // the version last requested
    bool vflag = false;                // the program is setting the version buttons
    int enabdelay = 0;                 // enable countdown in ticks; 0: none running
    std::array<QByteArray, 3> vername; // version names as the device reports them
    bool fver = true;                  // a version name is still being received
    int comscheck = 0;                 // ticks since the last received frame

    // Bottom row
    QTabWidget* TabPanel1 = nullptr;
    litkey* kabort = nullptr;
    litkey* kcoms = nullptr;
    QPushButton* kclose = nullptr;
    p2serial p2serial1;

    // "Select S/W"
    QGroupBox* GroupBox1 = nullptr;
    portselect* portselect1 = nullptr;
    QPushButton* krefresh = nullptr;
    QGroupBox* selectbox1 = nullptr;
    QGroupBox* selectbox2 = nullptr;
    std::array<QPlainTextEdit*, 3> TextArea1{};
    std::array<VersionRadio*, 2> version1{};
    QCheckBox* kmonitor = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* corerev = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* coredate = nullptr;
    QPushButton* kverify = nullptr;
    QPushButton* kreadeprom = nullptr;
    std::array<ProgressWheel*, 2> ProgressWheel1{};
    QPushButton* ktest = nullptr;

    // "Update S/W"
    QPushButton* kview = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    std::array<VersionRadio*, 2> version2{};
    QGroupBox* dlbox = nullptr;
    QPushButton* kenabsw = nullptr;
    QPushButton* kfile = nullptr;
    QPushButton* kstart = nullptr;
    QPushButton* KReset = nullptr;
    QPlainTextEdit* desc = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lcount = nullptr;
    QProgressBar* pbar = nullptr;

    // "Help"
    QLabel* Label2 = nullptr;

    // "Debug"
    QLabel* Label4 = nullptr;
    QLineEdit* dbugaddr = nullptr;
    QComboBox* dbuglen = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Placement
    {
        QWidget* control;
        QRect window; // where the control sits, in the window's content coordinates
    };

    void buildSelectPage(QWidget* page);
    void buildUpdatePage(QWidget* page);
    void buildHelpPage(QWidget* page);
    void buildDebugPage(QWidget* page);
    void buildBottomRow();
    template <typename Control> Control* place(Control* control, const QRect& window);
    void placePage(const QWidget* page);
    void selectVersion(int v);
    void deviceCommand(std::uint8_t subcommand);
    void showProgress(qint64 sent);
    void endDownload(const QString& outcome);
    [[nodiscard]] QString versionName(int slot) const;

    p2view& m_view;
    QWidget* m_content = nullptr;
    QList<Placement> m_placements;
    QAction* m_viewTestFunctions = nullptr;
    qint64 m_imageSize = 0;  // bytes of image data after the header
    int m_progressShift = 0; // progress bar units: bytes >> shift, so large images fit an int
};
