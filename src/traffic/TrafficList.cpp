#include "TrafficList.h"

#include <QCursor>
#include <QItemSelection>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTimerEvent>
#include <algorithm>

QRect TrafficList::visualRect(const QModelIndex& index) const
{
    if (!isRow(index) || m_rowHeight <= 0)
        return {};
    return {0, index.row() * m_rowHeight - verticalOffset(), viewport()->width(), m_rowHeight};
}

QModelIndex TrafficList::indexAt(const QPoint& point) const
{
    if (!viewport()->rect().contains(point))
        return {};
    return row(rowAt(point.y()));
}

void TrafficList::scrollTo(const QModelIndex& index, ScrollHint hint)
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

void TrafficList::doItemsLayout()
{
    if (rowCount() > 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        const QModelIndex first = row(0);
        m_rowHeight = itemDelegateForIndex(first)->sizeHint(option, first).height();
    }
    QAbstractItemView::doItemsLayout();
}

QModelIndex TrafficList::moveCursor(CursorAction action, Qt::KeyboardModifiers)
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

int TrafficList::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int TrafficList::verticalOffset() const
{
    const int value = verticalScrollBar()->value();
    return verticalScrollMode() == ScrollPerItem ? value * m_rowHeight : value;
}

bool TrafficList::isIndexHidden(const QModelIndex&) const
{
    return false;
}

void TrafficList::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command)
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

QRegion TrafficList::visualRegionForSelection(const QItemSelection& selection) const
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

void TrafficList::updateGeometries()
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

void TrafficList::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TrafficList::paintEvent(QPaintEvent* event)
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

void TrafficList::rowsInserted(const QModelIndex& parent, int start, int end)
{
    // QListView's own handling would drop its item layout, which this list does not keep,
    // and lay out every row again; rows here need only the scroll range and a drawing.
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent == rootIndex())
        scheduleRefresh();
}

void TrafficList::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_refresh.timerId()) {
        refreshRows();
        return;
    }
    QListView::timerEvent(event);
}

void TrafficList::scheduleRefresh()
{
    if (m_refresh.isActive())
        return; // already due
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : kRefreshMs;
    if (since >= kRefreshMs)
        refreshRows(); // a single frame, or the first of a burst, shows at once
    else
        m_refresh.start(static_cast<int>(kRefreshMs - since), this);
}

void TrafficList::refreshRows()
{
    m_refresh.stop();
    m_sinceRefresh.start();
    if (m_rowHeight <= 0) {
        doItemsLayout(); // the first row gives the height of them all
        return;
    }
    updateGeometries();
    viewport()->update();
}

int TrafficList::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

QModelIndex TrafficList::row(int r) const
{
    if (r < 0 || r >= rowCount())
        return {};
    return model()->index(r, modelColumn(), rootIndex());
}

bool TrafficList::isRow(const QModelIndex& index) const
{
    return index.isValid() && index.model() == model() && index.parent() == rootIndex();
}

int TrafficList::rowAt(int y) const
{
    const int contentY = y + verticalOffset();
    if (m_rowHeight <= 0 || contentY < 0)
        return -1;
    return contentY / m_rowHeight;
}
