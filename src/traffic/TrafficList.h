#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QListView>
#include <QModelIndex>
#include <QPoint>
#include <QRect>
#include <QRegion>

class QItemSelection;
class QPaintEvent;

// The log's list. A stock QListView works out the position of every row again each time
// one is added, which with a few hundred thousand rows costs more than the block exchange
// of a download that adds them. Every row here is one line of the same height, so where a
// row lies is plain arithmetic: adding a row costs the same at any length of the log, and
// painting touches only the rows in sight. While a download adds rows hundreds of times a
// second, the list is drawn again at most kRefreshMs apart: the operator cannot read it
// faster, and each drawing would hold up the device's next block request.
class TrafficList : public QListView
{
public:
    using QListView::QListView;

    [[nodiscard]] QRect visualRect(const QModelIndex& index) const override;
    [[nodiscard]] QModelIndex indexAt(const QPoint& point) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint) override;
    void doItemsLayout() override;

protected:
    [[nodiscard]] QModelIndex moveCursor(CursorAction action,
                                         Qt::KeyboardModifiers modifiers) override;
    [[nodiscard]] int horizontalOffset() const override;
    [[nodiscard]] int verticalOffset() const override;
    [[nodiscard]] bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    [[nodiscard]] QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void timerEvent(QTimerEvent* event) override;

private:
    static constexpr int kRefreshMs = 40;

    // Shows new rows now, or once kRefreshMs have passed since they were last shown.
    void scheduleRefresh();
    void refreshRows();
    [[nodiscard]] int rowCount() const;
    [[nodiscard]] QModelIndex row(int r) const;
    [[nodiscard]] bool isRow(const QModelIndex& index) const;
    // The row at a viewport height, or -1 above the first.
    [[nodiscard]] int rowAt(int y) const;

    int m_rowHeight = 0;
    QBasicTimer m_refresh;
    QElapsedTimer m_sinceRefresh;
};
