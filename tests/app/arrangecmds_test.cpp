// The arrange window's part commands headless: the rows of its menus and the parts popup, their
// enabling, paste, insert and cut area with their undo, and the keys of the menus.
#include "arrange_fixture.h"

#include "app/editcommands.h"
#include "app/transport.h"
#include "platform/core/dialogs.h"
#include "platform/forms/edit.h"
#include "platform/menus/menus.h"
#include "platform/window/input.h"
#include "song/disk.h"
#include "song/undo.h"
#include "songdump/dump.h"

using namespace platform;

namespace {

class ArrangeCommands : public ArrangeTest {
protected:
    void SetUp() override {
        ArrangeTest::SetUp();
        Start();
        for (int t : {0, 1})
            Song->TrackAt(t)->Mode = tmMidi;
        first = AddPart(0, 0, 960, "A", {{0, 60}, {240, 62}});
        second = AddPart(0, 1920, 960, "B", {{0, 64}});
        a->ActiveControl = nullptr;
        gui.Pump();
    }
    void TearDown() override {
        if (Song) fmMdi->StopPlayback(false);
        ArrangeTest::TearDown();
    }
    static std::vector<std::string> Captions(TMenuItem* Menu) {
        std::vector<std::string> r;
        for (int i = 0; i < Menu->Count(); ++i)
            r.push_back(Menu->Items(i)->Caption);
        return r;
    }
    // The song's tracks, parts and events as the dump shows them, without the song's header and
    // the parts' flags (selection and redraw marks).
    static std::string Parts() {
        const std::string dump = DumpSong(*Song);
        std::string r;
        std::size_t at = dump.find("\ntrack 1 ");
        while (at != std::string::npos && at < dump.size()) {
            const std::size_t end = dump.find('\n', at + 1);
            std::string line = dump.substr(at, end - at);
            if (std::size_t f = line.find(" flags "); f != std::string::npos) line.resize(f);
            r += line;
            at = end;
        }
        return r;
    }
    TMenuItem* Menu(const std::string& Caption) const {
        for (int i = 0; i < a->MainMenu->Items->Count(); ++i)
            if (a->MainMenu->Items->Items(i)->Caption == Caption) return a->MainMenu->Items->Items(i);
        return nullptr;
    }
    // The menus as their opening leaves them.
    void OpenMenus() {
        for (const char* m : {"&Edit", "&Part", "&Sequence"})
            Menu(m)->Click();
        a->PartsPopup->OnPopup(a->PartsPopup);
    }
    _TPart* first = nullptr;
    _TPart* second = nullptr;
};

TEST_F(ArrangeCommands, TheRowsStandInTheirMenusInOrder) {
    EXPECT_EQ(Captions(Menu("&Edit")),
              (std::vector<std::string>{"&Undo", "&Edit part", "&Paste", "&Copy", "C&ut",
                                        "Select &all parts", "Snap"}));
    EXPECT_EQ(Captions(Menu("&Part")),
              (std::vector<std::string>{"&Insert", "&Delete", "&Delete", "&Velocity...",
                                        "&Transpose...", "&Quantize", "L&ength", "&Legato",
                                        "&Append", "&Mute", "&Rename...", "Grooves...", "&Glue",
                                        "&Compose", "&Echo...", "Overlap", "&X-Ray"}));
    EXPECT_EQ(Captions(Menu("&Sequence")),
              (std::vector<std::string>{"&Loop selected parts", "&Split selected parts",
                                        "&Ungroup", "&Remix selected parts", "&Insert area",
                                        "&Cut area", "&Group", "U&nmix track by MIDI channel",
                                        "Track play position", "&Sysex dumps"}));
    EXPECT_FALSE(a->miSysexDumps->Visible);
    EXPECT_EQ(Captions(a->miDeleteEvents),
              (std::vector<std::string>{"&Control change", "&Notes", "&Pitch bend",
                                        "P&rogram change", "&Double notes", "&Aftertouch",
                                        "&Sysex"}));
    OpenMenus();
    EXPECT_EQ(Captions(a->PartsPopup->Items),
              (std::vector<std::string>{"Edit part", "Delete", "Delete", "Velocity...",
                                        "Transpose...", "Quantize (16)", "Length (16)", "Legato",
                                        "Append", "Mute", "Rename...", "Grooves...", "Glue",
                                        "Compose", "Echo...", "Overlap (16)",
                                        Song->UndoStore->Caption}));
    EXPECT_EQ(a->miQuantize->Caption, "Quantize (16)");
    EXPECT_EQ(a->miLength->Caption, "Length (16)");
    EXPECT_EQ(a->miOverlap->Caption, "Overlap (16)");
    EXPECT_NE(a->miUndo->Bitmap, nullptr);
}

TEST_F(ArrangeCommands, EnablingFollowsTheSelectionTheStateAndTheLocators) {
    struct Case {
        int selected, state;
        bool current;
        // Delete, Glue, Compose, Echo, Insert, Group, popup Glue, popup Delete, Paste
        std::vector<bool> expected;
    };
    Song->Clipboard = CopyPart(first);
    for (const Case& c : {Case{0, 0, false, {0, 0, 0, 0, 1, 0, 0, 0, 1}},
                          Case{1, 0, true, {1, 0, 1, 1, 1, 0, 0, 1, 1}},
                          Case{2, 0, false, {1, 1, 0, 0, 1, 1, 1, 1, 1}},
                          Case{1, 1, true, {0, 0, 0, 0, 0, 0, 0, 1, 0}},
                          Case{2, 2, false, {1, 1, 0, 0, 1, 1, 1, 1, 0}}}) {
        Song->UnselectAllParts();
        if (c.selected > 0) first->Flags |= pfSelected;
        if (c.selected > 1) second->Flags |= pfSelected;
        Song->CurrentPart = c.current ? first : nullptr;
        Song->State = c.state;
        OpenMenus();
        Song->State = 0;
        const std::vector<bool> got{a->miDelete->Enabled,    a->miGlue->Enabled,
                                    a->miCompose->Enabled,   a->miEcho->Enabled,
                                    a->miInsert->Enabled,    a->miGroup->Enabled,
                                    a->miPopupGlue->Enabled, a->miPopupDelete->Enabled,
                                    a->miPaste->Enabled};
        EXPECT_EQ(got, c.expected) << c.selected << " selected, state " << c.state;
    }
    Song->TrackAt(0)->Mode = tmAudio; // compose: MIDI and softsynth tracks only
    Song->UnselectAllParts();
    first->Flags |= pfSelected;
    Song->CurrentPart = first;
    OpenMenus();
    EXPECT_FALSE(a->miCompose->Enabled);
    EXPECT_FALSE(a->miUnmix->Enabled);
    Song->LeftLocator = 1920;
    Song->RightLocator = 960;
    OpenMenus();
    EXPECT_FALSE(a->miInsertArea->Enabled);
    EXPECT_FALSE(a->miUndo->Enabled) << "nothing to undo yet";
    TrackPlayPosition = false;
    OpenMenus();
    EXPECT_FALSE(a->miTrackPlayPosition->Checked);
    TrackPlayPosition = true;
}

TEST_F(ArrangeCommands, PasteSnapsThePositionAndDropsWhatWouldOverlap) {
    _TPart* clip = CopyPart(first);
    clip->Start = 0;
    Song->Clipboard = clip;
    a->SnapMode = 1; // beats
    Song->Position = 1000;
    a->PasteParts();
    _TPart* pasted = first->Next;
    ASSERT_NE(pasted, second);
    EXPECT_EQ(pasted->Start, 960);
    EXPECT_EQ(Song->Position, 960 + 960) << "at the end of what was pasted";
    EXPECT_EQ(Song->UndoStore->Caption, "Undo paste");
    EXPECT_EQ(Song->SelectedPartCount(), 1);

    // Everything overlaps: no part changes, and no undo step remains.
    Song->Position = 0;
    a->PasteParts();
    EXPECT_EQ(first->Next, pasted);
    EXPECT_EQ(pasted->Next, second);
    EXPECT_EQ(pasted->Start, 960);
    EXPECT_EQ(Song->UndoStore->Kind, ukNone);
    a->RefreshEditMenu();
    EXPECT_FALSE(a->miUndo->Enabled);
}

TEST_F(ArrangeCommands, CtrlVSeesTheClipboardAsItIsAndNeverPastesWhilePlaying) {
    ASSERT_EQ(Song->Clipboard, nullptr);
    Menu("&Edit")->Click(); // opened with an empty clipboard: Paste disabled then
    ASSERT_FALSE(a->miPaste->Enabled);
    _TPart* clip = CopyPart(first);
    clip->Start = 0;
    Song->Clipboard = clip;
    Song->Position = 3840;
    fmMdi->StartPlayback(false);
    gui.Chord({VK_CONTROL, 'V'});
    EXPECT_EQ(second->Next, nullptr) << "nothing pasted while playing";
    fmMdi->StopPlayback(false);
    Song->Position = 3840;
    gui.Chord({VK_CONTROL, 'V'});
    ASSERT_NE(second->Next, nullptr);
    EXPECT_EQ(second->Next->Start, 3840);
}

TEST_F(ArrangeCommands, InsertAreaAndCutAreaAreUndoneToTheSameSong) {
    AddPart(1, 1440, 2880, "Long", {{0, 40}, {1000, 41}, {2000, 42}});
    AddPart(1, 4800, 480, "Late", {{0, 43}});
    struct Case {
        int left, right;
        bool cut;
    };
    for (Case c : {Case{1920, 3840, false}, Case{1920, 3840, true}, Case{480, 2400, true},
                   Case{0, 960, false}}) {
        const std::string before = Parts();
        Song->LeftLocator = c.left;
        Song->RightLocator = c.right;
        if (c.cut)
            a->CutArea();
        else
            a->InsertArea();
        EXPECT_NE(Parts(), before) << c.left << " " << c.cut;
        EXPECT_EQ(Song->UndoStore->Kind, ukArea);
        EXPECT_EQ(Song->UndoStore->Caption, c.cut ? "&Undo cut area" : "&Undo insert area");
        a->UndoClick();
        EXPECT_EQ(Parts(), before) << c.left << " " << c.cut;
    }
    // Insert: the part across the left locator is cut, everything from there moves on.
    Song->LeftLocator = 1920;
    Song->RightLocator = 3840;
    a->InsertArea();
    std::vector<std::pair<int, int>> track1;
    for (_TPart* p = Song->TrackAt(1)->Parts; p; p = p->Next)
        track1.push_back({p->Start, p->Length});
    EXPECT_EQ(track1, (std::vector<std::pair<int, int>>{{1440, 480}, {3840, 2400}, {6720, 480}}));
    EXPECT_EQ(Song->TrackAt(0)->Parts->Next->Start, 3840) << "B moved on";
}

TEST_F(ArrangeCommands, CutAreaThroughADiskPartIsRefused) {
    Song->TrackAt(2)->Mode = tmDisk;
    AddPart(2, 0, 3840, "Disk");
    Song->LeftLocator = 960;
    Song->RightLocator = 1920;
    const std::string before = Parts();
    gui.Dialogs().Answer(IDOK, "disk track");
    a->CutArea();
    EXPECT_EQ(Parts(), before);
    ASSERT_EQ(gui.Dialogs().Boxes().size(), 1u);
    EXPECT_EQ(gui.Dialogs().Boxes()[0].Caption, "Cut area");
}

TEST_F(ArrangeCommands, DelDeletesPartsOnlyWhenNoFieldHasTheFocus) {
    first->Flags |= pfSelected;
    a->editBpm->SetFocus();
    a->editBpm->Text = "120";
    gui.Key(VK_HOME);
    gui.Key(VK_DELETE);
    EXPECT_EQ(a->editBpm->Text(), "20") << "the field's key";
    EXPECT_EQ(Song->TrackAt(0)->Parts, first);
    a->ActiveControl = nullptr;
    gui.Pump();
    gui.Key(VK_DELETE);
    EXPECT_EQ(Song->TrackAt(0)->Parts, second);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo delete");
    gui.Chord({VK_CONTROL, 'Z'});
    EXPECT_EQ(Song->TrackAt(0)->Parts->Start, 0);
}

TEST_F(ArrangeCommands, DeleteControlChangeIsUndone) {
    _TPart* p = AddPart(1, 0, 960, "Ctl");
    AppendEvent(p, NewEvent(0, 0x0A07B0)); // volume 10
    AppendEvent(p, NewEvent(100, 0x4001B0));
    p->Flags |= pfSelected;
    const std::string before = Parts();
    a->miDeleteEvents->Items(0)->Click();
    EXPECT_NE(Parts(), before);
    a->UndoClick();
    EXPECT_EQ(Parts(), before);
    // The popup's item runs the same deletion in the guard.
    p = Song->TrackAt(1)->Parts;
    p->Flags |= pfSelected;
    a->miPopupDeleteEvents->Items(0)->Click();
    EXPECT_NE(Parts(), before);
    a->UndoClick();
    EXPECT_EQ(Parts(), before);
}

TEST_F(ArrangeCommands, RenameAsksForTheNameOfTheOnePart) {
    std::string asked;
    const auto installed = ArrangeSeams().AskPartName;
    ArrangeSeams().AskPartName = [&](std::string& Name) {
        asked = Name;
        Name = "Verse";
        return true;
    };
    first->Flags |= pfSelected;
    a->RenameParts();
    EXPECT_EQ(asked, "A");
    EXPECT_EQ(first->Name, "Verse");
    second->Flags |= pfSelected;
    a->RenameParts();
    EXPECT_EQ(asked, "") << "two parts: an empty name offered";
    EXPECT_EQ(second->Name, "Verse");
    ArrangeSeams().AskPartName = installed;
}

} // namespace
