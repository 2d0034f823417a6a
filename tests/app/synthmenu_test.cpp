// The softsynth menu from a temporary tree, loading softsynths from it, and the plug-ins' idle,
// tempo and count calls.
#include "app/synthmenu.h"
#include "app/transport.h"
#include "app_fixture.h"

#include "devices/mfx.h"
#include "devices/midi.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/subengine.h"
#include "support/recording_synths.h"

#include <filesystem>
#include <string>
#include <vector>

using namespace platform;

namespace {

class SynthMenu : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        std::filesystem::remove_all(program.Path() + "synth");
        std::filesystem::create_directory(program.Path() + "synth");
    }
    // The fake plug-ins outlive the program, which unloads them when it closes.
    RecordingVst vst;
    RecordingMfx mfx;
    FakeLibrary mfxFile{"recmfx.so", {{"MFXConnect", FakeLibrary::Entry(&RecordingMfx::Connect)}}};

    void Library(const std::string& Relative) { program.WriteFile("synth/" + Relative, "lib"); }
    TMenuItem* Root() { return fmMdi->PopupSynth->Items; }
    static std::vector<std::string> Captions(const TMenuItem* Menu) {
        std::vector<std::string> r;
        for (int i = 0; i < Menu->Count(); ++i)
            r.push_back(Menu->Items(i)->Caption);
        return r;
    }
    // Items per column: a column starts at every item with a break.
    static std::vector<int> Columns(const TMenuItem* Menu) {
        std::vector<int> r;
        for (int i = 0; i < Menu->Count(); ++i) {
            if (i == 0 || Menu->Items(i)->Break != mbNone) r.push_back(0);
            ++r.back();
        }
        return r;
    }
    static TMenuItem* Find(const TMenuItem* Menu, std::string_view Caption) {
        for (int i = 0; i < Menu->Count(); ++i)
            if (Menu->Items(i)->Caption == Caption) return Menu->Items(i);
        return nullptr;
    }
};

TEST_F(SynthMenu, AnEmptyFolderGivesRecentAndADisabledEmpty) {
    std::filesystem::create_directories(program.Path() + "synth/nothing/below");
    Library("notes.txt");
    ASSERT_TRUE(Start());
    EXPECT_EQ(Captions(Root()), (std::vector<std::string>{"Recent", "Empty"}));
    EXPECT_EQ(Root()->Caption, "Add");
    EXPECT_EQ(Root()->Items(0)->Tag, -999);
    EXPECT_FALSE(Root()->Items(1)->Enabled);
    fmMdi->PopupSynthPopup();
    EXPECT_FALSE(Root()->Items(0)->Visible);
    EXPECT_TRUE(SynthMenuPaths.empty());
}

TEST_F(SynthMenu, FoldersFirstCaseFoldedAndInColumnsOfThirty) {
    for (const char* name : {"b.so", "A.SO", "c.So", "d.dll", "e.txt"})
        Library(std::string("small/") + name);
    for (int i = 0; i < 65; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "s%02d.so", i);
        Library(std::string("big/") + name);
        Library(name);
    }
    std::filesystem::create_directory(program.Path() + "synth/empty");
    ASSERT_TRUE(Start());
    // Recent, the folders in order, then the libraries: 1 + 2 + 65 items.
    const auto top = Captions(Root());
    ASSERT_EQ(top.size(), 68u);
    EXPECT_EQ(std::vector<std::string>(top.begin(), top.begin() + 4),
              (std::vector<std::string>{"Recent", "big", "small", "s00"}));
    EXPECT_EQ(Columns(Root()), (std::vector<int>{30, 30, 8}));
    EXPECT_EQ(Captions(Find(Root(), "small")), (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_EQ(Columns(Find(Root(), "big")), (std::vector<int>{30, 30, 5}));
    // Tags index the paths.
    TMenuItem* b = Find(Find(Root(), "small"), "b");
    ASSERT_LT(std::size_t(b->Tag), SynthMenuPaths.size());
    EXPECT_EQ(SynthMenuPaths[std::size_t(b->Tag)], program.Path() + "synth/small/b.so");
}

TEST_F(SynthMenu, TopLevelColumnsCountRecent) {
    for (int i = 0; i < 65; ++i)
        Library("s" + std::to_string(100 + i) + ".so");
    ASSERT_TRUE(Start());
    EXPECT_EQ(Columns(Root()), (std::vector<int>{30, 30, 6})); // 29 libraries beside Recent
}

TEST_F(SynthMenu, ALinkedLoopEndsAndALinkedFolderShowsInBothPlaces) {
    Library("loop/x.so");
    Library("other/y.so");
    std::filesystem::create_directory_symlink(program.Path() + "synth/loop",
                                              program.Path() + "synth/loop/again");
    std::filesystem::create_directory_symlink(program.Path() + "synth/other",
                                              program.Path() + "synth/loop/also");
    ASSERT_TRUE(Start());
    TMenuItem* loop = Find(Root(), "loop");
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(Captions(loop), (std::vector<std::string>{"also", "x"}));
    EXPECT_EQ(Captions(Find(loop, "also")), (std::vector<std::string>{"y"}));
    EXPECT_EQ(Captions(Find(Root(), "other")), (std::vector<std::string>{"y"}));
}

TEST_F(SynthMenu, PicksLoadSoftsynthsAndRecentLoadsAnother) {
    Library("recmfx.so");
    ASSERT_TRUE(Start());
    Find(Root(), "recmfx")->Click();
    gui.Pump();
    ASSERT_EQ(SoftEngine->Count(), 1);
    EXPECT_TRUE(SoftEngine->GetItem(0)->Plugin->Loaded);
    EXPECT_EQ(Song->CurrentTrack()->Output, 0);

    fmMdi->PopupSynthPopup();
    TMenuItem* recent = Root()->Items(0);
    EXPECT_TRUE(recent->Visible);
    ASSERT_EQ(Captions(recent), (std::vector<std::string>{"recmfx"}));
    recent->Items(0)->Click();
    gui.Pump();
    ASSERT_EQ(SoftEngine->Count(), 2);
    EXPECT_NE(SoftEngine->GetItem(1), SoftEngine->GetItem(0));
    EXPECT_EQ(Song->CurrentTrack()->Output, 1);
    EXPECT_EQ(SoftEngine->Recent.size(), 1u);

    // While recording the guard refuses: nothing changes.
    Song->State = 1;
    InsertSoftsynth(SynthMenuPaths[0]);
    Song->State = 0;
    EXPECT_EQ(SoftEngine->Count(), 2);
    EXPECT_EQ(Song->CurrentTrack()->Output, 1);
}

std::vector<int> idleOps;
VstIntPtr (*realDispatcher)(AEffect*, std::int32_t, std::int32_t, VstIntPtr, void*, float);
VstIntPtr Logging(AEffect* e, std::int32_t op, std::int32_t index, VstIntPtr value, void* ptr,
                  float opt) {
    if (op == effEditIdle || op == effIdle) idleOps.push_back(op);
    return realDispatcher(e, op, index, value, ptr, opt);
}

TEST_F(SynthMenu, OpenVstEditorsGetIdleCallsUnlessAnEditHoldsTheGuard) {
    ASSERT_TRUE(Start());
    TSoftItem* item = SoftEngine->AddSoftsynth("recvst");
    ASSERT_TRUE(item->Plugin->Loaded);
    realDispatcher = vst.E.dispatcher;
    vst.E.dispatcher = &Logging;
    idleOps.clear();
    bool done = true;
    Application->OnIdle(nullptr, done);
    EXPECT_TRUE(idleOps.empty()); // the editor is closed
    item->Plugin->EditorOpen = true;
    Application->OnIdle(nullptr, done);
    EXPECT_EQ(idleOps, (std::vector<int>{effEditIdle}));
    PostMessage(fmMdi->Handle(), WM_USER + 124, 1, LPARAM(&vst.E)); // needIdle
    gui.Pump();
    idleOps.clear();
    Application->OnIdle(nullptr, done);
    EXPECT_EQ(idleOps, (std::vector<int>{effEditIdle, effIdle}));
    {
        TEditGuard guard(fmMdi);
        ASSERT_TRUE(guard);
        idleOps.clear();
        Application->OnIdle(nullptr, done);
        EXPECT_TRUE(idleOps.empty());
    }
    vst.E.dispatcher = realDispatcher;
}

TEST_F(SynthMenu, TempoReachesTheLoadedPluginsPastAGroupVolumeBus) {
    ASSERT_TRUE(Start());
    SoftEngine->AddSoftsynth("recmfx");
    SubEngine->AddSub(skGroupVolume, "", -1);
    SubEngine->AddSub(skGroupEffect, "recmfx", -1);
    Song->RunTodos();
    ASSERT_EQ(SubEngine->Buses.size(), 2u);
    Midi->SetTempo(133);
    mfx.Positions.clear();
    fmMdi->BroadcastTempo();
    const std::vector<std::pair<int, intptr_t>> want = {{MFX_TEMPO, 133}, {MFX_TEMPO, 133}};
    EXPECT_EQ(mfx.Positions, want);
}

} // namespace
