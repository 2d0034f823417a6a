#pragma once
// The string grid, a Qt widget control (widgetcontrol.h): cells of text in columns and rows,
// the first FixedRows rows and FixedCols columns shown as headings, optionally editable cells.

#include "platform/forms/widgetcontrol.h"

namespace platform {

using TGridOptions = unsigned;
inline constexpr TGridOptions goEditing = 1, goRowSelect = 2, goColSizing = 4;
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TSetEditEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;

class TStringGrid : public TWidgetControl {
public:
    explicit TStringGrid(TComponent* AOwner);
    ~TStringGrid() override;

    std::string_view ClassName() const override { return "TStringGrid"; }

    int GetColCount() const;
    void SetColCount(int v);
    TProperty<TStringGrid, int, &TStringGrid::GetColCount, &TStringGrid::SetColCount> ColCount{
        this};
    int GetRowCount() const;
    void SetRowCount(int v);
    TProperty<TStringGrid, int, &TStringGrid::GetRowCount, &TStringGrid::SetRowCount> RowCount{
        this};
    int GetFixedCols() const { return fixedCols_; }
    void SetFixedCols(int v);
    TProperty<TStringGrid, int, &TStringGrid::GetFixedCols, &TStringGrid::SetFixedCols> FixedCols{
        this};
    int GetFixedRows() const { return fixedRows_; }
    void SetFixedRows(int v);
    TProperty<TStringGrid, int, &TStringGrid::GetFixedRows, &TStringGrid::SetFixedRows> FixedRows{
        this};

    // Cells outside the grid read as empty; writing them raises EInvalidOperation.
    std::string Cells(int col, int row) const;
    void SetCells(int col, int row, const std::string& s);

    int GetDefaultRowHeight() const { return rowHeight_; }
    void SetDefaultRowHeight(int v);
    TProperty<TStringGrid, int, &TStringGrid::GetDefaultRowHeight,
              &TStringGrid::SetDefaultRowHeight>
        DefaultRowHeight{this};
    int GetDefaultColWidth() const { return colWidth_; }
    void SetDefaultColWidth(int v);
    TProperty<TStringGrid, int, &TStringGrid::GetDefaultColWidth,
              &TStringGrid::SetDefaultColWidth>
        DefaultColWidth{this};
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);

    TGridOptions GetOptions() const { return options_; }
    void SetOptions(TGridOptions v);
    TProperty<TStringGrid, TGridOptions, &TStringGrid::GetOptions, &TStringGrid::SetOptions>
        Options{this};

    // The current cell; setting it raises nothing.
    int GetCol() const;
    void SetCol(int v);
    TProperty<TStringGrid, int, &TStringGrid::GetCol, &TStringGrid::SetCol> Col{this};
    int GetRow() const;
    void SetRow(int v);
    TProperty<TStringGrid, int, &TStringGrid::GetRow, &TStringGrid::SetRow> Row{this};
    // The cell editor is open.
    bool EditorMode() const;

    // The user moves to a cell: CanSelect := False keeps the current one.
    TSelectCellEvent OnSelectCell;
    // The user changed a cell's text.
    TSetEditEvent OnSetEditText;

protected:
    QWidget* CreateWidget() override;
    void WidgetCreated() override;
    void PassKey(UINT msg, WPARAM key, LPARAM l) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    LRESULT DialogCode() const override {
        return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
    }

private:
    void CloseEditor(bool keep);
    void StyleCells();
    int fixedCols_ = 1, fixedRows_ = 1;
    int rowHeight_ = 24, colWidth_ = 64;
    TGridOptions options_ = 0;
    bool byCode_ = false;
};

} // namespace platform
