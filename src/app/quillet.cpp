#include "App.h"
#include "Desktop.h"
#include "config.h"
#include "p2sr.h"
#include "splash.h"

#include <QCommandLineParser>

int main(int argc, char* argv[])
{
    // The module state lives for the whole run.
    config::State settings;
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
    parser.process(app);

    Desktop::installMessageBox();
    app.Event_Open();

    app::main splash(*app.menus(), parser.values(QStringLiteral("port")));
    splash.Event_Open();
    return App::exec();
}
