// Renders Quillet's three windows offscreen to PNG files, so the layout can be looked at
// without a display:
//   QT_QPA_PLATFORM=offscreen build/tools/snapshot OUTDIR
// Writes splash.png, console-1.png to console-4.png (one per tab) and comms.png.
#include "App.h"
#include "config.h"
#include "litkey.h"
#include "p2sr.h"
#include "p2view.h"
#include "prefw.h"
#include "splash.h"

#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {

bool save(QWidget* window, const QDir& out, const QString& name)
{
    window->show();
    QApplication::processEvents();
    return window->grab().save(out.filePath(name));
}

} // namespace

int main(int argc, char* argv[])
{
    config::State settings;
    config::wire(settings);
    p2sr::State link;
    p2sr::wire(link);

    App app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    QTemporaryDir scratch; // the snapshot leaves no settings behind
    settings.folder = scratch.path();
    app.Event_Open();

    app::main splash(*app.menus());
    splash.Event_Open();
    bool ok = save(&splash, out, QStringLiteral("splash.png"));

    splash.BevelButton1_Action();
    prefw& console = *splash.console();
    console.kcoms->setlit(true);
    for (int tab = 0; tab < console.TabPanel1->count(); ++tab) {
        console.TabPanel1->setCurrentIndex(tab);
        ok = save(&console, out, QStringLiteral("console-%1.png").arg(tab + 1)) && ok;
    }

    p2view& view = *splash.view();
    view.Disp_string(QByteArray::fromHex("001111"));
    p2sr::Frame ack{0x10, 0x01, 0x11};
    view.Disp_array(ack, QStringLiteral("Rx-"));
    view.Disp_string(QByteArray::fromHex("01b004b5"));
    ok = save(&view, out, QStringLiteral("comms.png")) && ok;
    return ok ? 0 : 1;
}
