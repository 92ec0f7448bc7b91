#include "ContentArea.h"

#include <QResizeEvent>
#include <algorithm>

ContentArea::ContentArea(const QSize& startSize, QWidget* parent)
    : QWidget(parent), m_startSize(startSize)
{}

void ContentArea::anchor(QWidget* control, const QRect& startGeometry, Qt::Edges edges)
{
    m_anchors.push_back({control, startGeometry, edges});
    place(m_anchors.back(), size());
}

void ContentArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (const Anchor& a : m_anchors)
        place(a, event->size());
}

std::pair<int, int> ContentArea::alongAxis(int pos, int length, int growth, bool nearEdge,
                                           bool farEdge)
{
    if (nearEdge && farEdge)
        return {pos, std::max(0, length + growth)};
    if (farEdge)
        return {pos + growth, length};
    return {pos, length};
}

void ContentArea::place(const Anchor& a, const QSize& area) const
{
    const QSize growth = area - m_startSize;
    const auto [x, width] =
        alongAxis(a.start.x(), a.start.width(), growth.width(), a.edges.testFlag(Qt::LeftEdge),
                  a.edges.testFlag(Qt::RightEdge));
    const auto [y, height] =
        alongAxis(a.start.y(), a.start.height(), growth.height(), a.edges.testFlag(Qt::TopEdge),
                  a.edges.testFlag(Qt::BottomEdge));
    a.control->setGeometry(x, y, width, height);
}
