#include "DevsimProcess.h"

#include <QDeadlineTimer>
#include <cstdio>
#include <sys/prctl.h>

DevsimProcess::DevsimProcess(const QStringList& arguments, bool exactTimers)
{
    if (exactTimers) {
        // Inherited by the device's thread and kept across exec.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); });
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(QUILLET_DEVSIM), arguments);
    if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(5000)) {
        std::fprintf(stderr, "quillet-devsim did not start\n");
        return;
    }
    m_path = QString::fromLocal8Bit(m_process.readLine().trimmed());
}

DevsimProcess::~DevsimProcess()
{
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
}

QByteArray DevsimProcess::waitForImageLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("image:"))
                return line;
            continue;
        }
        m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    return {};
}
