#pragma once

#include <QRadioButton>

// A version radio button. The console alone keeps the version buttons exclusive (they
// sit in different group boxes, and a version of 2 clears them all), so Qt's automatic
// exclusivity is off; a click on a selected button leaves it selected, as on any radio.
class VersionRadio : public QRadioButton
{
    Q_OBJECT

public:
    explicit VersionRadio(const QString& text, QWidget* parent = nullptr)
        : QRadioButton(text, parent)
    {
        setAutoExclusive(false);
    }

protected:
    void nextCheckState() override
    {
        if (!isChecked())
            setChecked(true);
    }
};
