#pragma once

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
// painting touches only the rows in sight.
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

private:
    [[nodiscard]] int rowCount() const;
    [[nodiscard]] QModelIndex row(int r) const;
    [[nodiscard]] bool isRow(const QModelIndex& index) const;
    // The row at a viewport height, or -1 above the first.
    [[nodiscard]] int rowAt(int y) const;

    int m_rowHeight = 0;
};
