// Editor plug-ins: the folder lists, the test editor opened in its host form, the broadcasts it
// asked for (also the audio blocks from the driver's thread), and every operation of the host
// callback as the plug-in calls it, with the scripted audio driver and a virtual MIDI output.
#include "app/editorhost.h"
#include "app/transportbar.h"
#include "transport_fixture.h"

#include "devices/meditor.h"
#include "devices/midimsg.h"
#include "devices/ui/editorform.h"
#include "platform/window/focus.h"
#include "song/seams.h"
#include "song/undo.h"
#include "support/test_panels.h"
#include "testlibs/testeditor.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

using namespace platform;
using transporttest::RendererFree;

// The key editor's repaints as the callback asks for them.
class CountingEditors : public TMidiEditorsSeam {
public:
    int Invalidates = 0, Scrolls = 0;
    void InvalidateViews() override { ++Invalidates; }
    void UpdateEventListScroll() override { ++Scrolls; }
};

class EditorPlugins : public transporttest::TransportFixture {
protected:
    EditorPlugins() { AddEditor("TestEditor.so"); }
    void AddEditor(const std::string& Name, const std::string& From = TOLVERN_TEST_EDITOR) {
        std::filesystem::create_directories(program.Path() + "editor");
        std::filesystem::copy_file(From, program.Path() + "editor/" + Name);
    }
    void SetUp() override {
        lib = LoadLibrary(program.Path() + "editor/TestEditor.so");
        ASSERT_NE(lib, 0) << LibraryError();
        setup = Entry<TTestEditorSetupFn>("TestEditorSetup");
        log = Entry<TTestEditorLogFn>("TestEditorLog");
        blocks = Entry<TTestEditorBlocksFn>("TestEditorBlocks");
        call = Entry<TTestEditorCallFn>("TestEditorCall");
        setup(&config);
        TransportFixture::SetUp();
        // The editor plug-ins hear of the transport through the windows' default.
        SetTransportWindows(nullptr);
        // Windows of a display with made-up ids, in place of the program's offscreen ones.
        SetPluginPanels(&panels);
        SetMidiEditors(&editors);
        part = Song->TrackAt(0)->Parts;
    }
    void TearDown() override {
        SetMidiEditors(nullptr);
        EditorHostSeams() = {};
        TransportFixture::TearDown();
        if (lib) FreeLibrary(lib);
    }
    template <typename F> F Entry(const char* Name) {
        return reinterpret_cast<F>(GetProcAddress(lib, Name));
    }
    TMEditor& Slot() { return *EditorEngine->Editors.back(); }
    // Sets the test editor up and opens it as the Editors menu does.
    TfmEditor* Open() {
        if (!Slot().Loaded) setup(&config);
        Slot().Open(EditorHostCallback);
        gui.Pump();
        return EditorForm(Slot());
    }
    std::vector<TTestEditorEntry> Log() {
        std::vector<TTestEditorEntry> r(256);
        r.resize(static_cast<std::size_t>(log(r.data(), 256)));
        return r;
    }
    std::vector<int> Commands() {
        std::vector<int> r;
        for (const auto& e : Log())
            r.push_back(e.Cmd);
        return r;
    }
    std::int32_t Call(std::int32_t Op, std::intptr_t A = 0, std::intptr_t B = 0) {
        return call(Op, A, B);
    }
    static void EngineBroadcast(int Cmd, std::intptr_t A = 0, std::intptr_t B = 0) {
        EditorEngine->Broadcast(Cmd, A, B);
    }
    static std::intptr_t Ptr(const void* P) { return reinterpret_cast<std::intptr_t>(P); }
    // Song ticks of a part's events.
    static std::vector<int> Ticks(const _TPart* Part) {
        std::vector<int> r;
        int t = Part->Start;
        for (const _TEvent* e = Part->Events; e; e = e->Next)
            r.push_back(t += e->Delta);
        return r;
    }

    HMODULE lib = 0;
    TTestEditorSetupFn setup = nullptr;
    TTestEditorLogFn log = nullptr;
    TTestEditorBlocksFn blocks = nullptr;
    TTestEditorCallFn call = nullptr;
    TTestEditorSetup config;
    TestPanels panels;
    CountingEditors editors;
    _TPart* part = nullptr;
};

// ---- lists and opening ----

class EditorFolder : public EditorPlugins {
protected:
    EditorFolder() {
        program.WriteFile("editor/b.SO", "not a library");
        program.WriteFile("editor/a.so", "not a library");
        program.WriteFile("editor/notes.txt", "");
        AddEditor("c.So", TOLVERN_TEST_LIB_DIR "/Sub/DynTest.so"); // no MEConnect
    }
};

TEST_F(EditorFolder, ListsItsLibrariesOfAnyCaseSortedWithASlotEach) {
    ASSERT_NE(EditorFiles, nullptr);
    ASSERT_NE(FxFiles, nullptr);
    EXPECT_EQ(FxFiles->Folder.back(), '/');
    const std::string folder = program.Path() + "editor/";
    EXPECT_EQ(EditorFiles->Folder, folder);
    EXPECT_EQ(EditorFiles->Files,
              (std::vector<std::string>{folder + "a.so", folder + "b.SO", folder + "c.So",
                                        folder + "TestEditor.so"}));
    std::string name = "x";
    for (int i : {-1, EditorFiles->Count()}) {
        EditorFiles->GetName(i, name);
        EXPECT_EQ(name, "") << i;
    }
    EditorFiles->GetName(1, name);
    EXPECT_EQ(name, "b");
    EditorFiles->GetName(3, name);
    EXPECT_EQ(name, "TestEditor");
    ASSERT_EQ(EditorEngine->Editors.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(EditorEngine->Editors[std::size_t(i)]->Path, EditorFiles->Files[std::size_t(i)]);
}

TEST_F(EditorFolder, FailedOpensShowNothingAndLeaveThePluginUnloaded) {
    // Not a library, a library without "MEConnect", a file gone since the list was made.
    TMEditor& text = *EditorEngine->Editors[0];
    TMEditor& noEntry = *EditorEngine->Editors[2];
    text.Open(EditorHostCallback);
    noEntry.Open(EditorHostCallback);
    for (TMEditor* e : {&text, &noEntry}) {
        EXPECT_FALSE(e->Loaded);
        EXPECT_EQ(e->Dll, 0);
        EXPECT_EQ(e->Form, nullptr);
    }
    std::filesystem::rename(Slot().Path, Slot().Path + ".gone");
    Open();
    EXPECT_EQ(Slot().Dll, 0);
    std::filesystem::rename(Slot().Path + ".gone", Slot().Path);

    // A nil record keeps the library; the next open asks again.
    config.NullRecord = true;
    EXPECT_EQ(Open(), nullptr);
    EXPECT_FALSE(Slot().Loaded);
    EXPECT_NE(Slot().Dll, 0);
    config.NullRecord = false;
    ASSERT_NE(Open(), nullptr);
    EXPECT_TRUE(Slot().Loaded);
}

TEST_F(EditorPlugins, AFirstOpenSendsOpenAndCallbackThenSizeThenTitleAReopenOnlyTheTitle) {
    TfmEditor* form = Open();
    ASSERT_NE(form, nullptr);
    const auto log = Log();
    ASSERT_EQ(Commands(), (std::vector<int>{ME_OPEN, ME_CALLBACK, ME_RESIZE, ME_TITLE}));
    EXPECT_EQ(log[0].A, Ptr(reinterpret_cast<void*>(TestPanels::IdOf(form->Host))));
    EXPECT_EQ(log[0].B, Ptr(&Slot().Size));
    EXPECT_EQ(log[1].A, Ptr(reinterpret_cast<void*>(&EditorHostCallback)));
    EXPECT_EQ(log[2].A, 300);
    EXPECT_EQ(log[2].B, 200);
    EXPECT_EQ(form->GetClientWidth(), 300);
    EXPECT_EQ(form->GetClientHeight(), 200);
    EXPECT_EQ(form->Caption(), "Test editor");
    EXPECT_TRUE(form->Visible);
    EXPECT_TRUE(Slot().FormVisible);
    EXPECT_EQ(form->GetFormStyle(), fsStayOnTop);

    // Shown again after the user closed it: the title only. While it shows: nothing.
    form->Close();
    EXPECT_FALSE(Slot().FormVisible);
    Open();
    Open();
    EXPECT_EQ(Commands(), (std::vector<int>{ME_OPEN, ME_CALLBACK, ME_RESIZE, ME_TITLE, ME_TITLE}));
    EXPECT_TRUE(form->Visible);

    // Each new size.
    form->SetClientSize(420, 260);
    EXPECT_EQ(Log().back().Cmd, ME_RESIZE);
    EXPECT_EQ(Log().back().A, 420);
    EXPECT_EQ(Log().back().B, 260);
}

TEST_F(EditorPlugins, WithoutAWindowOfTheDisplayThePluginGetsNoOpenCommand) {
    SetPluginPanels(nullptr); // offscreen: no window ids
    TfmEditor* form = Open();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(Commands(), (std::vector<int>{ME_CALLBACK, ME_TITLE}));
    EXPECT_TRUE(Slot().Loaded);
    EXPECT_GT(form->GetClientWidth(), 0) << "the form keeps its own size";
}

TEST_F(EditorPlugins, TheFormIsAPopupWithTheFrameItsStyleAsksFor) {
    const struct {
        int Style;
        bool Caption, Sizeable, Border, SysMenu;
    } cases[] = {
        {0, false, false, false, false},
        {ME_STYLE_SIZEABLE, false, true, false, false},
        {ME_STYLE_BORDER, false, false, true, false},
        {ME_STYLE_SYSMENU, false, false, false, false}, // only with the caption
        {ME_STYLE_CAPTION | ME_STYLE_SYSMENU, true, false, true, true},
    };
    for (const auto& c : cases) {
        TMEditor editor;
        editor.Path = Slot().Path;
        config.WindowStyle = c.Style;
        setup(&config);
        editor.Open(EditorHostCallback);
        TfmEditor* form = EditorForm(editor);
        ASSERT_NE(form, nullptr);
        const auto style = static_cast<DWORD>(GetWindowLongPtr(form->Handle(), GWL_STYLE));
        EXPECT_TRUE(style & WS_POPUP) << c.Style;
        EXPECT_EQ((style & WS_CAPTION) == WS_CAPTION, c.Caption) << c.Style;
        EXPECT_EQ((style & WS_THICKFRAME) != 0, c.Sizeable) << c.Style;
        EXPECT_EQ((style & WS_BORDER) != 0, c.Border) << c.Style;
        EXPECT_EQ((style & WS_SYSMENU) != 0, c.SysMenu) << c.Style;
        EXPECT_TRUE(GetWindowLongPtr(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    }
}

TEST_F(EditorPlugins, TheCaptionIsTheTitleUpToItsFirstZeroOrAll256Bytes) {
    std::memcpy(config.Title, "Arp\0eggio", 10);
    config.TitleBytes = 10;
    EXPECT_EQ(Open()->Caption(), "Arp");

    // The next showing: a title that fills the buffer without a zero.
    EditorForm(Slot())->Close();
    std::memset(config.Title, 'x', sizeof config.Title);
    config.TitleBytes = 300;
    setup(&config);
    EXPECT_EQ(Open()->Caption(), std::string(256, 'x'));
}

// ---- broadcasts ----

TEST_F(EditorPlugins, BroadcastsReachOnlyLoadedPluginsThatAskedForThem) {
    config.Capabilities = ME_WANTS_PART | ME_WANTS_TRANSPORT;
    // Not loaded yet: nothing.
    Song->SetCurrentPart(part);
    EXPECT_TRUE(Log().empty());
    TfmEditor* form = Open();
    const std::size_t opened = Log().size();

    Song->SetCurrentPart(part);
    _TTrack* audio = Song->TrackAt(5);
    audio->Mode = tmAudio;
    _TPart* sample = NewPart("", 0, 960, 5);
    ASSERT_TRUE(InsertPart(audio, sample));
    Song->SetCurrentPart(sample);
    Song->SetCurrentPart(nullptr);
    fmMdi->StartPlayback(false);
    fmMdi->StopPlayback(false);
    EngineBroadcast(ME_CALLBACK);
    EngineBroadcast(ME_AUDIO); // not asked for
    EngineBroadcast(ME_TRACK); // not asked for
    EngineBroadcast(0);
    EngineBroadcast(10);

    auto log = Log();
    log.erase(log.begin(), log.begin() + std::ptrdiff_t(opened));
    std::vector<std::tuple<int, std::intptr_t, std::intptr_t>> got;
    for (const auto& e : log)
        got.emplace_back(e.Cmd, e.A, e.B);
    EXPECT_EQ(got, (std::vector<std::tuple<int, std::intptr_t, std::intptr_t>>{
                       {ME_PART, Ptr(part), 0},
                       {ME_PART, Ptr(sample), 1},
                       {ME_PART, 0, 0},
                       {ME_TRANSPORT, 2, 0},
                       {ME_TRANSPORT, 1, 0},
                   }));
    EXPECT_EQ(blocks(nullptr), 0);
    (void)form;
}

TEST_F(EditorPlugins, AudioBlocksReachAVisibleFormOnlyFromTheDriversThread) {
    config.Capabilities = ME_WANTS_AUDIO;
    OpenAudio();
    EXPECT_EQ(Blocks(3), 3);
    EXPECT_EQ(blocks(nullptr), 0) << "not loaded";
    TfmEditor* form = Open();
    EXPECT_EQ(Blocks(4), 4);
    int frames = 0;
    EXPECT_EQ(blocks(&frames), 4);
    EXPECT_EQ(frames, 512);

    // The user closes the form: no more blocks, and a broadcast of 7 reaches nobody either.
    form->Close();
    EXPECT_EQ(Blocks(4), 4);
    float buffer[8] = {};
    EngineBroadcast(ME_AUDIO, Ptr(buffer), 4);
    EXPECT_EQ(blocks(nullptr), 4);
    Open();
    EngineBroadcast(ME_AUDIO, Ptr(buffer), 4);
    EXPECT_EQ(blocks(&frames), 5);
    EXPECT_EQ(frames, 4);
}

TEST_F(EditorPlugins, BlockBroadcastsRunningWhileTheEngineGoesNeverReachAFreedPlugin) {
    config.Capabilities = ME_WANTS_AUDIO;
    Open();
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        float buffer[8] = {};
        while (!stop) BroadcastEditorBlock(buffer, 4);
    });
    while (blocks(nullptr) < 100) std::this_thread::yield();
    // The song's engine goes (its plug-in told and released) and a new one comes, twice.
    for (int i = 0; i < 2; ++i) {
        DestroyEditorEngine();
        const int after = blocks(nullptr);
        EXPECT_EQ(Log().back().Cmd, ME_DESTROY);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(blocks(nullptr), after);
        CreateEditorEngine();
        BuildEditorSlots();
        setup(&config);
        Slot().Open(EditorHostCallback);
        while (blocks(nullptr) < 50) std::this_thread::yield();
    }
    stop = true;
    audio.join();
}

TEST_F(EditorPlugins, AtTheEndOfTheRunThePluginIsToldBeforeItGoes) {
    Open();
    Quit();
    EXPECT_EQ(Log().back().Cmd, ME_DESTROY);
    EXPECT_EQ(EditorEngine, nullptr);
}

// ---- the host callback ----

TEST_F(EditorPlugins, Operation3GivesTheMainWindowTheFocus) {
    TfmEditor* form = Open();
    SetFocus(form->Handle());
    ASSERT_NE(GetFocus(), fmMdi->Handle());
    EXPECT_EQ(Call(ME_OP_FOCUS), -1);
    EXPECT_EQ(GetFocus(), fmMdi->Handle());
}

TEST_F(EditorPlugins, Operation1RunsTheTransportCommands) {
    Open();
    Song->LeftLocator = 480;
    Song->RightLocator = 1440;
    const struct {
        std::intptr_t B;
        int Position;
    } locates[] = {{-2, 1440}, {-1, 480}, {960, 960}, {-50, 0}, {-4, 1920}, {-3, 0}};
    for (const auto& c : locates) {
        EXPECT_EQ(Call(ME_OP_TRANSPORT, 3, c.B), -1);
        EXPECT_EQ(Song->Position, c.Position) << c.B;
    }
    // Winding steps by the main window's step.
    fmMdi->WindStep = 8;
    Call(ME_OP_TRANSPORT, 3, -5);
    EXPECT_TRUE(fmMdi->Winding);
    EXPECT_EQ(Song->Position, 8 * 60);
    Call(ME_OP_TRANSPORT, 3, -7);
    EXPECT_FALSE(fmMdi->Winding);
    Call(ME_OP_TRANSPORT, 3, -6);
    EXPECT_EQ(Song->Position, 0);
    Call(ME_OP_TRANSPORT, 3, -7);
    EXPECT_FALSE(fmMdi->Winding);

    Call(ME_OP_TRANSPORT, 2);
    EXPECT_EQ(Song->State, 2);
    Call(ME_OP_TRANSPORT, 1);
    EXPECT_EQ(Song->State, 0);
    int punchIns = 0;
    MdiHooks().RecordPunchIn = [&] { ++punchIns; };
    Call(ME_OP_TRANSPORT, 4);
    MdiHooks().RecordPunchIn = nullptr;
    EXPECT_EQ(punchIns, 1);
}

TEST_F(EditorPlugins, Operation2EndsOnlyThePauseItTook) {
    Open();
    // Another pause is in force: the plug-in's is refused, and its resume ends nothing.
    ASSERT_TRUE(fmMdi->PausePlayback());
    EXPECT_EQ(Call(ME_OP_EDIT, 1), -1);
    EXPECT_EQ(Call(ME_OP_EDIT, 2), -1);
    EXPECT_TRUE(Paused);
    fmMdi->ResumePlayback();

    fmMdi->StartPlayback(false);
    EXPECT_EQ(Call(ME_OP_EDIT, 1), 1);
    EXPECT_TRUE(Paused);
    EXPECT_FALSE(RendererFree());
    EXPECT_EQ(Call(ME_OP_EDIT, 2), -1);
    EXPECT_FALSE(Paused);
    EXPECT_EQ(Song->State, 2);
    // A stale WasPlaying does not restart anything.
    fmMdi->StopPlayback(false);
    Call(ME_OP_EDIT, 2);
    EXPECT_EQ(Song->State, 0);
}

TEST_F(EditorPlugins, Operation4SendsOnTheTracksOutputWithOnlyChannelMessagesRechannelled) {
    Open();
    const struct {
        int Channel;
        std::uint32_t Msg;
        std::vector<std::uint8_t> Bytes;
    } cases[] = {
        {4, 0x007F3C92, {0x94, 0x3C, 0x7F}},
        {-1, 0x007F3C92, {0x92, 0x3C, 0x7F}},
        {2, 0x00403C90, {0x92, 0x3C, 0x40}},
        {9, 0x000000F8, {0xF8}}, // a clock stays a clock
        {9, 0x000005C0, {0xC9, 0x05}},
    };
    for (const auto& c : cases) {
        Song->TrackAt(0)->Channel = c.Channel;
        synth.Clear();
        EXPECT_EQ(Call(ME_OP_SEND, c.Msg), -1);
        const auto sent = synth.Sent();
        ASSERT_EQ(sent.size(), 1u) << std::hex << c.Msg;
        EXPECT_EQ(sent[0].Bytes, c.Bytes) << std::hex << c.Msg << " on " << c.Channel;
    }
}

TEST_F(EditorPlugins, Operation5InsertsEveryNodeFromItsPartInsideTheGuard) {
    Open();
    // A 960-tick part with another right behind it.
    _TTrack* t = Song->TrackAt(1);
    _TPart* a = NewPart("A", 0, 960, 1);
    _TPart* b = NewPart("B", 960, 960, 1);
    ASSERT_TRUE(InsertPart(t, a));
    ASSERT_TRUE(InsertPart(t, b));
    const std::uint8_t bytes[] = {0xF0, 0x41, 0xF7};
    TMeEvent sysex{-20, 0x0000F0, 0, nullptr, {bytes}, 3};
    TMeEvent early{100, 0x00403C90, 0, &sysex, {}, 0};
    TMeEvent late{1000, 0x00403E90, 0, &early, {}, 0};
    fmMdi->StartPlayback(false);
    EXPECT_EQ(Call(ME_OP_INSERT, Ptr(a), Ptr(&late)), -1);
    EXPECT_EQ(Ticks(b), (std::vector<int>{1000}));
    EXPECT_EQ(Ticks(a), (std::vector<int>{0, 100}));
    ASSERT_EQ(a->Events->DataLen, 3);
    EXPECT_EQ(std::memcmp(EventBlock(*a->Events), bytes, 3), 0);
    EXPECT_EQ(editors.Invalidates, 1);
    EXPECT_EQ(editors.Scrolls, 1);
    EXPECT_FALSE(Paused);
    EXPECT_EQ(Song->State, 2);

    // A system-exclusive node without bytes gets no block; a value node keeps its value.
    TMeEvent value{0, 0x0001F0, 0, nullptr, {}, 0};
    value.Data.Value = 0x12345678;
    TMeEvent bare{0, 0x0000F0, 0, &value, {nullptr}, 16};
    Call(ME_OP_INSERT, Ptr(a), Ptr(&bare));
    int blocksSeen = 0, values = 0;
    for (const _TEvent* e = a->Events; e; e = e->Next) {
        if (MidiStatus(e->Msg) != 0xF0) continue;
        if (EventBlock(*e)) ++blocksSeen;
        if (EventValue(*e) == 0x12345678) ++values;
    }
    EXPECT_EQ(blocksSeen, 1);
    EXPECT_EQ(values, 1);
}

TEST_F(EditorPlugins, WhileThePluginsOwnPauseHoldsOperations5And6AreRefused) {
    Open();
    Song->SetCurrentPart(part);
    const int events = CountPartEvents(part);
    const std::string caption = Song->UndoStore->Caption;
    ASSERT_EQ(Call(ME_OP_EDIT, 1), 1);
    TMeEvent node{10, 0x00403C90, 0, nullptr, {}, 0};
    EXPECT_EQ(Call(ME_OP_INSERT, Ptr(part), Ptr(&node)), -1);
    EXPECT_EQ(Call(ME_OP_UNDO, 0, Ptr("Arpeggio")), -1);
    Call(ME_OP_EDIT, 2);
    EXPECT_EQ(CountPartEvents(part), events);
    EXPECT_EQ(Song->UndoStore->Caption, caption);
    EXPECT_EQ(editors.Invalidates, 0);
    EXPECT_EQ(editors.Scrolls, 0);
}

TEST_F(EditorPlugins, Operation6OpensAnUndoStepOfTheCurrentPartAndUndoesIt) {
    Open();
    // No current part: no step.
    Song->SetCurrentPart(nullptr);
    EXPECT_EQ(Call(ME_OP_UNDO, 0, Ptr("Arpeggio")), -1);
    EXPECT_NE(Song->UndoStore->Caption, "Undo Arpeggio");

    Song->SetCurrentPart(part);
    const auto before = Ticks(part);
    EXPECT_EQ(Call(ME_OP_UNDO, 0, Ptr("Arpeggio")), 1);
    EXPECT_EQ(Song->UndoStore->Caption, "Undo Arpeggio");
    EXPECT_EQ(Song->UndoStore->Kind, ukEdit);
    ASSERT_EQ(Song->UndoStore->Parts.size(), 1u);
    EXPECT_FALSE(Paused);

    Call(ME_OP_DELETE, Ptr(part), 0);
    EXPECT_EQ(part->Events, nullptr);
    EXPECT_EQ(Call(ME_OP_UNDO, 1), -1);
    _TPart* restored = Song->TrackAt(0)->Parts;
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(Ticks(restored), before);
    EXPECT_FALSE(Paused);
    EXPECT_EQ(Call(ME_OP_UNDO, 2), -1);
}

TEST_F(EditorPlugins, Operation7FreesEventsOnlyWhileNoBlockRuns) {
    Open();
    int held = 0, unheld = 0;
    EditorHostSeams().BeforeDelete = [&] { ++(RendererFree() ? unheld : held); };
    OpenAudio();
    fmMdi->StartPlayback(false);
    Blocks(2);

    // Selected events, in a guard of its own.
    part->Events->Flags |= efSelected;
    const int events = CountPartEvents(part);
    EXPECT_EQ(Call(ME_OP_DELETE, Ptr(part), 1), -1);
    EXPECT_EQ(CountPartEvents(part), events - 1);
    EXPECT_FALSE(Paused);
    EXPECT_EQ(Song->State, 2);

    // Inside the plug-in's own pause of the playing song: no second pause is asked for.
    ASSERT_EQ(Call(ME_OP_EDIT, 1), 1);
    EXPECT_EQ(Call(ME_OP_DELETE, Ptr(part), 0), -1);
    EXPECT_EQ(part->Events, nullptr);
    EXPECT_TRUE(Paused);
    Call(ME_OP_EDIT, 2);
    EXPECT_EQ(held, 2);
    EXPECT_EQ(unheld, 0);
    EXPECT_EQ(Blocks(2), 2);

    // Any other B only repaints; a refused pause deletes nothing.
    const int repaints = editors.Invalidates;
    Call(ME_OP_DELETE, Ptr(part), 5);
    EXPECT_EQ(editors.Invalidates, repaints + 1);
    ASSERT_TRUE(fmMdi->PausePlayback());
    _TPart* other = NewPart("", 1920, 960, 0);
    ASSERT_TRUE(InsertPart(Song->TrackAt(0), other));
    InsertEvent(other, NewEvent(0, 0x00403C90));
    Call(ME_OP_DELETE, Ptr(other), 0);
    EXPECT_NE(other->Events, nullptr);
    fmMdi->ResumePlayback();
    EXPECT_EQ(held, 2);
}

TEST_F(EditorPlugins, Operations5And7RefuseAPartThatIsNotTheSongs) {
    Open();
    _TPart* stray = NewPart("", 0, 960, 0);
    TMeEvent node{10, 0x00403C90, 0, nullptr, {}, 0};
    int pauses = 0;
    EditorHostSeams().BeforeDelete = [&] { ++pauses; };
    for (_TPart* p : {stray, static_cast<_TPart*>(nullptr)}) {
        EXPECT_EQ(Call(ME_OP_INSERT, Ptr(p), Ptr(&node)), -1);
        EXPECT_EQ(Call(ME_OP_DELETE, Ptr(p), 0), -1);
    }
    EXPECT_EQ(stray->Events, nullptr);
    EXPECT_EQ(pauses, 0);
    EXPECT_EQ(editors.Invalidates, 0);
    FreePart(stray);
}

TEST_F(EditorPlugins, Operation8WritesIntoTheRecordingPartAtTheMidiPosition) {
    Open();
    TMeEvent node{5000, 0x00403C90, 0, nullptr, {}, 0};
    // No recording part: nothing.
    EXPECT_EQ(Call(ME_OP_RECORD, Ptr(&node)), -1);
    _TPart* take = NewPart("", 960, 960, 2);
    ASSERT_TRUE(InsertPart(Song->TrackAt(2), take));
    Song->RecordPart = take;
    EXPECT_EQ(Call(ME_OP_RECORD, 0), -1);
    // The position lies before the part: its start.
    Song->Position = 0;
    fmMdi->StartPlayback(false);
    ASSERT_LT(Midi->GetPos(), 960);
    EXPECT_EQ(Call(ME_OP_RECORD, Ptr(&node)), -1);
    EXPECT_EQ(Ticks(take), (std::vector<int>{960}));
    EXPECT_TRUE(RendererFree());
    Song->RecordPart = nullptr;
}

TEST_F(EditorPlugins, Operation9GivesThePositionFromAnyThreadTheOthersOnlyOnTheGuiThread) {
    Open();
    Song->Position = 480;
    EXPECT_EQ(Call(ME_OP_POSITION, 0), 480);
    EXPECT_EQ(Call(ME_OP_POSITION, 1), 1000);
    EXPECT_EQ(Call(ME_OP_POSITION, 2), 0);
    Midi->SetTempo(60);
    EXPECT_EQ(Call(ME_OP_POSITION, 1), 2000);
    for (int op : {0, 10, -1})
        EXPECT_EQ(Call(op), -1);

    std::int32_t position = 0, send = 0;
    synth.Clear();
    std::thread([&] {
        position = Call(ME_OP_POSITION, 0);
        send = Call(ME_OP_SEND, 0x00403C90);
    }).join();
    EXPECT_EQ(position, 480);
    EXPECT_EQ(send, -1);
    EXPECT_EQ(synth.Count(), 0u);
}

} // namespace
