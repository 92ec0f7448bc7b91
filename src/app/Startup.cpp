#include "Startup.h"

#include "Alert.h"
#include "App.h"
#include "Desktop.h"
#include "DeviceSim.h"
#include "config.h"
#include "p2sr.h"
#include "splash.h"

#include <QCommandLineParser>
#include <memory>

namespace app {

int run(int argc, char* argv[], const StartupOptions& options)
{
    // The module state lives for the whole run.
    config::State settings;
    settings.folder = options.settingsFolder;
    config::wire(settings);
    p2sr::State link;
    p2sr::wire(link);

    App app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Quillet: service tool for RS-422 controller devices."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Adds the serial device at <path> to the port list "
                                     "(pseudo-terminals, socat pairs, network serial "
                                     "bridges). May be repeated."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("demo"),
                      QStringLiteral("Runs against a simulated device on a pseudo-terminal: "
                                     "every workflow works without hardware. The demo's port "
                                     "is never stored in quillet.ini.")});
    parser.process(app);

    Desktop::installMessageBox();
    app.Event_Open();

    // The demo's device answers like a real one on a real line: paced at 38400 baud 8O2,
    // reporting its lamps, asking again for a block it did not get.
    std::unique_ptr<DeviceSim> device;
    QString demoPath;
    if (parser.isSet(QStringLiteral("demo"))) {
        DeviceSim::Options demo;
        demo.pace = true;
        demo.lampPeriod = std::chrono::milliseconds(2000);
        demo.requestTimeout = std::chrono::milliseconds(500);
        device = std::make_unique<DeviceSim>(demo);
        if (device->start())
            demoPath = device->slavePath();
        else
            Alert::show(QStringLiteral("The simulated device could not start"),
                        device->errorString());
    }

    main splash(*app.menus(), PortList(parser.values(QStringLiteral("port")), demoPath));
    if (options.beforeOpen)
        options.beforeOpen(splash);
    splash.Event_Open();
    return App::exec();
}

} // namespace app
