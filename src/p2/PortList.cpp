#include "PortList.h"

#include <QSerialPortInfo>

PortList::PortList(QStringList extraPaths) : m_extraPaths(std::move(extraPaths)) {}

void PortList::refresh()
{
    m_entries.clear();
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : system)
        m_entries.append({info.portName(), info.systemLocation()});
    for (const QString& path : std::as_const(m_extraPaths))
        m_entries.append({path, path});
    m_scanned = true;
}

const QList<PortEntry>& PortList::entries()
{
    if (!m_scanned)
        refresh();
    return m_entries;
}
