#include "p2view.h"

#include "TrafficModel.h"

#include <QCheckBox>
#include <QCursor>
#include <QFrame>
#include <QItemSelection>
#include <QLayout>
#include <QListView>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <span>
#include <utility>
#include <vector>

namespace {

constexpr QSize kContentSize{544, 365};
constexpr QSize kMinContentSize{64, 64};
constexpr QSize kMaxContentSize{32000, 32000};

// The log's list. A stock QListView works out the position of every row again each time
// one is added, which with a few hundred thousand rows costs more than the block exchange
// of a download that adds them. Every row here is one line of the same height, so where a
// row lies is plain arithmetic: adding a row costs the same at any length of the log, and
// painting touches only the rows in sight.
class TrafficList : public QListView
{
public:
    using QListView::QListView;

    [[nodiscard]] QRect visualRect(const QModelIndex& index) const override
    {
        if (!isRow(index) || m_rowHeight <= 0)
            return {};
        return {0, index.row() * m_rowHeight - verticalOffset(), viewport()->width(), m_rowHeight};
    }

    [[nodiscard]] QModelIndex indexAt(const QPoint& point) const override
    {
        if (!viewport()->rect().contains(point))
            return {};
        return row(rowAt(point.y()));
    }

    void scrollTo(const QModelIndex& index, ScrollHint hint) override
    {
        if (!isRow(index) || m_rowHeight <= 0)
            return;
        const int height = viewport()->height();
        const int top = index.row() * m_rowHeight;
        const int bottom = top + m_rowHeight;
        int offset = verticalOffset();
        switch (hint) {
        case EnsureVisible:
            if (top < offset)
                offset = top;
            else if (bottom > offset + height)
                offset = bottom - height;
            break;
        case PositionAtTop:
            offset = top;
            break;
        case PositionAtBottom:
            offset = bottom - height;
            break;
        case PositionAtCenter:
            offset = top - (height - m_rowHeight) / 2;
            break;
        }
        if (verticalScrollMode() == ScrollPerItem)
            offset = (offset + m_rowHeight - 1) / m_rowHeight;
        verticalScrollBar()->setValue(offset);
    }

    void doItemsLayout() override
    {
        if (rowCount() > 0) {
            QStyleOptionViewItem option;
            initViewItemOption(&option);
            const QModelIndex first = row(0);
            m_rowHeight = itemDelegateForIndex(first)->sizeHint(option, first).height();
        }
        QAbstractItemView::doItemsLayout();
    }

protected:
    [[nodiscard]] QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers) override
    {
        const int count = rowCount();
        if (count == 0)
            return {};
        const QModelIndex current = currentIndex();
        int target = current.isValid() ? current.row() : -1;
        const int page = std::max(1, viewport()->height() / std::max(1, m_rowHeight));
        switch (action) {
        case MoveUp:
        case MovePrevious:
            --target;
            break;
        case MoveDown:
        case MoveNext:
            ++target;
            break;
        case MovePageUp:
            target -= page;
            break;
        case MovePageDown:
            target += page;
            break;
        case MoveHome:
            target = 0;
            break;
        case MoveEnd:
            target = count - 1;
            break;
        case MoveLeft:
        case MoveRight:
            break;
        }
        return row(std::clamp(target, 0, count - 1));
    }

    [[nodiscard]] int horizontalOffset() const override { return horizontalScrollBar()->value(); }

    [[nodiscard]] int verticalOffset() const override
    {
        const int value = verticalScrollBar()->value();
        return verticalScrollMode() == ScrollPerItem ? value * m_rowHeight : value;
    }

    [[nodiscard]] bool isIndexHidden(const QModelIndex&) const override { return false; }

    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override
    {
        if (!selectionModel())
            return;
        const QRect area = rect.normalized();
        const int first = std::max(0, rowAt(area.top()));
        const int last = std::min(rowCount() - 1, rowAt(area.bottom()));
        QItemSelection selection;
        if (first <= last)
            selection.select(row(first), row(last));
        selectionModel()->select(selection, command);
    }

    [[nodiscard]] QRegion visualRegionForSelection(const QItemSelection& selection) const override
    {
        QRegion region;
        for (const QItemSelectionRange& range : selection) {
            if (!range.isValid() || range.parent() != rootIndex())
                continue;
            const QRect span = visualRect(row(range.top())).united(visualRect(row(range.bottom())));
            region += span.intersected(viewport()->rect());
        }
        return region;
    }

    void updateGeometries() override
    {
        const int count = rowCount();
        const int height = viewport()->height();
        QScrollBar* bar = verticalScrollBar();
        if (m_rowHeight <= 0) {
            bar->setRange(0, 0);
        } else if (verticalScrollMode() == ScrollPerItem) {
            const int inSight = std::max(1, height / m_rowHeight);
            bar->setRange(0, std::max(0, count - inSight));
            bar->setPageStep(inSight);
            bar->setSingleStep(1);
        } else {
            bar->setRange(0, std::max(0, count * m_rowHeight - height));
            bar->setPageStep(height);
            bar->setSingleStep(m_rowHeight);
        }
        horizontalScrollBar()->setRange(0, 0);
        QAbstractItemView::updateGeometries();
    }

    void scrollContentsBy(int, int) override { viewport()->update(); }

    void paintEvent(QPaintEvent* event) override
    {
        if (m_rowHeight <= 0)
            return;
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        const QStyle::State state = option.state;
        const QModelIndex current = currentIndex();
        const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
        const QModelIndex hover = viewport()->underMouse()
                                      ? indexAt(viewport()->mapFromGlobal(QCursor::pos()))
                                      : QModelIndex();

        QPainter painter(viewport());
        const int first = std::max(0, rowAt(event->rect().top()));
        const int last = std::min(rowCount() - 1, rowAt(event->rect().bottom()));
        for (int r = first; r <= last; ++r) {
            const QModelIndex index = row(r);
            option.rect = visualRect(index);
            option.state = state;
            option.state.setFlag(QStyle::State_Selected, selectionModel()->isSelected(index));
            option.state.setFlag(QStyle::State_HasFocus, focus && index == current);
            option.state.setFlag(QStyle::State_MouseOver, index == hover);
            itemDelegateForIndex(index)->paint(&painter, option, index);
        }
    }

private:
    [[nodiscard]] int rowCount() const { return model() ? model()->rowCount(rootIndex()) : 0; }

    [[nodiscard]] QModelIndex row(int r) const
    {
        if (r < 0 || r >= rowCount())
            return {};
        return model()->index(r, modelColumn(), rootIndex());
    }

    [[nodiscard]] bool isRow(const QModelIndex& index) const
    {
        return index.isValid() && index.model() == model() && index.parent() == rootIndex();
    }

    // The row at a viewport height, or -1 above the first.
    [[nodiscard]] int rowAt(int y) const
    {
        const int contentY = y + verticalOffset();
        if (m_rowHeight <= 0 || contentY < 0)
            return -1;
        return contentY / m_rowHeight;
    }

    int m_rowHeight = 0;
};

// The content area. Each control keeps the distances it has at start-up to the edges it
// is anchored to, and moves or stretches with the others.
class ContentArea : public QWidget
{
public:
    using QWidget::QWidget;

    void anchor(QWidget* control, const QRect& startGeometry, Qt::Edges edges)
    {
        m_anchors.push_back({control, startGeometry, edges});
        place(m_anchors.back(), size());
    }

    [[nodiscard]] QSize sizeHint() const override { return kContentSize; }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        for (const Anchor& a : m_anchors)
            place(a, event->size());
    }

private:
    struct Anchor
    {
        QWidget* control;
        QRect start;
        Qt::Edges edges;
    };

    // One axis: stretch when held at both ends, follow the far edge when held only there.
    static std::pair<int, int> alongAxis(int pos, int length, int growth, bool nearEdge,
                                         bool farEdge)
    {
        if (nearEdge && farEdge)
            return {pos, std::max(0, length + growth)};
        if (farEdge)
            return {pos + growth, length};
        return {pos, length};
    }

    static void place(const Anchor& a, const QSize& area)
    {
        const QSize growth = area - kContentSize;
        const auto [x, width] =
            alongAxis(a.start.x(), a.start.width(), growth.width(), a.edges.testFlag(Qt::LeftEdge),
                      a.edges.testFlag(Qt::RightEdge));
        const auto [y, height] =
            alongAxis(a.start.y(), a.start.height(), growth.height(), a.edges.testFlag(Qt::TopEdge),
                      a.edges.testFlag(Qt::BottomEdge));
        a.control->setGeometry(x, y, width, height);
    }

    std::vector<Anchor> m_anchors;
};

} // namespace

p2view::p2view(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowMinimizeButtonHint)
{
    setWindowTitle(QStringLiteral("P2 Communications View"));
    // Closing the log must never be what ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* content = new ContentArea(this);
    content->setMinimumSize(kMinContentSize);
    content->setMaximumSize(kMaxContentSize);
    setCentralWidget(content);
    resize(kContentSize);

    m_model = new TrafficModel(TrafficModel::kDefaultCap, this);

    p2list = new TrafficList(content);
    p2list->setModel(m_model);
    p2list->setSelectionMode(QAbstractItemView::SingleSelection);
    p2list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    p2list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    p2list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    p2list->setFrameShape(QFrame::StyledPanel);
    p2list->setUniformItemSizes(true);
    content->anchor(p2list, {19, 14, 505, 301},
                    Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);

    pf = new QCheckBox(QStringLiteral("Pause"), content);
    content->anchor(pf, {22, 330, 100, 20}, Qt::LeftEdge | Qt::BottomEdge);

    BevelButton2 = new QPushButton(QStringLiteral("Clear"), content);
    BevelButton2->setFocusPolicy(Qt::TabFocus);
    content->anchor(BevelButton2, {362, 327, 60, 22}, Qt::RightEdge | Qt::BottomEdge);

    BevelButton1 = new QPushButton(QStringLiteral("Close"), content);
    BevelButton1->setFocusPolicy(Qt::TabFocus);
    content->anchor(BevelButton1, {451, 327, 60, 22}, Qt::RightEdge | Qt::BottomEdge);

    connect(BevelButton2, &QPushButton::clicked, this, &p2view::BevelButton2_Action);
    connect(BevelButton1, &QPushButton::clicked, this, &p2view::BevelButton1_Action);
}

p2view::~p2view() = default;

void p2view::showEvent(QShowEvent* event)
{
    if (!m_contentFitted && !event->spontaneous()) {
        fitContent();
        m_contentFitted = true;
    }
    QMainWindow::showEvent(event);
}

// The start-up sizes are those of the content; a menu bar the application adds after
// construction goes on top of them, not out of them.
void p2view::fitContent()
{
    layout()->activate();
    const QSize bars = size() - centralWidget()->size();
    setMaximumSize(kMaxContentSize + bars);
    resize(kContentSize + bars);
}

void p2view::Disp_string(const QByteArray& frame)
{
    Disp_mb(frame);
}

void p2view::Disp_array(const p2sr::Frame& frame, const QString& prefix)
{
    if (pf->isChecked())
        return;
    // Only the frame itself: the endpoint's buffer may still hold bytes of a longer one.
    const auto length = static_cast<std::size_t>(p2sr::frameLength(frame[0]));
    m_model->addRow(prefix, std::span(frame.data(), length));
}

void p2view::Disp_mb(const QByteArray& block)
{
    if (pf->isChecked())
        return;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(block.constData());
    m_model->addRow(QString(), std::span(bytes, static_cast<std::size_t>(block.size())));
}

void p2view::Clearall()
{
    m_model->clear();
}

void p2view::Showhide()
{
    if (isVisible()) {
        hide();
        return;
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void p2view::BevelButton1_Action()
{
    hide();
}

void p2view::BevelButton2_Action()
{
    Clearall();
}
