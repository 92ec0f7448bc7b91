#include "portselect.h"

#include "config.h"
#include "p2serial.h"

#include <QSignalBlocker>

portselect::portselect(p2serial& port, QWidget* parent) : QComboBox(parent), m_port(port)
{
    connect(this, &QComboBox::currentIndexChanged, this, &portselect::Event_Change);
}

void portselect::refresh()
{
    // Rebuilding is not a choice of the operator: the open port stays open and the stored
    // choice is left alone.
    const QSignalBlocker quiet(this);
    PortList& ports = m_port.portList();
    ports.refresh();
    clear();
    addItem(QStringLiteral("none"));
    for (const PortEntry& entry : ports.entries())
        addItem(entry.name);
    setCurrentIndex(-1);
}

void portselect::Event_Open()
{
    refresh();
    // A demo run opens its simulated device, whatever the operator chose before.
    if (const int demo = m_port.portList().demoIndex(); demo >= 0) {
        const QSignalBlocker quiet(this);
        setCurrentIndex(demo + 1);
        m_port.portopen(demo);
        return;
    }
    const QString stored = config::getstring(QLatin1String(kKey));
    for (int row = 0; row < count(); ++row) {
        if (itemText(row).compare(stored, Qt::CaseInsensitive) == 0) {
            // Selecting the restored row is not a change by the operator; the port is
            // opened once, here.
            const QSignalBlocker quiet(this);
            setCurrentIndex(row);
            m_port.portopen(row - 1);
            return;
        }
    }
}

void portselect::Event_Change(int row)
{
    if (row < 0)
        return;
    const QList<PortEntry>& ports = m_port.portList().entries();
    if (row == 0 || ports.value(row - 1).remembered)
        config::putconfig(QLatin1String(kKey), itemText(row));
    m_port.portopen(row - 1);
}
