// The main window's small dialogs and the tool dialog frame, headless.
#include "app/app_fixture.h"
#include "app/arrange.h"
#include "app/dialogs.h"

#include "devices/inport.h"
#include "devices/midi.h"
#include "gui/mscroll.h"
#include "platform/core/paths.h"
#include "platform/gdi/graphics.h"
#include "platform/window/window.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/song.h"

#include <filesystem>

using namespace platform;
using testsupport::GuiHarness;

namespace {

class Dialogs : public AppTest {
protected:
    void ClickOn(TControl* c) {
        auto* w = dynamic_cast<TWinControl*>(c);
        ASSERT_NE(w, nullptr);
        gui.Click(GuiHarness::At(w->Handle(), 4, 4));
    }
};

TEST_F(Dialogs, SplashTakesTheLogosSizeAndCountsTheStartInFifths) {
    struct Case {
        bool logo;
        int width, height;
        std::vector<int> bars; // steps 1 to 6
    } cases[] = {{true, 200, 100, {19, 38, 58, 77, 96, 115}},
                 {false, 420, 260, {51, 102, 154, 205, 256, 307}}};
    for (const Case& c : cases) {
        if (c.logo) {
            TBitmap b;
            b.SetSize(200, 100);
            b.SaveToFile(program.Path() + "Logo.BMP");
        } else {
            std::filesystem::remove(program.Path() + "Logo.BMP");
        }
        MakeForm(dlgSplach);
        EXPECT_EQ(dlgSplach->Width, c.width);
        EXPECT_EQ(dlgSplach->Height, c.height);
        EXPECT_EQ(dlgSplach->labelinfo->Width, c.width);
        EXPECT_EQ(dlgSplach->labelinfo->Top, c.height - 24);
        for (int step = 0; step < 6; ++step) {
            dlgSplach->ProgressStep();
            EXPECT_EQ(dlgSplach->Shape2->Height, c.bars[std::size_t(step)]) << step + 1;
        }
        dlgSplach->Free();
        EXPECT_EQ(dlgSplach, nullptr);
    }
}

TEST_F(Dialogs, SplashClosesAfterThreeSecondsButTheAboutBoxStays) {
    MakeForm(dlgSplach)->Show();
    gui.Advance(2990);
    EXPECT_TRUE(dlgSplach->Visible);
    // The version label turns a degree every 50 ms.
    EXPECT_EQ(dlgSplach->RotateLabel1->Escapement, 59);
    gui.Advance(10);
    EXPECT_FALSE(dlgSplach->Visible);
    EXPECT_EQ(dlgSplach->labelinfo->Caption(), kSplashAddress);
    EXPECT_FALSE(dlgSplach->Shape2->Visible);
    EXPECT_FALSE(dlgSplach->Timer2.Enabled);

    ShowAboutBox();
    gui.Advance(6000);
    EXPECT_TRUE(dlgSplach->Visible);
    gui.SavePng(dlgSplach->Handle(), "dialog-about.png");
    // A click on the picture closes it; on a true-colour screen nothing is said.
    gui.Click(GuiHarness::At(dlgSplach->Handle(), 100, 100));
    EXPECT_FALSE(dlgSplach->Visible);
    EXPECT_TRUE(gui.Dialogs().Boxes().empty());
}

TEST_F(Dialogs, ALogoClickOnAnEightBitScreenSaysSo) {
    SetScreenGeometry(1024, 768, 8);
    MakeForm(dlgSplach)->Show();
    gui.Dialogs().Answer(IDOK, "Tolvern looks better in 16-bits colors");
    gui.Click(GuiHarness::At(dlgSplach->Handle(), 100, 100));
    EXPECT_FALSE(dlgSplach->Visible);
    EXPECT_EQ(gui.Dialogs().Boxes().size(), 1u);
}

TEST_F(Dialogs, StartUpShowsTheSplashAndHidesItAtTheEnd) {
    ASSERT_TRUE(Start());
    ASSERT_NE(dlgSplach, nullptr);
    EXPECT_FALSE(dlgSplach->Visible);
    EXPECT_EQ(dlgSplach->CurrentStep, 2); // the main window's step and the arrange window's
    EXPECT_EQ(dlgSplach->labelinfo->Caption(), "Connecting MIDI...");
    EXPECT_NE(fmDirectory, nullptr);
}

// Renaming with and without the parts; the track list view switches at once.
TEST_F(Dialogs, RenameTrack) {
    ASSERT_TRUE(Start());
    _TTrack* t = Song->CurrentTrack();
    ASSERT_NE(t, nullptr);
    t->Name = "Piano";
    ASSERT_TRUE(InsertPart(t, NewPart("verse", 0, 960, Song->CurrentTrackIndex)));
    ASSERT_TRUE(InsertPart(t, NewPart("chorus", 1920, 960, Song->CurrentTrackIndex)));
    // The parts out of the arrange window's view: it draws them later and leaves their flags.
    ASSERT_NE(fmArrange, nullptr);
    fmArrange->ScrollX->SetPosition(1000);
    fmArrange->ScrollX->Changed();
    for (bool all : {false, true}) {
        for (_TPart* p = t->Parts; p; p = p->Next)
            p->Flags &= ~pfRedraw;
        const std::string name = all ? "Strings" : "Bass";
        gui.OnModal("Rename track", [&](HWND h) {
            TdlgRenameTrack* d = dlgRenameTrack;
            EXPECT_TRUE(d->editName->Focused());
            EXPECT_EQ(d->editName->SelLength(), int(t->Name.size()));
            EXPECT_FALSE(d->renameAll->Checked);
            EXPECT_TRUE(d->chkTrackName->Checked);
            gui.Type(name);
            gui.Advance(100);
            gui.SavePng(h, "dialog-rename-track.png");
            if (all) ClickOn(d->renameAll);
            ClickOn(d->btnOk);
        });
        fmMdi->ShowRenameTrack();
        EXPECT_EQ(t->Name, name);
        EXPECT_EQ(t->Parts->Name, all ? name : "verse");
        EXPECT_EQ(t->Parts->Next->Name, all ? name : "chorus");
        EXPECT_EQ((t->Parts->Flags & pfRedraw) != 0, all);
        dlgRenameTrack->renameAll->Checked = true; // cleared again when shown
    }
    gui.OnModal("Rename track", [&](HWND) {
        ClickOn(dlgRenameTrack->chkGMName);
        EXPECT_FALSE(TrackList().TrackNames());
        ClickOn(dlgRenameTrack->btnCancel);
    });
    fmMdi->ShowRenameTrack();
    EXPECT_EQ(t->Name, "Strings");
}

TEST_F(Dialogs, TransposeSendsAtOnceAndStoresOnlyOnClose) {
    ASSERT_TRUE(Start());
    _TTrack* t = Song->CurrentTrack();
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(Midi->InPort);
    t->Transpose = 3;
    gui.OnModal("Transpose input", [&](HWND h) {
        TdlgTransp* d = dlgTransp;
        EXPECT_EQ(d->edittransp->Text(), "3");
        gui.Advance(100);
        gui.SavePng(h, "dialog-transpose.png");
        d->edittransp->SetFocus();
        d->edittransp->SelectAll();
        gui.Type("-5x");
        EXPECT_EQ(d->edittransp->Text(), "-5");
        EXPECT_EQ(Midi->InPort->Transpose, -5);
        ClickOn(d->btnUp12);
        EXPECT_EQ(Midi->InPort->Transpose, 7);
        d->Close(); // the frame's close box
    });
    fmMdi->ShowTrackTranspose();
    EXPECT_EQ(t->Transpose, 3);
    EXPECT_EQ(Midi->InPort->Transpose, 7);

    struct Case {
        const char* typed;
        const char* button;
        int stored;
    } cases[] = {{"", "&Close", 0}, {"9", "&Close", 9}, {"9", "&Off", 0}, {"", "-12", -12}};
    for (const Case& c : cases) {
        gui.OnModal("Transpose input", [&](HWND) {
            TdlgTransp* d = dlgTransp;
            d->edittransp->Text = c.typed;
            TButton* b = d->Find<TButton>("");
            for (int i = 0; i < d->ComponentCount(); ++i)
                if (auto* x = dynamic_cast<TButton*>(d->Components(i)); x && x->Caption == c.button)
                    b = x;
            ASSERT_NE(b, nullptr) << c.button;
            ClickOn(b);
            if (d->Visible) ClickOn(d->btnClose);
        });
        fmMdi->ShowTrackTranspose();
        EXPECT_EQ(t->Transpose, c.stored) << c.typed << " " << c.button;
        EXPECT_EQ(Midi->InPort->Transpose, c.stored);
    }
}

class RefusingGuard : public TMainWindowSeam {
public:
    bool PausePlayback() override {
        ++asked;
        return false;
    }
    int asked = 0;
};

TEST_F(Dialogs, SyncChangesOnlyInsideTheEditGuard) {
    ASSERT_TRUE(Start());
    const std::string before = settings.IniText();
    RefusingGuard guard;
    SetMainWindow(&guard);
    gui.OnModal("Sync", [&](HWND) {
        ClickOn(fmSync->chkActive);
        EXPECT_FALSE(fmSync->chkActive->Checked); // what applies
        fmSync->btnClose->Click();
    });
    ShowSyncDialog();
    SetMainWindow(nullptr);
    EXPECT_EQ(guard.asked, 1);
    EXPECT_EQ(settings.IniText(), before);

    gui.OnModal("Sync", [&](HWND) {
        ClickOn(fmSync->chkActive);
        ClickOn(fmSync->chkRespond);
        fmSync->btnClose->Click();
    });
    ShowSyncDialog();
    EXPECT_EQ(Setting("MTC", "Active"), "1");
    EXPECT_EQ(Setting("MTC", "Device"), "-1");
    EXPECT_EQ(Setting("MTC", "fps"), "25");
    EXPECT_EQ(Setting("SyncIn", "StartStopContinue"), "1");
    EXPECT_EQ(Song->RespondToStartStop, 1);
}

// The frame: bar colours from the settings, the title growing to 16 points in 70 ms, the icon
// of the song's state pressed.
TEST_F(Dialogs, ToolDialogFrame) {
    settings.WriteIni("[Layout]\nControlBkColor=4210752\nControlTextColor=65535\n");
    ASSERT_TRUE(Start());
    Song->State = 2;
    gui.OnModal("Sync", [&](HWND) {
        TfmSync* d = fmSync;
        EXPECT_EQ(d->panelLeftBar->Color, 0x404040);
        EXPECT_EQ(d->labelHelp->Font.Color, 0xFFFF);
        EXPECT_EQ(d->TitleSize(), 2);
        gui.Advance(60);
        EXPECT_EQ(d->TitleSize(), 14);
        gui.Advance(10);
        EXPECT_EQ(d->TitleSize(), 16);
        gui.Advance(100);
        EXPECT_EQ(d->TitleSize(), 16);
        gui.SavePng(d->Handle(), "dialog-sync.png");
        EXPECT_TRUE(d->btnPlay->Down);
        EXPECT_FALSE(d->btnStop->Down);
        gui.Click(
            GuiHarness::At(d->panelLeftBar->Handle(), d->btnStop->Left + 5, d->btnStop->Top + 5));
        EXPECT_EQ(Song->State, 0);
        EXPECT_TRUE(d->btnStop->Down);
        EXPECT_FALSE(d->btnPlay->Down);
        ClickOn(d->btnClose);
    });
    ShowSyncDialog();
}

TEST_F(Dialogs, FolderPickerAndSampleName) {
    ASSERT_TRUE(Start());
    ASSERT_NE(fmDirectory, nullptr);
    gui.OnModal("Select Folder", [&](HWND h) {
        fmDirectory->DirectoryListBox1->Directory = program.Path() + "synth";
        gui.Advance(100);
        gui.SavePng(h, "dialog-folder.png");
        ClickOn(fmDirectory->btnOk);
    });
    EXPECT_EQ(fmDirectory->ShowModal(), mrOk);
    EXPECT_EQ(IncludeTrailingPathDelimiter(fmDirectory->DirectoryListBox1->Directory()),
              program.Path() + "synth/");

    MakeForm(dlgRenameSample);
    gui.OnModal("Rename sample", [&](HWND) {
        EXPECT_TRUE(dlgRenameSample->editName->Focused());
        gui.Type("Kick");
        gui.Advance(100);
        gui.SavePng(dlgRenameSample->Handle(), "dialog-rename-sample.png");
        gui.Key(VK_RETURN);
    });
    EXPECT_EQ(dlgRenameSample->ShowModal(), mrOk);
    EXPECT_EQ(dlgRenameSample->editName->Text(), "Kick");
}

} // namespace
