#include "config.h"
#include "p2serial.h"
#include "p2sr.h"
#include "uisr.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillet"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Quillet: service tool for RS-422 controller devices."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Adds the serial device at <path> to the port list "
                                     "(pseudo-terminals, socat pairs). May be repeated."),
                      QStringLiteral("path")});
    parser.process(app);

    config::State settings;
    config::wire(settings);
    config::initconfig(QStringLiteral("quillet"));

    p2sr::State link;
    p2sr::wire(link);

    const QStringList extraPorts = parser.values(QStringLiteral("port"));
    p2serial endpoint;
    endpoint.setPortList(PortList(extraPorts));
    endpoint.init();
    link.endpoint = &endpoint;

    QTextStream out(stdout);
    QObject::connect(&endpoint, &p2serial::parseinput, [&out](const p2sr::Frame& frame) {
        QString row = QStringLiteral("Rx-");
        for (int i = 0; i < p2sr::frameLength(frame[0]); ++i)
            row += uisr::byte2hex(frame[static_cast<std::size_t>(i)]) + QLatin1Char(' ');
        out << row << Qt::endl;
    });
    if (!extraPorts.isEmpty()) {
        const qsizetype systemPorts = endpoint.portList().entries().size() - extraPorts.size();
        endpoint.portopen(static_cast<int>(systemPorts));
        out << "port: " << endpoint.portname << Qt::endl;
        p2sr::p2restart();
    }
    return QCoreApplication::exec();
}
