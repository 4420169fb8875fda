#include "ui/RomListView.h"

#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Rows dragged inside the list. The data names the process and the list, so that rows dragged
// from another window or another run are not taken for this list's own.
const QString kRowsFormat = QStringLiteral("application/x-rix-rom-rows");

// Some styles highlight only a selected cell's text, which leaves a row whose name is empty
// or blank looking unselected in its first cell: the whole cell is highlighted first.
class WholeCellHighlight final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (option.state.testFlag(QStyle::State_Selected)) {
            const QPalette::ColorGroup group =
                !option.state.testFlag(QStyle::State_Enabled) ? QPalette::Disabled
                : option.state.testFlag(QStyle::State_Active) ? QPalette::Normal
                                                              : QPalette::Inactive;
            painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
        }
        QStyledItemDelegate::paint(painter, option, index);
    }
};

} // namespace

RomListView::RomListView(QWidget* parent) : QTableWidget(parent) {
    setItemDelegate(new WholeCellHighlight(this));
}

QByteArray RomListView::DragToken() const {
    return QByteArray::number(QCoreApplication::applicationPid()) + ' ' +
           QByteArray::number(reinterpret_cast<quintptr>(this));
}

std::unique_ptr<QMimeData> RomListView::SelectedRowsDrag() const {
    auto mime = std::make_unique<QMimeData>();
    mime->setData(kRowsFormat, DragToken());
    return mime;
}

bool RomListView::IsOwnDrag(const QMimeData* mime) const {
    return mime != nullptr && mime->hasFormat(kRowsFormat) &&
           mime->data(kRowsFormat) == DragToken();
}

QModelIndex RomListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    // To the first or last row, at its name: a list's Home and End, never along the row.
    if ((cursorAction == MoveHome || cursorAction == MoveEnd) && rowCount() > 0) {
        return model()->index(cursorAction == MoveHome ? 0 : rowCount() - 1, kColumnName);
    }
    return QTableWidget::moveCursor(cursorAction, modifiers);
}

void RomListView::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (key == Qt::Key_F2 && modifiers == Qt::NoModifier && currentIndex().isValid()) {
        // The name is what F2 renames, whichever cell of the row was clicked last.
        const QModelIndex name = model()->index(currentIndex().row(), kColumnName);
        selectionModel()->setCurrentIndex(name, QItemSelectionModel::NoUpdate);
        if (!edit(name, EditKeyPressed, event)) {
            event->ignore();
        }
        return;
    }
    if ((key == Qt::Key_Home || key == Qt::Key_End) && modifiers.testFlag(Qt::ControlModifier)) {
        // With Ctrl as without: to the first or last row, selecting it as the arrow keys do.
        QKeyEvent plain(event->type(), key, event->modifiers() & ~Qt::ControlModifier,
                        event->text(), event->isAutoRepeat(), event->count());
        QTableWidget::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void RomListView::startDrag(Qt::DropActions) {
    if (selectionModel()->selectedRows().isEmpty()) {
        return;
    }
    // The list's own drag: a drop moves the rows itself, so nothing is to be removed when the
    // drag ends (which the base class would do for a move).
    auto* drag = new QDrag(this); // Qt deletes it when the drag is over
    drag->setMimeData(SelectedRowsDrag().release());
    drag->exec(Qt::MoveAction, Qt::MoveAction);
    ShowDropRow(-1);
}

void RomListView::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void RomListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!IsOwnDrag(event->mimeData())) {
        event->ignore();
        ShowDropRow(-1);
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    ShowDropRow(DropRow(event->position().toPoint()));
}

void RomListView::dragLeaveEvent(QDragLeaveEvent* event) {
    ShowDropRow(-1);
    event->accept();
}

void RomListView::dropEvent(QDropEvent* event) {
    ShowDropRow(-1);
    if (!IsOwnDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    emit RowsDropped(DropRow(event->position().toPoint()));
}

int RomListView::DropRow(const QPoint& point) const {
    const int row = rowAt(point.y());
    if (row < 0) {
        return rowCount(); // below the last row
    }
    // The upper half of a row puts the rows before it, the lower half after it.
    return point.y() < rowViewportPosition(row) + rowHeight(row) / 2 ? row : row + 1;
}

void RomListView::ShowDropRow(int row) {
    if (row != dropRow_) {
        dropRow_ = row;
        viewport()->update();
    }
}

void RomListView::paintEvent(QPaintEvent* event) {
    QTableWidget::paintEvent(event);
    if (dropRow_ < 0 || rowCount() == 0) {
        return;
    }
    // A line where the dragged rows would go.
    const int y = dropRow_ < rowCount()
                      ? rowViewportPosition(dropRow_)
                      : rowViewportPosition(rowCount() - 1) + rowHeight(rowCount() - 1) - 1;
    QPainter painter(viewport());
    painter.fillRect(QRect(0, y - 1, viewport()->width(), 2), palette().color(QPalette::Text));
}
