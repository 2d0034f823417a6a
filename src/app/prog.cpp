#include "app/prog.h"

#include "app/arrange.h"
#include "app/dialogs.h"
#include "app/editcommands.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/core/ini.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "platform/core/streams.h"
#include "platform/forms/application.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/grid.h"
#include "platform/gdi/textcodec.h"
#include "platform/window/input.h"
#include "platform/window/window.h"
#include "song/song.h"

#include <algorithm>

using namespace platform;

TdlgProgram* dlgProgram = nullptr;

namespace {

constexpr int kDefaultWidth = 345, kDefaultHeight = 400;
constexpr int kLeft = 78; // the dialog's own area, right of the bar
constexpr int kGridFrame = 4;
constexpr const char* kCaption = "User Banks";

std::string UpperAscii(std::string_view S) {
    std::string u(S);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return u;
}

TSpeedButton* AreaButton(TdlgProgram* D, const char* Caption, const char* Hint) {
    auto* b = new TSpeedButton(D);
    b->Parent = D;
    b->Caption = Caption;
    if (*Hint) {
        b->Hint = Hint;
        b->ShowHint = true;
    }
    return b;
}

// A typed name becomes a file of the program folder: one holding a folder separator would be
// written or moved elsewhere, so it is refused.
bool PlainName(const std::string& Name) {
    if (Name.find_first_of("/\\:") == std::string::npos) return true;
    MessageBox("A bank name cannot hold \"/\", \"\\\" or \":\"", kCaption,
               MB_OK | MB_ICONINFORMATION);
    return false;
}

// The program folder's bank of that name, matched without regard to case; "" when none.
std::string ExistingBank(const std::string& Name) {
    return FindFileNoCase(ProgramFolder(), Name);
}

void ShowFileError(const std::string& Text) {
    Application->ShowException(std::make_exception_ptr(EFCreateError(Text)));
}

std::vector<std::string> Names(const TComboBox* Box) {
    std::vector<std::string> r;
    for (int i = 0; i < Box->Items.Count(); ++i)
        r.push_back(Box->Items[i]);
    return r;
}

} // namespace

TdlgProgram::TdlgProgram(TComponent* AOwner) : TToolDialog(AOwner, kCaption) {
    BorderStyle = bsSizeable;
    BorderIcons = biSystemMenu;
    Position = poDesigned;
    Caption = kCaption;

    btnClose = AddButton("&Close", mrCancel);
    auto* find = new TLabel(this);
    find->Parent = panelLeftBar;
    find->Caption = "Find";
    find->Transparent = true;
    find->Font.Color = 0xC0C0C0;
    editFind = new TEdit(this);
    editFind->Parent = panelLeftBar;
    editFind->Hint = "Search for program\rDouble click to clear search";
    editFind->ShowHint = true;
    editFind->OnChange = [this](TObject*) {
        const std::string text = UpperAscii(TrimBlanks(editFind->Text()));
        if (text.empty()) return;
        for (int r = 1; r < grid->RowCount; ++r)
            if (UpperAscii(grid->Cells(2, r)).starts_with(text)) {
                grid->Row = r;
                break;
            }
    };
    editFind->OnDblClick = [this](TObject*) { editFind->Text = ""; };

    auto* user = new TLabel(this);
    user->Parent = this;
    user->Caption = "User";
    user->SetBounds(kLeft, 12, 30, 14);
    comboUser = new TComboBox(this);
    comboUser->Parent = this;
    comboUser->Style = csDropDownList;
    comboUser->Hint = "Banks";
    comboUser->ShowHint = true;
    comboUser->DropDownCount = 16;
    comboUser->OnChange = [this](TObject*) {
        const int i = comboUser->ItemIndex;
        if (i >= 0) LoadBank(ProgramFolder() + comboUser->Items[i]);
        sbSave->Enabled = false;
        sbRemove->Enabled = comboUser->ItemIndex >= 0;
    };
    sbRemove = AreaButton(this, "&Remove", "");
    sbSave = AreaButton(this, "&Save", "");
    SpeedButton2 = AreaButton(this, "&New", "");
    SpeedButton13 = AreaButton(this, "Rename", "");
    sbSave->OnClick = [this](TObject*) { SaveClick(); };
    SpeedButton2->OnClick = [this](TObject*) { NewClick(); };
    SpeedButton13->OnClick = [this](TObject*) { RenameClick(); };
    sbRemove->OnClick = [this](TObject*) { RemoveClick(); };

    grid = new TStringGrid(this);
    grid->Parent = this;
    grid->ColCount = 3;
    grid->RowCount = 2;
    grid->FixedCols = 0;
    grid->FixedRows = 1;
    grid->DefaultRowHeight = 16;
    grid->Options = goEditing;
    grid->OnKeyPress = [this](TObject*, char32_t& Key) {
        // Bank and program are numbers.
        if (grid->Col <= 1 && !(Key >= '0' && Key <= '9') && Key != 8 && Key != 13) Key = 0;
    };
    grid->OnKeyDown = [this](TObject*, std::uint16_t& Key, TShiftState) {
        if (Key != VK_TAB && Key != VK_LEFT && Key != VK_RIGHT && Key != VK_UP && Key != VK_DOWN)
            Edited();
    };
    SpeedButton3 = AreaButton(this, "&Ins", "Insert line");
    SpeedButton4 = AreaButton(this, "&Del", "Delete line");
    SpeedButton1 = AreaButton(this, "&Append", "Append line");
    SpeedButton3->OnClick = [this](TObject*) { InsertRow(); };
    SpeedButton4->OnClick = [this](TObject*) { DeleteRow(); };
    SpeedButton1->OnClick = [this](TObject*) { AppendRow(); };

    labelBankSelect_ = new TLabel(this);
    labelBankSelect_->Parent = this;
    labelBankSelect_->Caption = "Bank select";
    ComboBank = new TComboBox(this);
    ComboBank->Parent = this;
    ComboBank->Style = csDropDownList;
    for (const char* m : {"GM", "XG Normal", "XG User", "XG SFX", "XG Drums"})
        ComboBank->Items.Add(m);
    ComboBank->Hint = "Banks";
    ComboBank->ShowHint = true;
    ComboBank->OnClick = [this](TObject*) {
        Edited();
        const int i = ComboBank->ItemIndex;
        if (fmArrange && i >= 0) fmArrange->UserMode = kBankModes[i];
    };

    const TNotifyEvent barResize = OnResize;
    OnResize = [this, barResize, find](TObject* Sender) {
        if (barResize) barResize(Sender);
        const int y = btnClose->Top - 52;
        find->SetBounds(6, y, 50, 14);
        editFind->SetBounds(5, y + 16, kBarWidth - 10, 21);
        Place();
        SizeColumns();
    };
    OnClose = [this](TObject*, TCloseAction&) {
        if (fmArrange) fmArrange->RefreshTrackbar();
        TIniFile ini;
        ini.WriteInteger("Program", "Width", Width);
        ini.WriteInteger("Program", "Height", Height);
        ini.WriteInteger("Program", "Left", Left);
        ini.WriteInteger("Program", "Top", Top);
    };

    // Created: the banks, then size and place, kept on the screen.
    ListBanks();
    sbSave->Enabled = false;
    TIniFile ini;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    const int w = ini.ReadInteger("Program", "Width", kDefaultWidth);
    const int h = ini.ReadInteger("Program", "Height", kDefaultHeight);
    int left = ini.ReadInteger("Program", "Left", (sw - w) / 2);
    int top = ini.ReadInteger("Program", "Top", (sh - h) / 2);
    if (left > sw) left = sw - 50;
    if (top > sh) top = sh - 50;
    SetBounds(left, top, w, h);
    grid->SetCells(0, 0, "Bnk");
    grid->SetCells(1, 0, "Prg");
    grid->SetCells(2, 0, "Name");
}

void TdlgProgram::DoShow() {
    editFind->Text = "";
    TToolDialog::DoShow();
}

void TdlgProgram::Place() {
    const int w = std::max(ClientWidth - kLeft - 8, 120);
    const int h = ClientHeight;
    comboUser->SetBounds(kLeft + 34, 8, w - 34, 21);
    const int bw = (w - 9) / 4;
    int x = kLeft;
    for (TSpeedButton* b : {sbRemove, sbSave, SpeedButton2, SpeedButton13}) {
        b->SetBounds(x, 36, bw, 23);
        x += bw + 3;
    }
    const int gridBottom = std::max(h - 68, 100);
    grid->SetBounds(kLeft, 66, w, gridBottom - 66);
    x = kLeft;
    for (TSpeedButton* b : {SpeedButton3, SpeedButton4, SpeedButton1}) {
        b->SetBounds(x, gridBottom + 4, 56, 23);
        x += 59;
    }
    labelBankSelect_->SetBounds(kLeft, h - 29, 64, 14);
    ComboBank->SetBounds(kLeft + 70, h - 33, std::min(w - 70, 140), 21);
}

void TdlgProgram::SizeColumns() {
    const int cols = grid->ColCount;
    for (int c = 0; c < cols - 1; ++c)
        grid->SetColWidths(c, 40);
    // The grid's client area holds its frame too.
    grid->SetColWidths(cols - 1, grid->ClientWidth - kGridFrame - 40 * (cols - 1));
}

void TdlgProgram::Edited() {
    sbSave->Enabled = true;
}

void TdlgProgram::SetRows(const std::vector<TBankRow>& Rows) {
    read_ = Rows;
    grid->RowCount = int(Rows.size()) + 1;
    for (std::size_t r = 0; r < Rows.size(); ++r)
        for (int c = 0; c < 3; ++c)
            grid->SetCells(c, int(r) + 1, DisplayUtf8(Rows[r][std::size_t(c)]));
}

std::vector<TBankRow> TdlgProgram::GridRows() const {
    std::vector<TBankRow> rows;
    for (int r = 1; r < grid->RowCount; ++r) {
        TBankRow row;
        for (int c = 0; c < 3; ++c) {
            const std::string shown = grid->Cells(c, r);
            const std::string& read = read_[std::size_t(r - 1)][std::size_t(c)];
            row[std::size_t(c)] = shown == DisplayUtf8(read) ? read : shown;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void TdlgProgram::ListBanks() {
    comboUser->Items.Clear();
    SetRows({TBankRow{}});
    std::vector<TDirEntry> files;
    ListDirectory(ProgramFolder(), files, "*.mxp");
    for (const TDirEntry& f : files)
        if (!f.IsDir) comboUser->Items.Add(f.Name);
    if (comboUser->Items.Count() > 0) {
        comboUser->ItemIndex = 0;
        LoadBank(ProgramFolder() + comboUser->Items[0]);
        sbSave->Enabled = false;
    }
    sbRemove->Enabled = comboUser->ItemIndex >= 0;
}

void TdlgProgram::LoadBank(const std::string& FileName) {
    std::string bytes, error;
    if (!ReadWholeFile(FileName, bytes, &error)) {
        Application->ShowException(std::make_exception_ptr(EFOpenError(error)));
        return;
    }
    std::vector<TBankRow> rows;
    ReadBankRows(bytes, BankMode, rows);
    SetRows(rows);
    const int* mode = std::find(std::begin(kBankModes), std::end(kBankModes), BankMode);
    if (mode != std::end(kBankModes)) ComboBank->ItemIndex = int(mode - kBankModes);
    SizeColumns();
}

void TdlgProgram::SelectBank(const std::string& Name) {
    int found = -1;
    for (int i = 0; i < comboUser->Items.Count(); ++i)
        if (SameText(comboUser->Items[i], Name)) {
            found = i;
            break;
        }
    if (found < 0) return;
    comboUser->ItemIndex = found;
    LoadBank(ProgramFolder() + comboUser->Items[found]);
    sbSave->Enabled = false;
    sbRemove->Enabled = true;
}

void TdlgProgram::SaveClick() {
    const std::vector<std::string> names = Names(comboUser);
    std::string name = comboUser->ItemIndex >= 0 ? comboUser->Items[comboUser->ItemIndex] : "";
    int picked = -1;
    if (!TfmSave::Execute("Save User bank as...", &names, name, picked)) return;
    if (!PlainName(name)) return;
    const std::string file = ChangeFileExt(name, ".mxp");
    std::string path = ExistingBank(file);
    if (path.empty()) path = ProgramFolder() + file;
    const int i = ComboBank->ItemIndex;
    std::string error;
    if (!SaveFileAtomic(path, BankFileBytes(i >= 0 ? kBankModes[i] : 0, GridRows()), &error)) {
        ShowFileError(error);
        return;
    }
    ListBanks();
    SelectBank(ExtractFileName(path));
    sbSave->Enabled = false;
}

void TdlgProgram::NewClick() {
    std::string name;
    int picked = -1;
    if (!TfmSave::Execute("New User bank...", nullptr, name, picked)) return;
    if (!PlainName(name)) return;
    const std::string file = ChangeFileExt(name, ".mxp");
    std::string path = ExistingBank(file);
    // The name box still holds the last list, so an existing bank is one click away.
    if (!path.empty() &&
        MessageBox("The bank " + ExtractFileName(path) + " exists. Replace it with an empty one?",
                   "New User bank", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (path.empty()) path = ProgramFolder() + file;
    std::string error;
    if (!SaveFileAtomic(path, ",,\r\n", &error)) {
        ShowFileError(error);
        return;
    }
    ListBanks();
    SelectBank(ExtractFileName(path));
}

void TdlgProgram::RenameClick() {
    const int i = comboUser->ItemIndex;
    if (i < 0) return;
    const std::string old = comboUser->Items[i];
    const std::vector<std::string> names = Names(comboUser);
    std::string name = old;
    int picked = -1;
    if (!TfmSave::Execute("Rename User bank...", &names, name, picked)) return;
    if (!PlainName(name)) return;
    if (!SameText(ExtractFileExt(name), ".mxp")) name += ".mxp";
    // Another bank of that name (in any case) stays: the rename fails without a word. The bank
    // itself may change the case of its name.
    bool taken = false;
    std::vector<TDirEntry> files;
    ListDirectory(ProgramFolder(), files);
    for (const TDirEntry& f : files)
        if (SameText(f.Name, name) && f.Name != old) taken = true;
    if (!taken) RenameFile(ProgramFolder() + old, ProgramFolder() + name);
    ListBanks();
    SelectBank(FileExists(ProgramFolder() + name) ? name : old);
}

void TdlgProgram::RemoveClick() {
    const int i = comboUser->ItemIndex;
    if (i < 0) return;
    const std::string name = comboUser->Items[i];
    if (MessageBox("This will remove " + name, "Are you sure?", MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
        return;
    DeleteFile(ProgramFolder() + name);
    SetRows({TBankRow{}});
    ListBanks();
}

namespace {

void CopyRow(TStringGrid* G, int From, int To) {
    for (int c = 0; c < 3; ++c)
        G->SetCells(c, To, G->Cells(c, From));
}
void EmptyRow(TStringGrid* G, int Row) {
    for (int c = 0; c < 3; ++c)
        G->SetCells(c, Row, "");
}

} // namespace

void TdlgProgram::InsertRow() {
    const int cur = std::max(grid->Row(), 1);
    grid->RowCount = grid->RowCount + 1;
    for (int r = grid->RowCount - 1; r > cur; --r)
        CopyRow(grid, r - 1, r);
    EmptyRow(grid, cur);
    read_.insert(read_.begin() + (cur - 1), TBankRow{});
    Edited();
    SizeColumns();
}

void TdlgProgram::DeleteRow() {
    const int entries = grid->RowCount - 1;
    if (entries < 2) {
        EmptyRow(grid, grid->RowCount - 1);
        read_.back() = TBankRow{};
    } else {
        const int cur = std::max(grid->Row(), 1);
        for (int r = cur; r < grid->RowCount - 1; ++r)
            CopyRow(grid, r + 1, r);
        grid->RowCount = grid->RowCount - 1;
        read_.erase(read_.begin() + (cur - 1));
    }
    Edited();
    SizeColumns();
}

void TdlgProgram::AppendRow() {
    grid->RowCount = grid->RowCount + 1;
    const int last = grid->RowCount - 1;
    EmptyRow(grid, last);
    read_.emplace_back();
    grid->Row = last;
    Edited();
    SizeColumns();
}

void InstallUserBankCommand() {
    EditCommandSeams().ShowUserBank = [] {
        MakeForm(dlgProgram)->ShowModal();
        if (fmArrange && Song) fmArrange->InvalidateTrackRow(Song->CurrentTrackIndex);
    };
}
