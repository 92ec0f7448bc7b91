#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One serial port the operator can choose: the name shown and stored, and the device path
// that is opened.
struct PortEntry
{
    QString name;
    QString location;
};

// The system's serial ports in the order the system reports them, followed by the device
// paths given on the command line (pseudo-terminals, socat pairs and network serial
// bridges, which the system's list leaves out). The list is taken at refresh(), so a
// position keeps naming the port the operator saw until the next refresh.
class PortList
{
public:
    explicit PortList(QStringList extraPaths = {});

    void refresh();
    [[nodiscard]] const QList<PortEntry>& entries();

private:
    QStringList m_extraPaths;
    QList<PortEntry> m_entries;
    bool m_scanned = false;
};
