#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One serial port the operator can choose: the name shown and stored, and the device path
// that is opened. The demo's simulated device lives only for one run, so choosing or
// opening it is never remembered in the settings.
struct PortEntry
{
    QString name;
    QString location;
    bool remembered = true;
};

// The system's serial ports in the order the system reports them, followed by the device
// paths given on the command line (pseudo-terminals, socat pairs and network serial
// bridges, which the system's list leaves out), and last the demo's simulated device if
// there is one. The list is taken at refresh(), so a position keeps naming the port the
// operator saw until the next refresh.
class PortList
{
public:
    explicit PortList(QStringList extraPaths = {}, QString demoPath = {});

    void refresh();
    [[nodiscard]] const QList<PortEntry>& entries();
    // The demo device's position in the list, or -1 without one.
    [[nodiscard]] int demoIndex();

private:
    QStringList m_extraPaths;
    QString m_demoPath;
    QList<PortEntry> m_entries;
    bool m_scanned = false;
};
