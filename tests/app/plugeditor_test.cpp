// The plug-in editor window in the started program, offscreen: the generic page of the example
// instrument, editors of fake plug-ins in panels with made-up display ids, roll-up, faders,
// the LED, the title bar's pixels, the bank and program files of its menu, and a program
// change while the scripted driver plays.
#include "app_fixture.h"
#include "transport_fixture.h"

#include "devices/fxbank.h"
#include "devices/mfx.h"
#include "devices/ui/uplugeditor.h"
#include "devices/ui/upluginsearch.h"
#include "platform/core/files.h"
#include "platform/menus/menus.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/subengine.h"
#include "song/timebase.h"
#include "support/fake_library.h"
#include "support/test_panels.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace platform;

namespace {

const std::string kBin = TOLVERN_BIN_DIR;

// A VST plug-in with or without an editor of Rect's size and Programs programs ("edvst").
struct EditorVst {
    AEffect E{};
    ERect Rect{0, 0, 300, 400};
    void* Parent = nullptr; // effEditOpen's ptr
    int Program = 0, Opens = 0;
    float Values[2] = {0.5f, 0.5f};
    bool ChunkWithoutAddress = false; // effGetChunk names 100 bytes but no address

    explicit EditorVst(bool Editor, int Programs) {
        E.magic = kEffectMagic;
        E.dispatcher = [](AEffect* e, std::int32_t op, std::int32_t, VstIntPtr value, void* ptr,
                          float) -> VstIntPtr {
            EditorVst* f = Self(e);
            if (op == effEditOpen) {
                f->Parent = ptr;
                ++f->Opens;
            }
            if (op == effEditGetRect) *static_cast<ERect**>(ptr) = &f->Rect;
            if (op == effSetProgram) f->Program = static_cast<int>(value);
            if (op == effGetProgram) return f->Program;
            if (op == effGetProgramName) std::strcpy(static_cast<char*>(ptr), "Init");
            if (op == effGetChunk && f->ChunkWithoutAddress) {
                *static_cast<void**>(ptr) = nullptr;
                return 100;
            }
            return 0;
        };
        E.setParameter = [](AEffect* e, std::int32_t i, float v) { Self(e)->Values[i] = v; };
        E.getParameter = [](AEffect* e, std::int32_t i) { return Self(e)->Values[i]; };
        E.numParams = 2;
        E.numPrograms = Programs;
        E.numOutputs = 2;
        E.uniqueID = 77;
        E.flags = effFlagsCanReplacing | (Editor ? effFlagsHasEditor : 0);
        E.object = this;
        Current = this;
    }
    ~EditorVst() { Current = nullptr; }
    static EditorVst* Self(AEffect* e) { return static_cast<EditorVst*>(e->object); }
    static inline EditorVst* Current = nullptr;
    static AEffect* Main(audioMasterCallback) { return Current ? &Current->E : nullptr; }
    FakeLibrary Library{"edvst", {{"main", FakeLibrary::Entry(&Main)}}};
};

// An own-interface plug-in whose editor wants 300 x 200 ("edmfx").
struct EditorMfx {
    TMfxInterface R{};
    std::intptr_t Parent = 0; // command 4's A
    EditorMfx() {
        R.Command = [](TMfxInterface* r, std::int32_t cmd, intptr_t a, intptr_t b) -> intptr_t {
            if (cmd != MFX_EDITOR) return 0;
            reinterpret_cast<EditorMfx*>(r)->Parent = a;
            auto* size = reinterpret_cast<std::int32_t*>(b);
            size[0] = 300;
            size[1] = 200;
            return 0;
        };
        Current = this;
    }
    ~EditorMfx() { Current = nullptr; }
    static inline EditorMfx* Current = nullptr;
    static TMfxInterface* Connect() { return Current ? &Current->R : nullptr; }
    FakeLibrary Library{"edmfx", {{"MFXConnect", FakeLibrary::Entry(&Connect)}}};
};

class PlugEditor : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_TRUE(Start());
    }
    TSoftsynthEditor* ShowSynth(const std::string& Path) {
        TSoftItem* item = SoftEngine->AddSoftsynth(Path);
        EXPECT_NE(item->Editor, nullptr);
        item->Editor->Show();
        gui.Pump();
        return item->Editor;
    }
    // An item of the title bar or the page by name, nullptr when there is none.
    static TXGuiBase* Item(TSoftsynthEditor* E, const std::string& Name) {
        for (TXGuiScroll* area : {E->TitleBar, E->ParamPage})
            for (TXGuiBase* i : area ? area->Children : std::vector<TXGuiBase*>{})
                if (i->Name == Name) return i;
        return nullptr;
    }
    // A point of an item on the screen, dx and dy inside it.
    TPoint At(TSoftsynthEditor* E, TXGuiBase* I, int dx = 2, int dy = 2) {
        return gui.At(E->Frame->Handle(), I->AbsX() + dx, I->AbsY() + dy);
    }
    std::uint32_t Pixel(TSoftsynthEditor* E, int X, int Y) {
        return gui.Pixel(E->Frame->Handle(), X, Y);
    }
    static TRect Rect(HWND H) {
        TRect r;
        GetWindowRect(H, &r);
        return r;
    }
    // A bitmap's pixel as the screen shows it (0xRRGGBB).
    // The fakes outlive the program, which unloads them when it closes.
    EditorVst& Vst(bool Editor, int Programs) {
        vst_ = std::make_unique<EditorVst>(Editor, Programs);
        return *vst_;
    }
    EditorMfx& Mfx() {
        mfx_ = std::make_unique<EditorMfx>();
        return *mfx_;
    }
    TestPanels& Panels() {
        panels_ = std::make_unique<TestPanels>();
        return *panels_;
    }
    std::unique_ptr<TestPanels> panels_;
    std::unique_ptr<EditorVst> vst_;
    std::unique_ptr<EditorMfx> mfx_;
    static std::uint32_t Rgb(TBitmap& B, int X, int Y) {
        const TColor c = B.Canvas().Pixel(X, Y);
        return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
    }
};

TEST_F(PlugEditor, TheExampleInstrumentsGenericPage) {
    TSoftsynthEditor* e = ShowSynth(kBin + "/synth/tvsynth.so");
    ASSERT_TRUE(e->Plugin->Loaded);
    ASSERT_FALSE(e->Plugin->HasEditor); // offscreen: no display window for its own editor
    ASSERT_NE(e->Gui, nullptr);
    const int barWidth = e->TitleBar->W;
    EXPECT_EQ(barWidth, e->GetWidth() - 4);
    struct Place {
        const char* Name;
        int X, Y, W, H;
    };
    const Place title[] = {{"Led", 1, 1, 16, 16},
                           {"Prior", 17, 1, 16, 16},
                           {"Next", 33, 1, 16, 16},
                           {"Drag", 49, 1, barWidth - 19 - 2 - 49, 16},
                           {"Close", barWidth - 19, 1, 18, 16}};
    for (const Place& p : title) {
        SCOPED_TRACE(p.Name);
        TXGuiBase* i = Item(e, p.Name);
        ASSERT_NE(i, nullptr);
        EXPECT_EQ(std::vector<int>({i->X, i->Y, i->W, i->H}),
                  std::vector<int>({p.X, p.Y, p.W, p.H}));
    }
    ASSERT_NE(e->ParamPage, nullptr);
    EXPECT_EQ(e->ParamPage->Y, 18);
    EXPECT_EQ(e->ParamPage->H, e->Frame->GetHeight() - 18);
    ASSERT_EQ(e->ParamPage->Children.size(), 6u); // Volume, Wave, Release
    for (int n = 0; n < 3; ++n) {
        TXGuiBase* label = e->ParamPage->Children[2 * n];
        TXGuiBase* fader = e->ParamPage->Children[2 * n + 1];
        EXPECT_EQ(label->Name, "FxLabel" + std::to_string(n));
        EXPECT_EQ(label->Tag, n);
        EXPECT_EQ(label->Y, 32 * n);
        EXPECT_EQ(fader->Name, "FxFader");
        EXPECT_EQ(fader->Tag, reinterpret_cast<std::intptr_t>(label));
        EXPECT_EQ(fader->Y, 32 * n + 16);
        EXPECT_EQ(label->W, e->ParamPage->W - 16);
        EXPECT_EQ(fader->W, e->ParamPage->W - 16);
    }
    // Program buttons: "Prior" at the first program and "Next" at the last do nothing.
    EXPECT_EQ(e->TitleText(), "tvsynth - 01 Soft Sine");
    gui.Click(At(e, Item(e, "Prior")));
    EXPECT_EQ(e->Plugin->Dispatch(effGetProgram), 0);
    gui.Click(At(e, Item(e, "Next")));
    gui.Click(At(e, Item(e, "Next")));
    EXPECT_EQ(e->TitleText(), "tvsynth - 03 Long Sine");
    gui.Click(At(e, Item(e, "Next")));
    gui.Click(At(e, Item(e, "Next")));
    EXPECT_EQ(e->Plugin->Dispatch(effGetProgram), 3);
    gui.SavePng(e->Handle, "plugeditor-tvsynth.png");
}

TEST_F(PlugEditor, OneProgramHasNoProgramButtons) {
    Vst(false, 1);
    TSoftsynthEditor* e = ShowSynth("edvst");
    EXPECT_EQ(Item(e, "Prior"), nullptr);
    EXPECT_EQ(Item(e, "Next"), nullptr);
    ASSERT_NE(Item(e, "Drag"), nullptr);
    EXPECT_EQ(Item(e, "Drag")->X, 17);
    EXPECT_EQ(e->TitleText(), "edvst"); // one program: the name alone
}

TEST_F(PlugEditor, OwnEditorsOpenInPanelsWithTheirDisplayIds) {
    TestPanels& panels = Panels();
    EditorVst& vst = Vst(true, 4);
    EditorMfx& mfx = Mfx();
    {
        // A VST editor under the title bar: its rectangle's size plus the frame and the bar.
        TSoftsynthEditor* e = ShowSynth("edvst");
        ASSERT_TRUE(e->Plugin->HasEditor);
        EXPECT_EQ(e->GetWidth(), 404);
        EXPECT_EQ(e->GetHeight(), 322);
        const TRect win = Rect(e->Handle), panel = Rect(e->PluginPanel);
        EXPECT_EQ(panel.Left - win.Left, 2);
        EXPECT_EQ(panel.Top - win.Top, 20);
        EXPECT_EQ(panel.Width(), 400);
        EXPECT_EQ(panel.Height(), 300);
        EXPECT_TRUE(IsWindowVisible(e->PluginPanel));
        ASSERT_GE(panels.Log.size(), 2u);
        EXPECT_EQ(panels.Log[0], "create " + std::to_string(e->PluginPanel));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(vst.Parent),
                  TestPanels::IdOf(e->Plugin->EditorPanel));
        EXPECT_EQ(vst.Opens, 1);
        EXPECT_EQ(e->TitleBar->W, 400);
        // The menu of bank and program files, VST plug-ins only.
        std::vector<std::string> items;
        for (int i = 0; i < e->Menu->Items->Count(); ++i)
            items.push_back(e->Menu->Items->Items(i)->Caption);
        EXPECT_EQ(items, (std::vector<std::string>{"Open fxb...", "Save fxb...", "-", "Open fxp...",
                                                   "Save fxp..."}));
        e->Hide();
        e->Show(); // built once: no second open
        EXPECT_EQ(vst.Opens, 1);
    }
    {
        // A softsynth's own-interface editor alone fills a frameless window of its size.
        TSoftsynthEditor* e = ShowSynth("edmfx");
        ASSERT_TRUE(e->Plugin->HasEditor);
        EXPECT_EQ(static_cast<std::uintptr_t>(mfx.Parent), TestPanels::IdOf(e->EditorParentWnd()));
        EXPECT_FALSE(e->Framed);
        EXPECT_EQ(e->Frame, nullptr);
        EXPECT_EQ(e->GetWidth(), 300);
        EXPECT_EQ(e->GetHeight(), 200);
        const TRect host = Rect(e->EditorParentWnd());
        EXPECT_EQ(host.Width(), 300);
        EXPECT_EQ(host.Height(), 200);
        EXPECT_TRUE(e->Menu->Items->Count() == 0);
    }
    {
        // A bus effect's own-interface editor is built in the panel under the title bar.
        TSub* sub = SubEngine->AddSub(skGroupEffect, "edmfx", -1);
        ASSERT_TRUE(sub->Plugin->HasEditor);
        EXPECT_EQ(static_cast<std::uintptr_t>(mfx.Parent),
                  TestPanels::IdOf(sub->Editor->PluginPanel));
        sub->Editor->Show();
        EXPECT_EQ(sub->Editor->GetWidth(), 304);
        EXPECT_EQ(sub->Editor->GetHeight(), 222);
        Song->RunTodos();
    }
}

TEST_F(PlugEditor, RollUpKeepsTheSizeForUnrolling) {
    TSoftsynthEditor* e = ShowSynth(kBin + "/synth/tvsynth.so");
    e->SetWidth(300);
    e->SetHeight(200);
    e->BoundsChanged();
    gui.Pump();
    TXGuiBase* drag = Item(e, "Drag");
    gui.Click(At(e, drag, 20, 8));
    gui.Click(At(e, drag, 20, 8)); // a double click
    ASSERT_TRUE(e->RolledUp);
    EXPECT_EQ(e->GetWidth(), 128);
    EXPECT_EQ(e->GetHeight(), 22);
    EXPECT_EQ(e->TitleBar->W, 124);
    EXPECT_EQ(Item(e, "Close")->X, 124 - 19);
    gui.Click(At(e, drag, 20, 8));
    gui.Click(At(e, drag, 20, 8));
    ASSERT_FALSE(e->RolledUp);
    EXPECT_EQ(e->GetWidth(), 300);
    EXPECT_EQ(e->GetHeight(), 200);
    e->SetRolledUp(true);
    e->SetRolledUp(true); // the same again: nothing
    e->SetWidth(400);
    EXPECT_EQ(e->GetWidth(), 128);
    e->SetRolledUp(false);
    EXPECT_EQ(e->GetWidth(), 400);
    EXPECT_EQ(e->GetHeight(), 200);
    // The song file keeps the unrolled size of a rolled-up window.
    TSoftItem* item = SoftEngine->GetItem(0);
    e->SetRolledUp(true);
    const TEditorPlacement p = SoftsynthWindows().Placement(*item);
    EXPECT_TRUE(p.RolledUp);
    EXPECT_EQ(p.Width, 400);
    EXPECT_EQ(p.Height, 200);
}

// The song file keeps a softsynth's window: shown again after loading, rolled up, with the size
// it unrolls to and its place.
TEST_F(PlugEditor, TheSongKeepsTheWindow) {
    ::TempDir dir;
    TSoftsynthEditor* e = ShowSynth(kBin + "/synth/tvsynth.so");
    e->SetLeft(300);
    e->SetTop(250);
    e->SetWidth(400);
    e->SetHeight(200);
    e->SetRolledUp(true);
    const std::string file = dir.Path() + "window.seq";
    ASSERT_TRUE(SaveSongFile(file));
    // The song names the instrument by the build's path, outside the program's softsynth
    // folder: the plug-in search is cancelled, and the softsynth still keeps its window.
    gui.OnModal("Plug-ins", [](HWND) { fmPluginSearch->ModalResult = mrCancel; });
    ASSERT_TRUE(LoadSongFile(file));
    gui.Pump();
    ASSERT_EQ(SoftEngine->Count(), 1);
    TSoftsynthEditor* back = SoftEngine->GetItem(0)->Editor;
    EXPECT_TRUE(IsWindowVisible(back->Handle));
    EXPECT_TRUE(back->RolledUp);
    EXPECT_EQ(back->GetLeft(), 300);
    EXPECT_EQ(back->GetTop(), 250);
    EXPECT_EQ(back->GetHeight(), 22);
    back->SetRolledUp(false);
    EXPECT_EQ(back->GetWidth(), 400);
    EXPECT_EQ(back->GetHeight(), 200);
}

TEST_F(PlugEditor, FadersShowAndSetTheParameters) {
    TSoftsynthEditor* e = ShowSynth(kBin + "/synth/tvsynth.so");
    e->Plugin->SetParameter(2, 0.125);
    e->UserMessage(0);
    gui.Pump();
    auto* release = AsXGuiFader(e->ParamPage->Children[5]);
    EXPECT_EQ(release->Pos, 12); // 12.5 to the even neighbour
    // The knob stands at its share of the fader's free width.
    TBitmap& knob = fmMdi->imgKnob;
    const int kx = release->AbsX() + Round((release->W - knob.Width()) * 0.12);
    const int ky = release->AbsY() + (release->H - knob.Height()) / 2;
    EXPECT_EQ(Pixel(e, kx + 5, ky + 5), Rgb(knob, 5, 5));
    EXPECT_EQ(Pixel(e, kx - 1, ky + 5), 0u); // black beside it
    // A press at 73 % of the width sends 0.73, and the label's value follows.
    auto* volume = AsXGuiFader(e->ParamPage->Children[1]);
    int x = 0;
    while (Round(double(x) / volume->W * 100) < 73)
        ++x;
    gui.Click(At(e, volume, x, 8));
    EXPECT_EQ(volume->Pos, 73);
    EXPECT_FLOAT_EQ(static_cast<float>(e->Plugin->GetParameter(0)), 0.73f);
    std::string shown;
    e->Plugin->GetParamDisplay(0, shown);
    EXPECT_EQ(shown, "73");
}

TEST_F(PlugEditor, TheLedSwitchesABusEffectAndTellsItsStrip) {
    TSub* sub = SubEngine->AddSub(skGroupEffect, kBin + "/fx/tvgain.so", -1);
    Song->RunTodos();
    ASSERT_TRUE(sub->Plugin->Loaded);
    sub->Plugin->Enabled = 0; // bypassed
    // A window standing in for the bus's mixer strip.
    static std::vector<std::pair<WPARAM, LPARAM>> told;
    told.clear();
    WNDCLASS wc;
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER) told.push_back({w, l});
        return DefWindowProc(h, m, w, l);
    };
    wc.lpszClassName = "TvStripStandIn";
    RegisterClass(wc);
    HWND strip = CreateWindowEx(0, "TvStripStandIn", "", WS_POPUP, 0, 0, 10, 10, 0);
    TSoftsynthEditor* e = sub->Editor;
    e->NotifyWnd = strip;
    e->Show();
    gui.Pump();
    TXGuiBase* led = Item(e, "Led");
    const int lx = led->AbsX() + 2, ly = led->AbsY() + 2; // the LED picture's top-left
    EXPECT_EQ(Pixel(e, lx + 6, ly + 6), Rgb(fmMdi->imgLedOff2, 6, 6));
    gui.Click(At(e, led, 8, 8));
    gui.Pump();
    EXPECT_EQ(sub->Plugin->Enabled.load(), 1);
    EXPECT_EQ(told, (std::vector<std::pair<WPARAM, LPARAM>>{{1, 0}}));
    EXPECT_EQ(Pixel(e, lx + 6, ly + 6), Rgb(fmMdi->imgLedOn2, 6, 6));
    EXPECT_NE(Rgb(fmMdi->imgLedOn2, 6, 6), Rgb(fmMdi->imgLedOff2, 6, 6));
    DestroyWindow(strip);
}

TEST_F(PlugEditor, TitleBarPixels) {
    TSoftsynthEditor* e = ShowSynth(kBin + "/synth/tvsynth.so");
    TXGuiBase* close = Item(e, "Close");
    auto check = [&](int o) {
        SCOPED_TRACE(o);
        const int left = close->AbsX(), top = close->AbsY();
        const int cx = left + close->W / 2 + o, cy = top + close->H / 2 + o;
        for (int x = cx - 5; x < cx + 5; ++x)
            EXPECT_EQ(Pixel(e, x, cy - 2), 0xFFFFFFu) << x;
        EXPECT_EQ(Pixel(e, cx - 6, cy - 2), 0u);
        EXPECT_EQ(Pixel(e, cx, cy - 3), 0u);
        for (int x = cx - 3; x < cx + 3; ++x)
            EXPECT_EQ(Pixel(e, x, cy), 0xFFFFFFu) << x;
        EXPECT_EQ(Pixel(e, cx - 1, cy + 2), 0xFFFFFFu);
        EXPECT_EQ(Pixel(e, cx + 1, cy + 2), 0u);
        for (int y = top + 3; y < top + close->H - 3; ++y)
            EXPECT_EQ(Pixel(e, left, y), 0x808080u) << y;
    };
    check(0);
    gui.Press(At(e, close, 4, 4));
    gui.Pump();
    check(1);
    gui.Release(At(e, close, 4, 4));
    gui.Pump();
    EXPECT_FALSE(IsWindowVisible(e->Handle)); // the click closed it
    EXPECT_FALSE(e->Visible);
}

// The title bar menu's four files on the example instrument (chunks) and a parameter plug-in.
TEST_F(PlugEditor, BankAndProgramFilesThroughTheMenu) {
    ::TempDir dir;
    TSoftsynthEditor* e = ShowSynth(kBin + "/synth/tvsynth.so");
    const std::string bank = dir.Path() + "state.fxb";
    gui.Dialogs().SaveFile(bank);
    e->SaveBankClick();
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(bank, bytes));
    ASSERT_GE(bytes.size(), 160u);
    EXPECT_EQ(bytes.substr(0, 4), "CcnK");
    EXPECT_EQ(bytes.substr(8, 4), "FBCh");
    const auto request = gui.Dialogs().FileDialogs().back();
    EXPECT_EQ(request.Title, "Save Bank");
    EXPECT_EQ(request.Filter, "Bank (*.fxb)|*.fxb");
    EXPECT_EQ(request.DefaultExt, "fxb");

    // Another plug-in's program file: said twice for a chunk plug-in, ids in decimal.
    const std::string other = dir.WriteFile("other.fxp", [] {
        std::string f(60, '\0');
        std::memcpy(f.data(), "CcnK", 4);
        f[19] = 9; // id 9
        return f;
    }());
    gui.Dialogs().OpenFile(other).Answer(IDOK).Answer(IDOK);
    e->OpenProgramClick();
    const auto boxes = gui.Dialogs().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Text, "Plugin id doesn't match id in file");
    EXPECT_EQ(boxes[0].Caption, "Open fxb");
    EXPECT_EQ(boxes[0].Icon, MB_ICONINFORMATION);
    EXPECT_EQ(boxes[1].Text, "9\n" + std::to_string(e->Plugin->Effect->uniqueID));
    EXPECT_EQ(gui.Dialogs().FileDialogs().back().Title, "Open Program");

    // A cut-off bank is refused with a message; a cancelled dialog does nothing.
    const std::string cut = dir.WriteFile("cut.fxb", bytes.substr(0, 150));
    gui.Dialogs().OpenFile(cut).Answer(IDOK, "nothing was loaded");
    e->OpenBankClick();
    gui.Dialogs().OpenFile("");
    e->OpenBankClick();

    // Not loaded: an empty file.
    e->Plugin->Unload();
    const std::string empty = dir.Path() + "empty.fxp";
    gui.Dialogs().SaveFile(empty);
    e->SaveProgramClick();
    ASSERT_TRUE(ReadWholeFile(empty, bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(PlugEditor, AParameterBankRefreshesTheFaders) {
    ::TempDir dir;
    EditorVst& vst = Vst(false, 2);
    TSoftsynthEditor* e = ShowSynth("edvst");
    const std::string file = dir.Path() + "values.fxb";
    gui.Dialogs().SaveFile(file);
    e->SaveBankClick();
    vst.Values[1] = 0.0f;
    e->RefreshParams();
    EXPECT_EQ(AsXGuiFader(e->ParamPage->Children[3])->Pos, 0);
    vst.Program = 1;
    gui.Dialogs().OpenFile(file);
    e->OpenBankClick();
    EXPECT_EQ(vst.Program, 0); // a loaded bank selects program 0
    EXPECT_EQ(AsXGuiFader(e->ParamPage->Children[3])->Pos, 50);
}

TEST_F(PlugEditor, AChunkWithoutAnAddressWritesNothing) {
    ::TempDir dir;
    EditorVst& vst = Vst(false, 2);
    vst.E.flags |= effFlagsProgramChunks;
    vst.ChunkWithoutAddress = true;
    TSoftsynthEditor* e = ShowSynth("edvst");
    const std::string file = dir.Path() + "nothing.fxp";
    gui.Dialogs().SaveFile(file).Answer(IDOK, "no file was written");
    e->SaveProgramClick();
    EXPECT_FALSE(std::filesystem::exists(file));
}

// The page's scroll bar: silver buttons and thumb when the faders do not fit, grey arrows alone
// when they do.
TEST_F(PlugEditor, ThePagesScrollBar) {
    Vst(false, 2);
    TSoftsynthEditor* e = ShowSynth("edvst");
    TXGuiScrollbar2* bar = e->ParamPage->Scrollbar.get();
    auto at = [&](int x, int y) {
        return Pixel(e, e->ParamPage->AbsX() + bar->X + x, e->ParamPage->AbsY() + y);
    };
    EXPECT_EQ(bar->ThumbLength, 0);
    EXPECT_EQ(at(2, 2), 0u); // no button face, only the arrow
    e->SetHeight(60);
    e->BoundsChanged();
    gui.Pump();
    ASSERT_GT(bar->ThumbLength, 0);
    EXPECT_EQ(at(2, 2), 0xC0C0C0u);                   // the up button
    EXPECT_EQ(at(2, e->ParamPage->H - 3), 0xC0C0C0u); // the down button
    EXPECT_EQ(at(0, bar->ThumbPos()), 0xFFFFFFu);     // the thumb's light edge
}

// With the scripted driver playing, a softsynth's program goes over at the next block, and the
// title follows once the block has told the window.
class PlugEditorPlaying : public transporttest::TransportFixture {};

TEST_F(PlugEditorPlaying, AProgramChangeGoesWithTheNextBlock) {
    TSoftItem* item = SoftEngine->AddSoftsynth(kBin + "/synth/tvsynth.so");
    TSoftsynthEditor* e = item->Editor;
    e->Show();
    gui.Pump();
    OpenAudio();
    fmMdi->StartPlayback(false);
    Blocks(1);
    gui.Pump();
    ASSERT_EQ(Song->State.load(), 2);
    TXGuiBase* next = nullptr;
    for (TXGuiBase* i : e->TitleBar->Children)
        if (i->Name == "Next") next = i;
    ASSERT_NE(next, nullptr);
    gui.Click(gui.At(e->Frame->Handle(), next->AbsX() + 4, next->AbsY() + 4));
    gui.Pump();
    EXPECT_EQ(item->Plugin->Dispatch(effGetProgram), 0); // not yet
    EXPECT_EQ(e->DragItem->Caption, "tvsynth - 01 Soft Sine");
    Blocks(1);
    EXPECT_EQ(item->Plugin->Dispatch(effGetProgram), 1);
    gui.Pump(); // the block's WM_USER 0 repaints the title
    EXPECT_EQ(e->DragItem->Caption, "tvsynth - 02 Bright Saw");
    fmMdi->StopPlayback(false);
}

} // namespace
