#pragma once

#include <QByteArray>
#include <QString>

// A real pseudo-terminal pair for tests: the endpoint opens the slave by its path, as an
// operator's --port would, and the test plays the device at the master.
class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    [[nodiscard]] bool isOpen() const { return m_master >= 0; }
    [[nodiscard]] QString slavePath() const { return m_slavePath; }
    [[nodiscard]] int slaveFd() const { return m_slave; }

    // The device's side goes away, as when an adapter is pulled out.
    void hangUp();
    // Sends bytes from the device's side.
    void write(const QByteArray& bytes);
    // What the device's side receives: waits until count bytes are there or timeoutMs
    // passes, and takes no more than count.
    [[nodiscard]] QByteArray read(int count, int timeoutMs = 2000);

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
