#pragma once

#include <QTimer>
#include <QWidget>

// A small busy indicator: spokes turning while the console waits for the device. It
// animates only while shown, so a hidden wheel costs nothing.
class ProgressWheel : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressWheel(QWidget* parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override { return {18, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static constexpr int kSpokes = 8;

    QTimer m_turn;
    int m_step = 0;
};
