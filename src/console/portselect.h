#pragma once

#include <QComboBox>

class p2serial;

// The drop-down list with which the operator chooses the port that leads to the device:
// "none" and every port of the endpoint's list. The choice is stored by its text, so the
// port is found again at the next start even when its position in the list has changed.
class portselect : public QComboBox
{
    Q_OBJECT

public:
    // The settings key of the console's only selector.
    static constexpr auto kKey = "serport0";

    explicit portselect(p2serial& port, QWidget* parent = nullptr);

    void refresh();
    // Builds the list and restores the stored choice, opening its port.
    void Event_Open();

private:
    void Event_Change(int row);

    p2serial& m_port;
};
