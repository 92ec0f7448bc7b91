#include "serialthread.h"

#include "p2serial.h"

serialthread::serialthread(p2serial& port, QObject* parent) : QObject(parent), m_port(port) {}

serialthread::~serialthread()
{
    stop();
}

void serialthread::start()
{
    if (m_running)
        return;
    m_arrival = connect(&m_port, &QIODevice::readyRead, this, &serialthread::pass);
    m_running = true;
}

void serialthread::stop()
{
    disconnect(m_arrival);
    m_running = false;
}

void serialthread::pass()
{
    if (!p2open || !p2thread)
        return;
    const QByteArray bytes = m_port.readAll();
    if (!bytes.isEmpty())
        m_port.newrxdata(bytes);
}
