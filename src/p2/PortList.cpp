#include "PortList.h"

#include <QSerialPortInfo>

PortList::PortList(QStringList extraPaths, QString demoPath)
    : m_extraPaths(std::move(extraPaths)), m_demoPath(std::move(demoPath))
{}

void PortList::refresh()
{
    m_entries.clear();
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : system)
        m_entries.append({info.portName(), info.systemLocation()});
    for (const QString& path : std::as_const(m_extraPaths))
        m_entries.append({path, path});
    if (!m_demoPath.isEmpty())
        m_entries.append(
            {QStringLiteral("Simulated device (%1)").arg(m_demoPath), m_demoPath, false});
    m_scanned = true;
}

const QList<PortEntry>& PortList::entries()
{
    if (!m_scanned)
        refresh();
    return m_entries;
}

int PortList::demoIndex()
{
    const QList<PortEntry>& all = entries();
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (!all[i].remembered)
            return static_cast<int>(i);
    }
    return -1;
}
