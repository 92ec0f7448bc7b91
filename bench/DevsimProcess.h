#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// quillet-devsim in a process of its own, so that the console's process CPU time is the
// console's alone and the device runs as it does beside the real program.
class DevsimProcess
{
public:
    // exactTimers: the device wakes on time instead of within the kernel's default 50 us
    // timer slack, as a device's own firmware would answer.
    explicit DevsimProcess(const QStringList& arguments, bool exactTimers = false);
    ~DevsimProcess();

    // The device's path, or empty when it did not start.
    [[nodiscard]] QString path() const { return m_path; }
    // Waits for the line a finished download prints: "image: <size> bytes, CRC-32 <hex>".
    [[nodiscard]] QByteArray waitForImageLine(int timeoutMs);

private:
    QProcess m_process;
    QString m_path;
};
