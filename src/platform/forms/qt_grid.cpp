#include "platform/forms/grid.h"

#include "platform/forms/qt_widgetcontrol.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>

namespace platform {
namespace {

QTableWidget* Table(const TStringGrid* g) {
    return static_cast<QTableWidget*>(const_cast<TStringGrid*>(g)->Widget());
}

QTableWidgetItem* Cell(QTableWidget* t, int col, int row) {
    QTableWidgetItem* it = t->item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        t->setItem(row, col, it);
    }
    return it;
}

// The open cell editor, nullptr when none.
QLineEdit* Editor(const QTableWidget* t) {
    for (QLineEdit* e : t->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible()) return e;
    return nullptr;
}

} // namespace

TStringGrid::TStringGrid(TComponent* AOwner) : TWidgetControl(AOwner) {
    width_ = 320;
    height_ = 120;
}

TStringGrid::~TStringGrid() = default;

QWidget* TStringGrid::CreateWidget() {
    auto* t = new QTableWidget(5, 5);
    t->horizontalHeader()->hide();
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(rowHeight_);
    t->verticalHeader()->setMinimumSectionSize(1);
    t->horizontalHeader()->setDefaultSectionSize(colWidth_);
    t->horizontalHeader()->setMinimumSectionSize(1);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return t;
}

void TStringGrid::WidgetCreated() {
    QTableWidget* t = Table(this);
    StyleCells();
    QObject::connect(t, &QTableWidget::currentCellChanged, [this, t](int r, int c, int pr, int pc) {
        WidgetChanged();
        if (byCode_ || r < 0 || c < 0) return;
        bool can = r >= fixedRows_ && c >= fixedCols_;
        if (can && OnSelectCell) Guarded([&] { OnSelectCell(this, c, r, can); });
        if (!can) {
            byCode_ = true;
            t->setCurrentCell(pr, pc);
            byCode_ = false;
        }
    });
    QObject::connect(t, &QTableWidget::itemChanged, [this, t](QTableWidgetItem* it) {
        WidgetChanged();
        if (byCode_ || !OnSetEditText) return;
        const int c = t->column(it), r = t->row(it);
        const std::string v = it->text().toStdString();
        Guarded([&] { OnSetEditText(this, c, r, v); });
    });
}

// Fixed cells look like headings and take neither the selection nor the editor.
void TStringGrid::StyleCells() {
    QTableWidget* t = Table(this);
    byCode_ = true;
    const QColor face = QtColorOf(clBtnFace);
    for (int r = 0; r < t->rowCount(); ++r)
        for (int c = 0; c < t->columnCount(); ++c) {
            QTableWidgetItem* it = Cell(t, c, r);
            const bool fixed = r < fixedRows_ || c < fixedCols_;
            Qt::ItemFlags f = Qt::ItemIsEnabled;
            if (!fixed) f |= Qt::ItemIsSelectable;
            if (!fixed && (options_ & goEditing)) f |= Qt::ItemIsEditable;
            it->setFlags(f);
            it->setBackground(fixed ? QBrush(face) : QBrush());
        }
    byCode_ = false;
    WidgetChanged();
}

int TStringGrid::GetColCount() const {
    return Table(this)->columnCount();
}

void TStringGrid::SetColCount(int v) {
    Table(this)->setColumnCount(std::max(1, v));
    StyleCells();
}

int TStringGrid::GetRowCount() const {
    return Table(this)->rowCount();
}

void TStringGrid::SetRowCount(int v) {
    Table(this)->setRowCount(std::max(1, v));
    StyleCells();
}

void TStringGrid::SetFixedCols(int v) {
    fixedCols_ = std::clamp(v, 0, GetColCount() - 1);
    StyleCells();
}

void TStringGrid::SetFixedRows(int v) {
    fixedRows_ = std::clamp(v, 0, GetRowCount() - 1);
    StyleCells();
}

std::string TStringGrid::Cells(int col, int row) const {
    QTableWidgetItem* it = Table(this)->item(row, col);
    return it ? it->text().toStdString() : std::string();
}

void TStringGrid::SetCells(int col, int row, const std::string& s) {
    QTableWidget* t = Table(this);
    if (col < 0 || row < 0 || col >= t->columnCount() || row >= t->rowCount())
        throw EInvalidOperation("Grid index out of range");
    byCode_ = true;
    Cell(t, col, row)->setText(QString::fromStdString(s));
    byCode_ = false;
    WidgetChanged();
}

void TStringGrid::SetDefaultRowHeight(int v) {
    rowHeight_ = std::max(1, v);
    QTableWidget* t = Table(this);
    t->verticalHeader()->setDefaultSectionSize(rowHeight_);
    for (int r = 0; r < t->rowCount(); ++r)
        t->setRowHeight(r, rowHeight_);
    WidgetChanged();
}

void TStringGrid::SetDefaultColWidth(int v) {
    colWidth_ = std::max(1, v);
    QTableWidget* t = Table(this);
    t->horizontalHeader()->setDefaultSectionSize(colWidth_);
    for (int c = 0; c < t->columnCount(); ++c)
        t->setColumnWidth(c, colWidth_);
    WidgetChanged();
}

int TStringGrid::ColWidths(int col) const {
    return Table(this)->columnWidth(col);
}

void TStringGrid::SetColWidths(int col, int width) {
    Table(this)->setColumnWidth(col, std::max(0, width));
    WidgetChanged();
}

void TStringGrid::SetOptions(TGridOptions v) {
    options_ = v;
    QTableWidget* t = Table(this);
    t->setEditTriggers((v & goEditing) ? QAbstractItemView::AnyKeyPressed |
                                             QAbstractItemView::DoubleClicked |
                                             QAbstractItemView::EditKeyPressed
                                       : QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior((v & goRowSelect) ? QAbstractItemView::SelectRows
                                              : QAbstractItemView::SelectItems);
    StyleCells();
}

int TStringGrid::GetCol() const {
    return Table(this)->currentColumn();
}

void TStringGrid::SetCol(int v) {
    byCode_ = true;
    Table(this)->setCurrentCell(std::max(GetRow(), fixedRows_), v);
    byCode_ = false;
    WidgetChanged();
}

int TStringGrid::GetRow() const {
    return Table(this)->currentRow();
}

void TStringGrid::SetRow(int v) {
    byCode_ = true;
    Table(this)->setCurrentCell(v, std::max(GetCol(), fixedCols_));
    byCode_ = false;
    WidgetChanged();
}

bool TStringGrid::EditorMode() const {
    return Editor(Table(this)) != nullptr;
}

// Done here rather than through the delegate, which would close the editor later from the
// Qt event loop.
void TStringGrid::CloseEditor(bool keep) {
    QTableWidget* t = Table(this);
    QLineEdit* e = Editor(t);
    if (!e) return;
    if (keep) QMetaObject::invokeMethod(t, "commitData", Qt::DirectConnection, Q_ARG(QWidget*, e));
    QMetaObject::invokeMethod(t, "closeEditor", Qt::DirectConnection, Q_ARG(QWidget*, e),
                              Q_ARG(QAbstractItemDelegate::EndEditHint,
                                    QAbstractItemDelegate::NoHint));
    WidgetChanged();
}

LRESULT TStringGrid::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_KILLFOCUS) CloseEditor(true);
    return TWidgetControl::WndProc(msg, w, l);
}

void TStringGrid::PassKey(UINT msg, WPARAM key, LPARAM l) {
    QTableWidget* t = Table(this);
    if (QLineEdit* e = Editor(t)) {
        // Keys go to the open editor; Enter keeps its text, Escape drops it.
        if (msg == WM_CHAR && (key == 13 || key == 27)) {
            CloseEditor(key == 13);
        } else if (std::unique_ptr<QEvent> ev = QtWidgetHost::KeyEventOf(msg, key, l)) {
            QCoreApplication::sendEvent(e, ev.get());
        }
        WidgetChanged();
        return;
    }
    TWidgetControl::PassKey(msg, key, l);
}

} // namespace platform
