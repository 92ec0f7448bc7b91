// Start-up: from the moment the program's process is created to the splash window's
// first picture. This program starts itself again as the measured process, which runs the
// program's own start-up (settings, application object, command line, message box,
// splash window with the view and the console, which opens its port) and reports when
// the splash window has painted. The figure is the median over several starts.

#include "Figures.h"
#include "Startup.h"
#include "splash.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kStarts = 11;
const char* const kStartedAt = "QUILLET_BENCH_STARTED_AT";

// Stamps the end of the splash window's first paint and ends the run.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(std::int64_t startedAt, std::int64_t mainAt)
        : m_startedAt(startedAt), m_mainAt(mainAt)
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // The paint runs when this filter returns; the zero timer fires after it.
            QTimer::singleShot(0, this, [this] {
                const std::int64_t now = figures::nowNs();
                std::printf("spawn_to_splash_ns %lld\nmain_to_splash_ns %lld\n",
                            static_cast<long long>(now - m_startedAt),
                            static_cast<long long>(now - m_mainAt));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::int64_t m_startedAt;
    std::int64_t m_mainAt;
    bool m_seen = false;
};

// The program's own start-up, with its settings in a temporary folder.
int measuredStart(int argc, char* argv[], std::int64_t startedAt)
{
    const std::int64_t mainAt = figures::nowNs();
    QTemporaryDir folder;
    FirstPaint stamp(startedAt, mainAt);
    app::StartupOptions options;
    options.settingsFolder = folder.path();
    options.beforeOpen = [&stamp](app::main& splash) {
        splash.installEventFilter(&stamp);
    };
    return app::run(argc, argv, options);
}

std::int64_t figure(const QByteArray& output, const QByteArray& name)
{
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith(name + ' '))
            return line.mid(name.size() + 1).toLongLong();
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const QByteArray startedAt = qgetenv(kStartedAt); !startedAt.isEmpty())
        return measuredStart(argc, argv, startedAt.toLongLong());

    figures::useOffscreenPlatform();
    QCoreApplication app(argc, argv);
    std::vector<double> spawn;
    std::vector<double> fromMain;
    for (int i = 0; i < kStarts; ++i) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const std::int64_t startedAt = figures::nowNs();
        environment.insert(QString::fromLatin1(kStartedAt), QString::number(startedAt));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), {});
        if (!process.waitForFinished(20'000)) {
            std::fprintf(stderr, "start-up run %d did not finish\n", i);
            process.kill();
            return 1;
        }
        const QByteArray output = process.readAllStandardOutput();
        spawn.push_back(static_cast<double>(figure(output, "spawn_to_splash_ns")) / 1e6);
        fromMain.push_back(static_cast<double>(figure(output, "main_to_splash_ns")) / 1e6);
    }
    figures::report("startup_to_splash", figures::median(spawn), "ms");
    figures::report("startup_to_splash_worst", figures::quantile(spawn, 1.0), "ms");
    figures::report("startup_main_to_splash", figures::median(fromMain), "ms");
    return 0;
}
