#pragma once
// The user bank editor: the bank files of the program folder, one at a time in a grid of bank,
// program and name, with its bank-select mode; saved, made, renamed and removed by name. Made on
// first use and kept; shown modally from the settings bar's User layout and the track list.

#include "app/tooldialog.h"
#include "song/userbank.h"

#include <string>
#include <vector>

namespace platform {
class TComboBox;
class TEdit;
class TStringGrid;
} // namespace platform

class TdlgProgram : public TToolDialog {
public:
    explicit TdlgProgram(platform::TComponent* AOwner);
    std::string_view ClassName() const override { return "TdlgProgram"; }

    platform::TButton* btnClose;
    platform::TEdit* editFind;
    platform::TComboBox* comboUser;
    platform::TSpeedButton *sbRemove, *sbSave, *SpeedButton2, *SpeedButton13;
    platform::TStringGrid* grid;
    platform::TSpeedButton *SpeedButton3, *SpeedButton4, *SpeedButton1;
    platform::TComboBox* ComboBank;
    // The mode of the loaded file (0 without one).
    int BankMode = 0;

    void ListBanks();
    void LoadBank(const std::string& FileName);
    void SizeColumns();
    void SaveClick();
    void NewClick();
    void RenameClick();
    void RemoveClick();
    void InsertRow();
    void DeleteRow();
    void AppendRow();
    // The rows as they would be saved: a cell that still shows what was read keeps its bytes.
    std::vector<TBankRow> GridRows() const;

protected:
    void DoShow() override;

private:
    void Place();
    void SelectBank(const std::string& Name);
    void SetRows(const std::vector<TBankRow>& Rows);
    void Edited();
    // The file's bytes of each row as read, moved with the rows (Ins, Del and Append).
    std::vector<TBankRow> read_;
    platform::TLabel* labelBankSelect_;
};

extern TdlgProgram* dlgProgram;

// The bank-select modes of the editor's box, in its order.
inline constexpr int kBankModes[5] = {0, 2, 4, 8, 16};

// Installs the editor as the shared "user banks" command.
void InstallUserBankCommand();
