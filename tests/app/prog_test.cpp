// The user bank editor and the name-entry dialogs headless: the bank files it lists, loads,
// saves, makes, renames and removes; names that would leave the program folder; the grid's
// keys and the find field; where the dialog goes.
#include "app/prog.h"

#include "app/app_fixture.h"
#include "app/arrange.h"
#include "app/dialogs.h"

#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/grid.h"
#include "platform/window/input.h"
#include "platform/window/window.h"

#include <filesystem>

using namespace platform;
using testsupport::GuiHarness;

namespace {

class UserBankEditor : public AppTest {
protected:
    void TearDown() override {
        ClearFileFailures();
        AppTest::TearDown();
    }
    std::string Read(const std::string& Name) const {
        std::string bytes;
        if (!ReadWholeFile(program.Path() + Name, bytes)) return "<none>";
        return bytes;
    }
    // The files of the program folder, and the banks the refused names would have made in the
    // folders above it.
    std::vector<std::string> Files() const {
        std::vector<std::string> r;
        for (const auto& e : std::filesystem::directory_iterator(program.Path()))
            r.push_back(e.path().filename().string());
        std::sort(r.begin(), r.end());
        const std::filesystem::path up = std::filesystem::path(program.Path()).parent_path();
        for (const auto& f : {up.parent_path() / "x.mxp", up.parent_path().parent_path() / "x.mxp"})
            if (std::filesystem::exists(f)) r.push_back(f.string());
        return r;
    }
    std::vector<std::string> Banks() const {
        std::vector<std::string> r;
        for (int i = 0; i < d->comboUser->Items.Count(); ++i)
            r.push_back(d->comboUser->Items[i]);
        return r;
    }
    std::vector<TBankRow> Shown() const {
        std::vector<TBankRow> rows;
        for (int r = 1; r < d->grid->RowCount; ++r)
            rows.push_back({d->grid->Cells(0, r), d->grid->Cells(1, r), d->grid->Cells(2, r)});
        return rows;
    }
    void Open() { d = MakeForm(dlgProgram); }
    // The name-entry dialog answers Name (OK), or is cancelled when Name is null.
    void Answer(const std::string& Caption, const char* Name) {
        gui.OnModal("Save as", [this, Caption, Name](HWND) {
            EXPECT_EQ(fmSave->labelText->Caption(), Caption);
            if (!Name) {
                fmSave->tnybutton1->Click();
                return;
            }
            fmSave->editSave->Text = Name;
            fmSave->UpdateOK();
            fmSave->btnOK->Click();
        });
    }
    void Cell(int Col, int Row, const std::string& Text) { d->grid->SetCells(Col, Row, Text); }
    TdlgProgram* d = nullptr;
};

} // namespace

// No bank: nothing to remove, one empty row. Two rows saved in XG Normal, the bank then listed
// and loaded with Save off again.
TEST_F(UserBankEditor, SavesTheGridInTheChosenMode) {
    Open();
    EXPECT_TRUE(Banks().empty());
    EXPECT_FALSE(d->sbRemove->Enabled());
    EXPECT_FALSE(d->sbSave->Enabled());
    EXPECT_EQ(Shown(), (std::vector<TBankRow>{{"", "", ""}}));
    EXPECT_EQ(d->grid->Cells(2, 0), "Name");
    Cell(0, 1, "0");
    Cell(1, 1, "1");
    Cell(2, 1, "Piano");
    d->SpeedButton1->Click();
    EXPECT_EQ(d->grid->Row(), 2);
    Cell(0, 2, "0");
    Cell(1, 2, "2");
    Cell(2, 2, "Strings");
    d->ComboBank->ItemIndex = 1;
    d->ComboBank->OnClick(d->ComboBank);
    EXPECT_TRUE(d->sbSave->Enabled());
    Answer("Save User bank as...", "Synth");
    d->sbSave->Click();
    EXPECT_EQ(Read("Synth.mxp"), "Mode=2\r\n0,1,Piano\r\n0,2,Strings\r\n");
    EXPECT_EQ(Banks(), std::vector<std::string>{"Synth.mxp"});
    EXPECT_EQ(d->comboUser->ItemIndex, 0);
    EXPECT_FALSE(d->sbSave->Enabled());
    EXPECT_TRUE(d->sbRemove->Enabled());
    // Saved again under its name in another case: the same file.
    Answer("Save User bank as...", "SYNTH.mxp");
    d->sbSave->Click();
    EXPECT_EQ(Banks(), std::vector<std::string>{"Synth.mxp"});
}

// Files listed by name without regard to case, the first loaded; a file in the editor's own form
// (with a Windows-1252 name) saves back byte for byte; a name with a comma is cut.
TEST_F(UserBankEditor, LoadsAndSavesBackTheSameBytes) {
    const std::string own = "Mode=8\r\n1,0,Caf\xE9\r\n2,5, spaced \r\n";
    program.WriteFile("b.mxp", own);
    program.WriteFile("A.mxp", "0,1,Grand, bright\r\n");
    Open();
    EXPECT_EQ(Banks(), (std::vector<std::string>{"A.mxp", "b.mxp"}));
    EXPECT_EQ(Shown(), (std::vector<TBankRow>{{"0", "1", "Grand"}}));
    EXPECT_EQ(d->ComboBank->Text(), "GM");
    d->comboUser->ItemIndex = 1;
    d->comboUser->OnChange(d->comboUser);
    EXPECT_EQ(d->BankMode, 8);
    EXPECT_EQ(d->ComboBank->Text(), "XG SFX");
    EXPECT_EQ(d->grid->Cells(2, 1), "Caf\xC3\xA9");
    Answer("Save User bank as...", "b");
    d->sbSave->Click();
    EXPECT_EQ(Read("b.mxp"), own);
}

// New writes one line of two commas; onto an existing bank it asks first, and No writes
// nothing. The name box keeps the last list and text.
TEST_F(UserBankEditor, NewAsksBeforeReplacing) {
    program.WriteFile("Synth.mxp", "Mode=2\r\n5,1,Piano\r\n");
    Open();
    Answer("New User bank...", "Empty");
    d->SpeedButton2->Click();
    EXPECT_EQ(Read("Empty.mxp"), ",,\r\n");
    EXPECT_EQ(d->comboUser->Text(), "Empty.mxp");
    EXPECT_EQ(Shown(), (std::vector<TBankRow>{{"", "", ""}}));
    gui.OnModal("Save as", [](HWND) {
        EXPECT_EQ(fmSave->editSave->Text(), "Empty");
        fmSave->editSave->Text = "synth";
        fmSave->btnOK->Click();
    });
    gui.Dialogs().Answer(IDNO, "Synth.mxp");
    d->SpeedButton2->Click();
    EXPECT_EQ(Read("Synth.mxp"), "Mode=2\r\n5,1,Piano\r\n");
    EXPECT_EQ(gui.Dialogs().Boxes().at(0).Icon, unsigned(MB_ICONQUESTION));
}

// Rename gives ".mxp" unless the name ends so in any case; onto another bank it does nothing;
// the bank itself may change the case of its name.
TEST_F(UserBankEditor, Rename) {
    program.WriteFile("Synth.mxp", "1,1,One\r\n");
    program.WriteFile("Other.mxp", "2,2,Two\r\n");
    Open();
    d->comboUser->ItemIndex = 1;
    struct Case {
        const char* Typed;
        std::vector<std::string> Banks;
        const char* Selected;
    } cases[] = {
        {"Keys", {"Keys.mxp", "Other.mxp"}, "Keys.mxp"},
        {"Bank.MXP", {"Bank.MXP", "Other.mxp"}, "Bank.MXP"},
        {"other", {"Bank.MXP", "Other.mxp"}, "Bank.MXP"},
        {"bank", {"bank.mxp", "Other.mxp"}, "bank.mxp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Typed);
        gui.OnModal("Save as", [&](HWND) {
            EXPECT_EQ(fmSave->labelText->Caption(), "Rename User bank...");
            EXPECT_EQ(fmSave->editSave->Text(), d->comboUser->Text());
            fmSave->editSave->Text = c.Typed;
            fmSave->btnOK->Click();
        });
        d->SpeedButton13->Click();
        EXPECT_EQ(Banks(), c.Banks);
        EXPECT_EQ(d->comboUser->Text(), c.Selected);
        EXPECT_EQ(Shown(), (std::vector<TBankRow>{{"1", "1", "One"}}));
    }
    EXPECT_EQ(Read("Other.mxp"), "2,2,Two\r\n");
}

// A name holding a folder separator is refused by Save, New and Rename: nothing is written or
// moved, in the folder or outside it. A save that fails keeps the old bytes and the list.
TEST_F(UserBankEditor, NamesThatWouldLeaveTheFolderAndFailedSaves) {
    program.WriteFile("Synth.mxp", "Mode=2\r\n5,1,Piano\r\n");
    Open();
    const std::vector<std::string> before = Files();
    for (const char* name : {"..\\x", "../../x", "a/b", "c:d"})
        for (TSpeedButton* b : {d->sbSave, d->SpeedButton2, d->SpeedButton13}) {
            SCOPED_TRACE(std::string(name) + " " + b->Caption());
            gui.OnModal("Save as", [&](HWND) {
                fmSave->editSave->Text = name;
                fmSave->btnOK->Click();
            });
            gui.Dialogs().Answer(IDOK, "cannot hold");
            b->Click();
            EXPECT_EQ(Files(), before);
        }
    EXPECT_EQ(Read("Synth.mxp"), "Mode=2\r\n5,1,Piano\r\n");

    Cell(2, 1, "Organ");
    FailNextFileOp(FileOp::Write);
    Answer("Save User bank as...", "Synth");
    gui.Dialogs().Answer(IDOK, "Synth.mxp");
    d->sbSave->Click();
    EXPECT_EQ(Read("Synth.mxp"), "Mode=2\r\n5,1,Piano\r\n");
    EXPECT_EQ(Banks(), std::vector<std::string>{"Synth.mxp"});
    EXPECT_EQ(d->grid->Cells(2, 1), "Organ");
    EXPECT_EQ(gui.Dialogs().Boxes().back().Icon, unsigned(MB_ICONERROR));
}

// Remove asks; Yes deletes the file and loads the next bank.
TEST_F(UserBankEditor, Remove) {
    program.WriteFile("A.mxp", "1,1,One\r\n");
    program.WriteFile("B.mxp", "2,2,Two\r\n");
    Open();
    gui.Dialogs().Answer(IDNO, "This will remove A.mxp");
    d->sbRemove->Click();
    EXPECT_EQ(Banks(), (std::vector<std::string>{"A.mxp", "B.mxp"}));
    gui.Dialogs().Answer(IDYES, "This will remove A.mxp");
    d->sbRemove->Click();
    EXPECT_EQ(Banks(), std::vector<std::string>{"B.mxp"});
    EXPECT_EQ(Shown(), (std::vector<TBankRow>{{"2", "2", "Two"}}));
    const RecordedBox box = gui.Dialogs().Boxes().back();
    EXPECT_EQ(box.Caption, "Are you sure?");
    EXPECT_EQ(box.Buttons, unsigned(MB_YESNO));
}

// The grid's number columns take digits only; Ins and Del move the rows; Find goes to the first
// name that begins with its text.
TEST_F(UserBankEditor, GridKeysRowsAndFind) {
    program.WriteFile("A.mxp", "0,1,Tapir\r\n0,2,Piano\r\n0,3,Pipe\r\n");
    Open();
    gui.OnModal("User Banks", [this](HWND) {
        EXPECT_EQ(d->editFind->Text(), "");
        d->editFind->SetFocus();
        gui.Type("pi");
        EXPECT_EQ(d->grid->Row(), 2) << "Piano, not Tapir";
        d->grid->SetFocus();
        d->grid->Row = 1;
        d->grid->Col = 1;
        EXPECT_FALSE(d->sbSave->Enabled());
        EXPECT_TRUE(d->grid->Focused());
        gui.Type("x7y\r");
        EXPECT_EQ(d->grid->Cells(1, 1), "7");
        EXPECT_TRUE(d->sbSave->Enabled());
        d->grid->Row = 2;
        d->SpeedButton3->Click(); // Ins
        EXPECT_EQ(Shown(),
                  (std::vector<TBankRow>{
                      {"0", "7", "Tapir"}, {"", "", ""}, {"0", "2", "Piano"}, {"0", "3", "Pipe"}}));
        d->grid->Row = 1;
        d->SpeedButton4->Click(); // Del
        EXPECT_EQ(Shown(),
                  (std::vector<TBankRow>{{"", "", ""}, {"0", "2", "Piano"}, {"0", "3", "Pipe"}}));
        gui.SavePng(d->Handle(), "user-banks.png");
        d->btnClose->Click();
    });
    d->ShowModal();
    EXPECT_EQ(Read("A.mxp"), "0,1,Tapir\r\n0,2,Piano\r\n0,3,Pipe\r\n") << "closing saves nothing";
}

// Where the dialog goes: its stored place, kept on the screen; written when it closes.
TEST_F(UserBankEditor, PlaceAndSize) {
    settings.WriteIni("[Program]\nLeft=5000\nTop=5000\nWidth=400\nHeight=420\n");
    Open();
    EXPECT_EQ(d->Left, 974);
    EXPECT_EQ(d->Top, 718);
    EXPECT_EQ(d->Width, 400);
    gui.OnModal("User Banks", [this](HWND) {
        EXPECT_EQ(d->grid->ColWidths(0), 40);
        EXPECT_EQ(d->grid->ColWidths(2), d->grid->ClientWidth - 84) << "within the frame";
        d->Left = 100;
        d->btnClose->Click();
    });
    d->ShowModal();
    EXPECT_EQ(Setting("Program", "Left"), "100");
    EXPECT_EQ(Setting("Program", "Height"), "420");
}

// ---- name entry ------------------------------------------------------------------------------

// Blanks keep OK off and Enter does nothing; Escape cancels. A list replaces the last one and
// the chosen entry comes back; without a list the last list and text stay.
TEST_F(UserBankEditor, NameEntry) {
    const std::vector<std::string> list{"One", "Two"};
    std::string name = "Two";
    int picked = -2;
    gui.OnModal("Save as", [&](HWND) {
        EXPECT_EQ(fmSave->editSave->Text(), "Two");
        EXPECT_TRUE(fmSave->editSave->Focused());
        fmSave->editSave->Text = "";
        gui.Type("   ");
        EXPECT_FALSE(fmSave->btnOK->Enabled());
        gui.Key(VK_RETURN);
        EXPECT_TRUE(fmSave->Visible);
        gui.Key(VK_ESCAPE);
    });
    EXPECT_FALSE(TfmSave::Execute("Name area...", &list, name, picked));
    EXPECT_EQ(picked, -2);
    EXPECT_EQ(fmSave->BorderStyle, bsNone);

    gui.OnModal("Save as", [&](HWND) {
        fmSave->editSave->ItemIndex = 0;
        fmSave->editSave->OnChange(fmSave->editSave);
        EXPECT_TRUE(fmSave->btnOK->Enabled());
        gui.Key(VK_RETURN);
    });
    ASSERT_TRUE(TfmSave::Execute("Name area...", &list, name, picked));
    EXPECT_EQ(name, "One");
    EXPECT_EQ(picked, 0);

    name = "ignored";
    gui.OnModal("Save as", [&](HWND) {
        EXPECT_EQ(fmSave->labelText->Caption(), "New User bank...");
        EXPECT_EQ(fmSave->editSave->Items.Count(), 2);
        fmSave->btnOK->Click();
    });
    ASSERT_TRUE(TfmSave::Execute("New User bank...", nullptr, name, picked));
    EXPECT_EQ(name, "One");
}

// The rename-part dialog: one splash step when made, an empty name is a name, and no more than
// 256 characters.
TEST_F(UserBankEditor, RenamePartDialog) {
    MakeForm(dlgSplach);
    const int steps = dlgSplach->CurrentStep;
    InstallRenamePartSeam();
    std::string name = "verse";
    gui.OnModal("Rename part", [&](HWND) {
        EXPECT_EQ(dlgSplach->CurrentStep, steps + 1);
        EXPECT_EQ(dlgRenamePart->editName->Text(), "verse");
        EXPECT_TRUE(dlgRenamePart->editName->Focused());
        EXPECT_EQ(dlgRenamePart->labelText->Caption(), "Input name on selected parts");
        gui.Key(VK_DELETE);
        dlgRenamePart->btnClose->Click();
    });
    ASSERT_TRUE(ArrangeSeams().AskPartName(name));
    EXPECT_EQ(name, "");
    gui.OnModal("Rename part", [&](HWND) {
        gui.Type(std::string(300, 'a'));
        EXPECT_EQ(dlgRenamePart->editName->Text(), std::string(256, 'a'));
        gui.Key(VK_ESCAPE);
    });
    EXPECT_FALSE(ArrangeSeams().AskPartName(name));
    EXPECT_EQ(name, "");
    ArrangeSeams().AskPartName = nullptr;
}
