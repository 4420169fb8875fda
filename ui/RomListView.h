// The view of the ROM list: a report of whole rows. From the keyboard it moves as a list does
// (Home and End go to the first and last row, F2 renames the focused row whatever cell holds
// the focus); the selected rows can be dragged to another place in the list.
#pragma once

#include <QTableWidget>

#include <memory>

class QMimeData;

// Columns of the list: the caption, then the four sub-items.
enum RomListColumn : int {
    kColumnName = 0,
    kColumnControl = 1,
    kColumnFilename = 2,
    kColumnPath = 3,
    kColumnCrc = 4,
    kRomListColumnCount = 5,
};

class RomListView : public QTableWidget {
    Q_OBJECT

public:
    explicit RomListView(QWidget* parent = nullptr);

    // What a drag of the selected rows carries. Only this list takes it.
    std::unique_ptr<QMimeData> SelectedRowsDrag() const;
    bool IsOwnDrag(const QMimeData* mime) const;

signals:
    // Rows dragged from this list were dropped to stand before `row` (rowCount(): at the end).
    void RowsDropped(int row);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QByteArray DragToken() const;
    // The row that rows dropped at `point` (in the viewport) go before.
    int DropRow(const QPoint& point) const;
    void ShowDropRow(int row);

    int dropRow_ = -1; // where dragged rows would go; -1 while none are dragged over the list
};
