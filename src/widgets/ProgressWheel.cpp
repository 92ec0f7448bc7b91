#include "ProgressWheel.h"

#include <QPainter>

ProgressWheel::ProgressWheel(QWidget* parent) : QWidget(parent)
{
    m_turn.setInterval(100);
    connect(&m_turn, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void ProgressWheel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal radius = std::min(width(), height()) / 2.0 - 1.0;
    painter.translate(width() / 2.0, height() / 2.0);
    const QColor ink = palette().color(QPalette::WindowText);
    for (int i = 0; i < kSpokes; ++i) {
        QColor spoke = ink;
        // the leading spoke is darkest, the ones behind it fade
        spoke.setAlphaF(1.0 - ((i - m_step + kSpokes) % kSpokes) / double(kSpokes));
        painter.setPen(QPen(spoke, 2.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, radius * 0.45), QPointF(0, radius));
        painter.rotate(-360.0 / kSpokes);
    }
}

void ProgressWheel::showEvent(QShowEvent*)
{
    m_turn.start();
}

void ProgressWheel::hideEvent(QHideEvent*)
{
    m_turn.stop();
}
