// The bank and program layouts of the track settings bar headless: what each pick sends, the
// layout change, the GS variations and drum kits, MSB/LSB, the user banks, the sound card's
// banks and the SoundFont banks.
#include "app/arrange.h"

#include "arrange_fixture.h"

#include "app/editcommands.h"
#include "devices/sblive.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/forms/buttons.h"
#include "platform/forms/combobox.h"
#include "platform/forms/edit.h"
#include "platform/forms/label.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "song/songfile.h"
#include "support/soundfont.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The sound card's lists as the AWE window would give them.
class FakeAwe : public TMidiEditorsSeam {
public:
    void AweListBanks(std::vector<std::string>& Lines) override { Lines = {"000 A", "001 B"}; }
    void AweListPresets(int Bank, std::vector<std::string>& Lines) override {
        if (Bank == 1) Lines = {"000 Warm", "005 Bright"};
    }
    void ShowAwe() override { ++Shown; }
    int Shown = 0;
};

class Banks : public ArrangeTest {
protected:
    void SetUp() override {
        ArrangeTest::SetUp();
        Prepare();
        Start();
        Song->CurrentTrackIndex = 0;
        t = Song->CurrentTrack();
        t->Mode = tmMidi;
        t->Output = 0;
        t->Channel = 0;
        TakeSent();
    }
    void TearDown() override {
        SetMidiEditors(nullptr);
        AweAvailable = 0;
        ClearFileFailures();
        ArrangeTest::TearDown();
    }
    virtual void Prepare() {}
    std::vector<Bytes> TakeSent() {
        gui.Pump();
        std::vector<Bytes> r;
        for (const auto& s : synth.Sent())
            r.push_back(s.Bytes);
        synth.Clear();
        return r;
    }
    // The user's choice in a box: its click, then its change.
    static void Pick(TComboBox* Box, int Index) {
        Box->ItemIndex = Index;
        if (Box->OnClick) Box->OnClick(Box);
        if (Box->OnChange) Box->OnChange(Box);
    }
    static void Enter(TEdit* Edit, const std::string& Text) {
        Edit->Text = Text;
        std::uint16_t key = VK_RETURN;
        Edit->OnKeyDown(Edit, key, 0);
    }
    std::vector<std::string> Items(const TComboBox* Box) const {
        std::vector<std::string> r;
        for (int i = 0; i < Box->Items.Count(); ++i)
            r.push_back(Box->Items[i]);
        return r;
    }
    _TTrack* t = nullptr;
};

} // namespace

// Each entry names its layout whole: bank and program go, the user file goes, the panel of the
// layout shows, nothing is sent. The layout box's own change goes the same way.
TEST_F(Banks, ChangingTheLayoutStartsTheTrackAfreshAndSendsNothing) {
    struct Case {
        int Entry, Layout, Panel;
    } cases[] = {{1, 0x200, 1},  {2, 0x400, 2},  {3, 0x800, 4}, {4, 0x2000, 5},
                 {5, 0x1000, 3}, {6, 0x4020, 6}, {0, 0x100, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Entry);
        t->Bank = 5;
        t->Program = 7;
        t->UserFile = "Synth.mxp";
        t->Layout = 0x1000 | 2 | 1;
        ArrangeSeams().ChangeLayout(c.Entry);
        EXPECT_EQ(t->Layout, c.Layout);
        EXPECT_EQ(t->Bank, -1);
        EXPECT_EQ(t->Program, -1);
        EXPECT_EQ(t->UserFile, "");
        EXPECT_EQ(a->comboLayout->ItemIndex, c.Entry);
        for (int p = 0; p < 7; ++p)
            EXPECT_EQ(a->BankPanels[std::size_t(p)]->Visible(), p == c.Panel) << p;
        EXPECT_TRUE(TakeSent().empty());
    }
    Pick(a->comboLayout, 2);
    EXPECT_EQ(t->Layout, 0x400);
}

// GM: bank 0 then the program; "Off" sends the bank alone; channel Off goes out on channel 0;
// the arrows go round at both ends.
TEST_F(Banks, GmPicksSendTheBankThenTheProgram) {
    ArrangeSeams().ChangeLayout(1);
    Pick(a->comboGM, 4);
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 0}, {0xC0, 3}}));
    EXPECT_EQ(t->Program, 3);
    EXPECT_EQ(t->Bank, 0);
    Pick(a->comboGM, 0);
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 0}}));
    EXPECT_EQ(t->Program, -1);
    t->Channel = -1;
    a->SpeedButton13->Click(); // from "Off" back to the last
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 0}, {0xC0, 127}}));
    a->SpeedButton12->Click(); // from the last round to "Off"
    EXPECT_EQ(a->comboGM->ItemIndex, 0);
    t->Channel = 9;
    t->Program = 40;
    a->RefreshTrackbar();
    EXPECT_EQ(a->comboGM->ItemIndex, 41);
    EXPECT_EQ(a->comboGM->Hint, "Click to select GM program");
}

// GS: the variations of a program, sent as the bank; the drum kits by their programs, marked on
// the track and shown again by a refresh.
TEST_F(Banks, GsVariationsAndDrumKits) {
    ArrangeSeams().ChangeLayout(2);
    struct Case {
        int Program;
        std::vector<std::string> Variations;
    } cases[] = {{125, {"0", "1", "2", "3", "4", "5", "6", "7", "8"}},
                 {25, {"0", "8", "16"}},
                 {127, {"0", "1", "2", "3", "9"}},
                 {4, {"0", "8"}},
                 {0, {"0"}},
                 {-1, {"0"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Program);
        Pick(a->comboGS, c.Program + 1);
        EXPECT_EQ(Items(a->ComboVar), c.Variations);
        EXPECT_EQ(a->ComboVar->Enabled(), c.Variations.size() > 1);
        EXPECT_EQ(a->labelVar->Enabled(), c.Variations.size() > 1);
        EXPECT_EQ(a->ComboVar->ItemIndex, c.Program == -1 ? -1 : 0);
        EXPECT_EQ(t->Program, c.Program);
    }
    Pick(a->comboGS, 26);
    TakeSent();
    Pick(a->ComboVar, 2);
    EXPECT_EQ(t->Bank, 16);
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 16}, {0xC0, 25}}));

    ASSERT_EQ(a->gsdrums->Items.Count(), 16);
    EXPECT_EQ(a->gsdrums->Items[14], "Rythm FX");
    Pick(a->gsdrums, 8);
    EXPECT_EQ(t->Program, 32);
    EXPECT_EQ(t->Bank, 0);
    EXPECT_EQ(t->Layout, 0x401);
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 0}, {0xC0, 32}}));
    a->RefreshTrackbar();
    EXPECT_EQ(a->gsdrums->Text(), "Jazz");
    EXPECT_EQ(a->comboGS->ItemIndex, -1);
    EXPECT_EQ(a->ComboVar->ItemIndex, -1);
    EXPECT_FALSE(a->ComboVar->Enabled());
    t->Program = 57;
    a->RefreshTrackbar();
    EXPECT_EQ(a->gsdrums->ItemIndex, 14);
    // A program again clears the mark; a refresh shows program and variation.
    Pick(a->comboGS, 126);
    EXPECT_EQ(t->Layout, 0x400);
    t->Bank = 3;
    a->RefreshTrackbar();
    EXPECT_EQ(a->comboGS->ItemIndex, 126);
    EXPECT_EQ(a->ComboVar->Text(), "3");
    EXPECT_EQ(a->gsdrums->ItemIndex, -1);
}

// MSB and LSB make one bank; each edit acts on Enter, clamps, and an empty one clears the bank.
TEST_F(Banks, MsbAndLsb) {
    ArrangeSeams().ChangeLayout(6);
    Enter(a->editBankMSB, "1");
    EXPECT_EQ(t->Bank, 65536);
    TakeSent();
    Enter(a->editBankLSB, "3");
    EXPECT_EQ(t->Bank, 65539);
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 1}, {0xB0, 32, 3}}));
    Enter(a->editBankMSB, "300");
    EXPECT_EQ(a->editBankMSB->Text(), "127");
    EXPECT_EQ(t->Bank, 127 * 65536 + 3);
    TakeSent();
    Enter(a->editProgMSBLSB, "150");
    EXPECT_EQ(t->Program, 150);
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 127}, {0xB0, 32, 3}}))
        << "a program beyond 127 goes nowhere";
    a->RefreshTrackbar();
    EXPECT_EQ(a->editBankLSB->Text(), "3");
    gui.Dialogs().Answer(IDOK, "'x' is not a valid integer value.");
    Enter(a->editBankLSB, "x");
    EXPECT_EQ(t->Bank, 127 * 65536 + 3);
    Enter(a->editBankMSB, "");
    EXPECT_EQ(t->Bank, -1);
    EXPECT_EQ(a->editBankLSB->Text(), "");
    EXPECT_TRUE(TakeSent().empty());
}

// The sound card's lists only when the card is there.
TEST_F(Banks, SoundCardBanksAndPresets) {
    FakeAwe awe;
    SetMidiEditors(&awe);
    ArrangeSeams().ChangeLayout(3);
    a->FillAweBanks();
    EXPECT_TRUE(Items(a->aweBanks).empty());
    EXPECT_FALSE(a->sbAWE->Enabled());
    AweAvailable = 1;
    a->FillAweBanks();
    EXPECT_EQ(Items(a->aweBanks), (std::vector<std::string>{"000 A", "001 B"}));
    EXPECT_EQ(a->aweBanks->ItemIndex, 0);
    EXPECT_TRUE(Items(a->comboAWEProg).empty());
    Pick(a->aweBanks, 1);
    EXPECT_EQ(Items(a->comboAWEProg), (std::vector<std::string>{"000 Warm", "005 Bright"}));
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 1}, {0xC0, 0}}));
    a->SpeedButton14->Click();
    a->SpeedButton14->Click(); // no further than the last
    EXPECT_EQ(t->Program, 5);
    EXPECT_EQ(t->Bank, 1);
    a->RefreshTrackbar();
    EXPECT_TRUE(a->sbAWE->Enabled());
    EXPECT_EQ(a->aweBanks->ItemIndex, 1);
    a->sbAWE->Click();
    EXPECT_EQ(awe.Shown, 1);
}

namespace {

// User banks in the program folder.
class UserBanks : public Banks {
protected:
    void Prepare() override {
        program.WriteFile("Synth.mxp", "Mode=2\r\n5,1,Piano\r\n7,3,Grand, bright\r\n");
        program.WriteFile("b.mxp", "Mode=0\r\n300,1,X\r\n");
        program.WriteFile("A.MXP", "Mode=300\r\n1,2,Odd\r\n");
        program.WriteFile("notes.txt", "1,2,3");
    }
};

} // namespace

// The bank files by name without regard to case; a file's first entry is sent as chosen, with
// the file's mode as the bank-select mode; a mode beyond a byte leaves the layout alone.
TEST_F(UserBanks, PicksSendWithTheFilesMode) {
    ArrangeSeams().ChangeLayout(5);
    EXPECT_EQ(Items(a->ComboUser), (std::vector<std::string>{"A.MXP", "b.mxp", "Synth.mxp"}));
    Pick(a->ComboUser, 2);
    EXPECT_EQ(t->UserFile, "Synth.mxp");
    EXPECT_EQ(Items(a->comboUserProg), (std::vector<std::string>{"Piano", "Grand, bright"}));
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 0}, {0xB0, 32, 5}, {0xC0, 0}}));
    EXPECT_EQ(t->Layout, 0x1002);
    EXPECT_EQ(t->Bank, 5);
    EXPECT_EQ(t->Program, 1);
    a->SpeedButton10->Click();
    a->SpeedButton10->Click();
    EXPECT_EQ(t->Bank, 7);
    EXPECT_EQ(t->Program, 3);
    TakeSent();

    Pick(a->ComboUser, 1);
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xC0, 1}})) << "a bank beyond a byte goes nowhere";
    EXPECT_EQ(t->Layout, 0x1000);
    Pick(a->ComboUser, 0);
    EXPECT_EQ(t->Layout, 0x1000) << "Mode=300 reads as 0";

    // A stored name in another case finds its file and entry; a missing one reads nothing.
    TakeSent();
    t->UserFile = "SYNTH.MXP";
    t->Bank = 7;
    t->Program = 3;
    a->RefreshTrackbar();
    EXPECT_EQ(a->ComboUser->ItemIndex, 2);
    EXPECT_EQ(a->comboUserProg->ItemIndex, 1);
    t->UserFile = "gone.mxp";
    a->RefreshTrackbar();
    EXPECT_EQ(a->ComboUser->ItemIndex, -1);
    EXPECT_TRUE(Items(a->comboUserProg).empty());
    EXPECT_TRUE(TakeSent().empty());
}

// "Edit" opens the editor, then lists the banks again and sends the same program again.
TEST_F(UserBanks, EditReopensTheBankAndSendsAgain) {
    ArrangeSeams().ChangeLayout(5);
    Pick(a->ComboUser, 2);
    a->SpeedButton10->Click();
    TakeSent();
    int opened = 0;
    EditCommandSeams().ShowUserBank = [&] {
        ++opened;
        program.WriteFile("Synth.mxp", "Mode=4\r\n9,9,Organ\r\n7,4,Grand, bright\r\n");
    };
    a->SpeedButton3->Click();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(a->comboUserProg->ItemIndex, 1);
    EXPECT_EQ(t->Program, 4);
    EXPECT_EQ(t->Layout, 0x1004);
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 63}, {0xB0, 32, 7}, {0xC0, 3}}));
    EditCommandSeams().ShowUserBank = nullptr;
}

namespace {

// The stand-in SoundFont manager in the program folder.
class SoundFontBanks : public Banks {
protected:
    void Prepare() override {
        std::filesystem::copy_file(TOLVERN_SFMAN_DIR "/sfman32.so", program.Path() + "sfman32.so");
        font = dir.WriteFile(
            "strings.sf2",
            testsupport::SoundFont("Strings", {{"Violin", 0}, {"Viola", 1}, {"Cello", 5}}));
    }
    // "Load" of the action menu into the chosen bank; a failure is answered.
    void Load(const std::string& File, const char* Failure = nullptr) {
        gui.Dialogs().OpenFile(File);
        if (Failure) gui.Dialogs().Answer(IDOK, Failure);
        a->SBLiveLoad();
        gui.Pump();
    }
    TempDir dir;
    std::string font;
};

} // namespace

TEST_F(SoundFontBanks, LoadedPresetsAndFailedLoads) {
    ASSERT_TRUE(SBLive && SBLive->Available);
    ArrangeSeams().ChangeLayout(4);
    ASSERT_EQ(a->comboSBLiveBanks->Items.Count(), 128);
    EXPECT_FALSE(a->sbSBLiveAction->Enabled());
    Pick(a->comboSBLiveBanks, 3);
    EXPECT_TRUE(a->sbSBLiveAction->Enabled());
    Load(font);
    EXPECT_EQ(t->Bank, 3);
    EXPECT_EQ(a->comboSBLiveBanks->Items[3], "003 Strings");
    EXPECT_EQ(gui.Dialogs().FileDialogs().back().Filter, "Sound Font Banks|*.sf2;*.sbk");
    Pick(a->comboSBLiveBanks, 3);
    EXPECT_EQ(Items(a->comboSBLivePresets),
              (std::vector<std::string>{"000 Violin", "001 Viola", "005 Cello"}));
    EXPECT_EQ(TakeSent(), (std::vector<Bytes>{{0xB0, 0, 3}, {0xC0, 0}}));
    t->Program = 5;
    a->RefreshTrackbar();
    EXPECT_EQ(a->comboSBLivePresets->ItemIndex, 2);

    // Not a SoundFont: said, the bank left empty, the track's bank as it was.
    Pick(a->comboSBLiveBanks, 4);
    t->Bank = 3;
    Load(dir.WriteFile("notes.sf2", "RIFF....WAVE"), "Could not load notes.sf2 into bank 4");
    EXPECT_EQ(t->Bank, 3);
    EXPECT_EQ(a->comboSBLiveBanks->Items[4], "004 ");
    ASSERT_EQ(gui.Dialogs().Boxes().size(), 1u);
    EXPECT_EQ(gui.Dialogs().Boxes()[0].Caption, "Load");

    // A song read with its bank list fills the list again.
    SBLive->AutoOpenSave = true;
    const std::string song = dir.Path() + "song.seq";
    ASSERT_TRUE(SaveSongFile(song));
    SBLive->ClearAllBanks(0);
    a->FillSBLiveBanks();
    EXPECT_EQ(a->comboSBLiveBanks->Items[3], "003 ");
    ASSERT_TRUE(LoadSongFile(song));
    EXPECT_EQ(a->comboSBLiveBanks->Items[3], "003 Strings");
    SBLive->AutoOpenSave = false;
}

// The action menu's check follows the setting, and its toggle is written.
TEST_F(SoundFontBanks, OpenAndSaveWithTheSong) {
    ArrangeSeams().ChangeLayout(4);
    Pick(a->comboSBLiveBanks, 0);
    SBLive->AutoOpenSave = false;
    a->SBLiveToggleAutoOpenSave();
    EXPECT_TRUE(SBLive->AutoOpenSave);
    EXPECT_EQ(Setting("SBLive!", "AutoOpenSave"), "1");
    a->popupSBLive->OnPopup(a->popupSBLive);
    EXPECT_TRUE(a->miSBLiveAutoOpenSave->Checked);
    a->SBLiveToggleAutoOpenSave();
    EXPECT_EQ(Setting("SBLive!", "AutoOpenSave"), "0");
    std::vector<std::string> captions;
    for (int i = 0; i < a->popupSBLive->Items->Count(); ++i)
        captions.push_back(a->popupSBLive->Items->Items(i)->Caption);
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Load", "Clear", "Clear all", "-", "Open/save with Song"}));
}
