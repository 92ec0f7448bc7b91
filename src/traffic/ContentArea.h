#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>
#include <utility>
#include <vector>

class QResizeEvent;

// The content area. Each control keeps the distances it has at start-up to the edges it
// is anchored to, and moves or stretches with the others.
class ContentArea : public QWidget
{
public:
    // startSize: the size the anchored controls' start-up geometries were laid out in.
    explicit ContentArea(const QSize& startSize, QWidget* parent = nullptr);

    void anchor(QWidget* control, const QRect& startGeometry, Qt::Edges edges);

    [[nodiscard]] QSize sizeHint() const override { return m_startSize; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Anchor
    {
        QWidget* control;
        QRect start;
        Qt::Edges edges;
    };

    // One axis: stretch when held at both ends, follow the far edge when held only there.
    [[nodiscard]] static std::pair<int, int> alongAxis(int pos, int length, int growth,
                                                       bool nearEdge, bool farEdge);
    void place(const Anchor& a, const QSize& area) const;

    const QSize m_startSize;
    std::vector<Anchor> m_anchors;
};
