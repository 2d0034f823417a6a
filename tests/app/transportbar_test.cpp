// The transport bar, headless: its layout, its fields read back as pixels, its menus and
// mouse, and its settings.
#include "app/transportbar.h"
#include "app_fixture.h"

#include "devices/audio.h"
#include "devices/midi.h"
#include "gui/leds.h"
#include "platform/gdi/graphics.h"
#include "platform/window/window.h"
#include "song/song.h"

using namespace platform;

namespace {

class TransportBar : public AppTest {
protected:
    void TearDown() override {
        AppTest::TearDown();
        MdiHooks() = TMdiHooks{};
    }
    void Start() { ASSERT_TRUE(AppTest::Start()); }
    HWND Bar() { return fmMdi->panelTransporter->Handle(); }
    // What the text renderer draws for Text in a field Width wide, as the bar's colours give.
    Surface Rendered(std::string_view Text, unsigned Flags, int Width) {
        TMidiPos pos(fmMdi->panelTransporter->Color, fmMdi->panelSongName->Font.Color, 90, 16);
        TBitmap b;
        b.SetSize(Width, 16);
        pos.DrawText(0, 0, b.Canvas().Handle(), Text, Flags, Width);
        Surface s(Width, 16, 0);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < Width; ++x)
                s.Row(y)[x] = b.Pixels().Row(y)[x] & 0xFFFFFF;
        return s;
    }
    // The field shows Text: its 16 text rows, 2 below its top, against the renderer's own.
    void ExpectText(TPaintBox* Field, std::string_view Text, unsigned Flags = 0) {
        SCOPED_TRACE(std::string(Text));
        const Surface want = Rendered(Text, Flags, Field->Width);
        const Surface got = gui.Capture(Bar());
        int differ = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < Field->Width; ++x)
                differ +=
                    (got.Row(Field->Top + 2 + y)[Field->Left + x] & 0xFFFFFF) != want.Row(y)[x];
        EXPECT_EQ(differ, 0) << Field->Name;
    }
    std::string Setting(std::string_view Key) { return AppTest::Setting("Transporter", Key); }
};

TEST_F(TransportBar, DefaultLayoutAndWhatHidingMoves) {
    Start();
    TfmMdi& m = *fmMdi;
    EXPECT_TRUE(m.panelTransporter->Visible);
    EXPECT_EQ(m.panelTransporter->Align, alTop);
    EXPECT_EQ(m.panelTransporter->Height, 27);
    EXPECT_EQ(m.panelTransporter->Width, m.GetClientWidth());
    // The MDI client area starts below the docked bar.
    TRect client{};
    GetWindowRect(m.ClientHandle(), &client);
    EXPECT_EQ(m.ScreenToClient(TPoint{client.Left, client.Top}).Y, 27);

    struct Field {
        TPaintBox* box;
        int left, leftWithoutLed;
    };
    const Field fields[] = {
        {m.paintTransp, 84, 76}, {m.paintLoop, 229, 229}, {m.paintBeep, 254, 254},
        {m.paintVU, 279, 271},   {m.paintPos, 367, 359},  {m.paintCPU, 440, 432},
    };
    for (const Field& f : fields)
        EXPECT_EQ(f.box->Left, f.left) << f.box->Name;
    EXPECT_FALSE(m.paintTimeSig->Visible);
    EXPECT_FALSE(m.paintLeft->Visible);
    EXPECT_FALSE(m.paintRight->Visible);
    EXPECT_EQ(m.paintRight->Left - m.paintLeft->Left, 73);

    fmMdi->VU->PeakL = 0.5f;
    fmMdi->VU->PeakR = 0.3f;
    gui.Advance(50);
    gui.SavePng(fmMdi->Handle(), "transport-bar.png");
    m.PopupTransp->Items->Items(0)->Click(); // "MIDI led"
    EXPECT_FALSE(m.paintMidiLed->Visible);
    for (const Field& f : fields)
        EXPECT_EQ(f.box->Left, f.leftWithoutLed) << f.box->Name;

    // The bar's colour around the fields, and the built-in images: Stop lit while stopped.
    gui.Pump();
    EXPECT_EQ(gui.Pixel(Bar(), 500, 1), 0xCCCCCCu);
    const Surface got = gui.Capture(Bar());
    TBitmap stopActive, playNormal;
    fmMdi->images().GetBitmap(3, stopActive);
    fmMdi->images().GetBitmap(0, playNormal);
    int differ = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const int top = m.paintTransp->Top, left = m.paintTransp->Left;
            differ += (got.Row(top + y)[left + 20 + x] & 0xFFFFFF) !=
                      (stopActive.Pixels().Row(y)[x] & 0xFFFFFF);
            differ += (got.Row(top + y)[left + x] & 0xFFFFFF) !=
                      (playNormal.Pixels().Row(y)[x] & 0xFFFFFF);
        }
    EXPECT_EQ(differ, 0);
}

TEST_F(TransportBar, AFloatingBarIsAsWideAsWhatItShows) {
    settings.WriteIni("[Transporter]\nDock=0\nLeft=30\nTop=40\nTimeSig=1\nLocators=1\n");
    Start();
    TfmMdi& m = *fmMdi;
    EXPECT_EQ(m.panelTransporter->Align, alNone);
    EXPECT_EQ(m.panelTransporter->Left, 30);
    EXPECT_EQ(m.panelTransporter->Top, 40);
    EXPECT_EQ(m.paintCPU->Left, 615);
    EXPECT_EQ(m.panelTransporter->Width, 615 + 60 + 8);
    for (int i : {0, 1, 2, 3, 4, 5}) // every visibility item
        m.PopupTransp->Items->Items(i)->Click();
    EXPECT_FALSE(m.paintCPU->Visible);
    EXPECT_EQ(m.panelTransporter->Width, 282);

    // Dock and float again: the floating bar comes back at 100, 100.
    TMenuItem* dock = nullptr;
    for (int i = 0; i < m.PopupTransp->Items->Count(); ++i)
        if (m.PopupTransp->Items->Items(i)->Caption == "Dock")
            dock = m.PopupTransp->Items->Items(i);
    ASSERT_NE(dock, nullptr);
    m.PopupTransp->OnPopup(m.PopupTransp.get());
    EXPECT_FALSE(dock->Checked);
    dock->Click();
    EXPECT_EQ(m.panelTransporter->Align, alTop);
    m.PopupTransp->OnPopup(m.PopupTransp.get());
    EXPECT_TRUE(dock->Checked);
    dock->Click();
    EXPECT_EQ(m.panelTransporter->Left, 100);
    EXPECT_EQ(m.panelTransporter->Top, 100);
    EXPECT_EQ(m.panelTransporter->Width, 282);

    // Dragged by the cursor's movement, by the name or by the bar between its fields.
    gui.Drag(gui.At(Bar(), 5, 5), gui.At(Bar(), 45, 25));
    EXPECT_EQ(m.panelTransporter->Left, 140);
    EXPECT_EQ(m.panelTransporter->Top, 120);
    EXPECT_EQ(m.panelTransporter->Tag, 0);
    gui.Drag(gui.At(Bar(), 251, 1), gui.At(Bar(), 241, 11));
    EXPECT_EQ(m.panelTransporter->Left, 130);
    EXPECT_EQ(m.panelTransporter->Top, 130);
}

TEST_F(TransportBar, PopupChecksFollowTheFields) {
    settings.WriteIni("[Transporter]\nLocators=1\nCPU=0\n");
    Start();
    TfmMdi& m = *fmMdi;
    m.paintRight->Visible = false; // one locator alone does not check "Locators"
    m.PopupTransp->OnPopup(m.PopupTransp.get());
    std::string checked;
    for (int i = 0; i < m.PopupTransp->Items->Count(); ++i)
        if (m.PopupTransp->Items->Items(i)->Checked)
            checked += m.PopupTransp->Items->Items(i)->Caption + ";";
    EXPECT_EQ(checked, "MIDI led;Audio VU;Song position/time;Dock;");
}

TEST_F(TransportBar, TextsOfTheFields) {
    settings.WriteIni("[Transporter]\nTimeSig=1\nLocators=1\n");
    Start();
    TfmMdi& m = *fmMdi;
    ExpectText(m.paintPos, "0001:01:000");
    ExpectText(m.paintTimeSig, "4/4", 1);
    Song->LeftLocator = 960;
    Song->RightLocator = 3 * 960 + 240 + 5;
    PaintLeftLocator();
    PaintRightLocator();
    ExpectText(m.paintLeft, "L:0002:01:000");
    ExpectText(m.paintRight, "R:0004:02:005");

    CpuLoad = 7;
    gui.Advance(50);
    ExpectText(m.paintCPU, "CPU 07%", 1);

    // A click on the position field switches to time: 75 s at 120 BPM.
    Song->Position = 36000;
    gui.Click(gui.At(Bar(), m.paintPos->Left + 10, m.paintPos->Top + 5));
    gui.Pump();
    EXPECT_TRUE(m.PosAsTime);
    ExpectText(m.paintPos, "00:01:15");
    gui.Advance(1000); // not a double click
    gui.Click(gui.At(Bar(), m.paintPos->Left + 10, m.paintPos->Top + 5));
    gui.Pump();
    EXPECT_FALSE(m.PosAsTime);
    ExpectText(m.paintPos, "0038:03:000");

    // "7/4" from the time signature's menu: the ruler hook hears of it; nothing to undo.
    int rulers = 0;
    MdiHooks().RepaintRulers = [&] { ++rulers; };
    m.PopupBars->Items->Items(5)->Click();
    gui.Pump();
    EXPECT_EQ(m.PopupBars->Items->Items(5)->Caption, "7/4");
    EXPECT_EQ(Song->BeatsPerBar, 7);
    EXPECT_EQ(rulers, 1);
    EXPECT_FALSE(Song->Modified);
    ExpectText(m.paintTimeSig, "7/4", 1);
}

TEST_F(TransportBar, ColoursFromTheDialogs) {
    Start();
    TfmMdi& m = *fmMdi;
    TMenuItem* items = m.PopupTransp->Items;
    auto item = [&](std::string_view caption) {
        for (int i = 0; i < items->Count(); ++i)
            if (items->Items(i)->Caption == caption) return items->Items(i);
        return static_cast<TMenuItem*>(nullptr);
    };
    gui.Dialogs().Color(0x336699);
    item("Bar color...")->Click();
    gui.Dialogs().Color(0x0000FF);
    item("Font color...")->Click();
    gui.Dialogs().CancelColor();
    item("Bar color...")->Click();
    gui.Pump();
    EXPECT_EQ(m.panelTransporter->Color, 0x336699);
    EXPECT_EQ(m.panelSongName->Font.Color, 0x0000FF);
    ExpectText(m.paintPos, "0001:01:000");
}

TEST_F(TransportBar, MetronomeButton) {
    settings.WriteIni("[beep]\nmidich=3\nmidinote=40\nmidibeep=0\n");
    Start();
    TfmMdi& m = *fmMdi;
    Song->Precounts = 2;
    int options = 0;
    MdiHooks().ShowMetronomeOptions = [&] { ++options; };
    const TPoint beep = gui.At(Bar(), m.paintBeep->Left + 5, m.paintBeep->Top + 5);
    gui.Click(beep, MouseButton::Right);
    EXPECT_EQ(options, 1);
    EXPECT_EQ(Song->MetronomeOn, 0);
    EXPECT_FALSE(Midi->ClickOn);

    gui.Click(beep);
    EXPECT_EQ(options, 1);
    EXPECT_EQ(Song->MetronomeOn, 1);
    EXPECT_TRUE(Midi->ClickOn);
    EXPECT_EQ(Midi->PrecountBeats, 2);
    EXPECT_EQ(Midi->ClickChannel, 2);
    EXPECT_EQ(Midi->ClickDevice, 0);
    EXPECT_EQ(Midi->ClickNote, 40);
    // The lit image.
    gui.Pump();
    TBitmap lit;
    fmMdi->images().GetBitmap(17, lit);
    EXPECT_EQ(gui.Pixel(Bar(), m.paintBeep->Left + 10, m.paintBeep->Top + 10),
              lit.Pixels().Row(10)[10] & 0xFFFFFF);
}

TEST_F(TransportBar, SettingsDefaultsAndRoundTrip) {
    Start();
    SaveMainSettings();
    const std::pair<const char*, const char*> defaults[] = {
        {"Visible", "1"}, {"BkColor", "13421772"}, {"FontColor", "0"}, {"AudioVU", "1"},
        {"MIDIVU", "1"},  {"TimeSig", "0"},        {"SongPos", "1"},   {"Locators", "0"},
        {"CPU", "1"},     {"Dock", "1"},           {"PosAsTime", "0"}, {"Left", "<none>"},
    };
    for (const auto& [key, value] : defaults)
        EXPECT_EQ(Setting(key), value) << key;

    TfmMdi* m = fmMdi;
    m->paintVU->Visible = false;
    m->paintTimeSig->Visible = true;
    m->paintLeft->Visible = m->paintRight->Visible = true;
    m->PosAsTime = true;
    gui.Dialogs().Color(0x102030);
    m->PopupTransp->Items->Items(7)->Click(); // "Bar color..."
    for (int i = 0; i < m->PopupTransp->Items->Count(); ++i)
        if (m->PopupTransp->Items->Items(i)->Caption == "Dock")
            m->PopupTransp->Items->Items(i)->Click();
    m->panelTransporter->SetBounds(120, 130, m->panelTransporter->Width, 27);
    gui.Dialogs().Answer(IDYES, "Are you sure?");
    m->Close();
    m->Free();
    EXPECT_EQ(Setting("Dock"), "0");
    EXPECT_EQ(Setting("Left"), "120");
    EXPECT_EQ(Setting("Top"), "130");

    Application->ResetTerminated();
    Start();
    m = fmMdi;
    EXPECT_EQ(m->panelTransporter->Align, alNone);
    EXPECT_EQ(m->panelTransporter->Left, 120);
    EXPECT_EQ(m->panelTransporter->Top, 130);
    EXPECT_EQ(m->panelTransporter->Color, 0x102030);
    EXPECT_FALSE(m->paintVU->Visible);
    EXPECT_TRUE(m->paintTimeSig->Visible);
    EXPECT_TRUE(m->paintRight->Visible);
    EXPECT_TRUE(m->PosAsTime);
}

// A floating bar stored wholly out of sight could never be docked again: it comes to 100, 100.
TEST_F(TransportBar, AFloatingBarOutOfSightComesBackInSight) {
    struct Case {
        int left, top, wantLeft, wantTop;
    };
    for (const Case c :
         {Case{-5000, 40, 100, 100}, Case{-10, 40, -10, 40}, Case{30, 90000, 100, 100}}) {
        SCOPED_TRACE(c.left);
        settings.WriteIni("[Transporter]\nDock=0\nLeft=" + std::to_string(c.left) +
                          "\nTop=" + std::to_string(c.top) + "\n");
        Start();
        EXPECT_EQ(fmMdi->panelTransporter->Left, c.wantLeft);
        EXPECT_EQ(fmMdi->panelTransporter->Top, c.wantTop);
        gui.Dialogs().Answer(IDYES, "Are you sure?");
        fmMdi->Close();
        fmMdi->Free();
        Application->ResetTerminated();
    }
}

// Mouse-down on the buttons field by 20-pixel bands, with any button; mouse-up ends winding or
// releases song start and end.
TEST_F(TransportBar, ButtonsRunByBandsAndLightTheirImages) {
    Start();
    TfmMdi& m = *fmMdi;
    int records = 0;
    MdiHooks().RecordPunchIn = [&] { ++records; };
    const MouseButton buttons[] = {MouseButton::Left, MouseButton::Right, MouseButton::Middle};
    struct Band {
        int x;
        int pressed; // PressedButton while held
    };
    const Band bands[] = {{0, 0},  {19, 0}, {20, 0}, {39, 0},  {40, 0},  {59, 0},  {60, 3},
                          {79, 3}, {80, 2}, {99, 2}, {100, 1}, {119, 1}, {120, 4}, {139, 4}};
    int n = 0;
    for (const Band& b : bands) {
        SCOPED_TRACE(b.x);
        const MouseButton button = buttons[n++ % 3];
        const TPoint p = gui.At(Bar(), m.paintTransp->Left + b.x, m.paintTransp->Top + 5);
        if (b.x >= 20 && b.x < 40) m.StartPlayback(false);
        const int recordsBefore = records;
        gui.Press(p, button);
        if (b.x < 40) {
            EXPECT_EQ(Song->State, b.x < 20 ? 2 : 0);
        }
        EXPECT_EQ(records - recordsBefore, b.x >= 40 && b.x < 60 ? 1 : 0);
        EXPECT_EQ(m.PressedButton, b.pressed);
        EXPECT_EQ(m.Winding, b.pressed == 1 || b.pressed == 2);
        gui.Release(p, button);
        EXPECT_EQ(m.PressedButton, 0);
        EXPECT_FALSE(m.Winding);
        m.StopPlayback(false);
        gui.Advance(1000); // no double clicks
    }
    EXPECT_EQ(Song->Position, Song->SongEnd()); // the last band went to the song end

    // The active images: stopped, Stop; playing, Play; recording audio, Record only.
    auto cellIs = [&](int cell, int image) {
        TBitmap want;
        m.images().GetBitmap(image, want);
        const Surface got = gui.Capture(Bar());
        int differ = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                differ += (got.Row(m.paintTransp->Top + y)[m.paintTransp->Left + 20 * cell + x] &
                           0xFFFFFF) != (want.Pixels().Row(y)[x] & 0xFFFFFF);
        return differ == 0;
    };
    gui.Advance(50);
    EXPECT_TRUE(cellIs(0, 0) && cellIs(1, 3) && cellIs(2, 4));
    m.StartPlayback(false);
    gui.Advance(50);
    EXPECT_TRUE(cellIs(0, 1) && cellIs(1, 2) && cellIs(2, 4));
    m.AudioRecord = true;
    gui.Advance(50);
    EXPECT_TRUE(cellIs(0, 0) && cellIs(1, 2) && cellIs(2, 5));
    m.AudioRecord = false;

    // The loop button toggles the loop switch and shows it.
    const TPoint loop = gui.At(Bar(), m.paintLoop->Left + 5, m.paintLoop->Top + 5);
    gui.Click(loop);
    gui.Pump();
    EXPECT_EQ(Song->LoopOn, 1);
    TBitmap lit;
    m.images().GetBitmap(15, lit);
    EXPECT_EQ(gui.Pixel(Bar(), m.paintLoop->Left + 10, m.paintLoop->Top + 10),
              lit.Pixels().Row(10)[10] & 0xFFFFFF);
}

// A note-on from the MIDI input lights the LED field, its note-off darkens it.
TEST_F(TransportBar, MidiInputLightsTheLed) {
    Start();
    TfmMdi& m = *fmMdi;
    auto led = [&] { return gui.Pixel(Bar(), m.paintMidiLed->Left + 3, m.paintMidiLed->Top + 7); };
    const std::uint32_t off = led();
    EXPECT_EQ(off, 0x204020u);
    keys.Send({0x90, 60, 100});
    gui.Pump();
    EXPECT_EQ(led(), 0x40FF40u);
    keys.Send({0x80, 60, 0});
    gui.Pump();
    EXPECT_EQ(led(), off);
}

// What a display hears of the changed parts of the surfaces, while it lives.
class UpdateLog : public Presenter {
public:
    UpdateLog() : old_(SetPresenter(this)) {}
    ~UpdateLog() override { SetPresenter(old_); }
    void SurfaceUpdated(HWND, const TRect& R) override { Rects.push_back(R); }
    std::vector<TRect> Rects;

private:
    Presenter* old_;
};

// A stopped program with nothing changing paints nothing; a change repaints its own field of
// the bar and no other.
TEST_F(TransportBar, OnlyWhatChangedIsPainted) {
    Start();
    TfmMdi& m = *fmMdi;
    gui.Advance(200);
    FlushSurfaces();
    UpdateLog log;
    gui.Advance(2000);
    FlushSurfaces();
    EXPECT_EQ(log.Rects.size(), 0u);

    // A control's place in the main window's surface.
    auto inSurface = [&](TControl* C) {
        TRect w{};
        GetWindowRect(m.Handle(), &w);
        const TPoint p = C->ClientToScreen(TPoint{0, 0});
        return TRect{p.X - w.Left, p.Y - w.Top, p.X - w.Left + C->Width, p.Y - w.Top + C->Height};
    };
    // Each change is flushed alone: the display hears of the bounds of what was drawn.
    auto expectOnly = [&](TControl* Field) {
        SCOPED_TRACE(Field->Name);
        FlushSurfaces();
        const TRect bar = inSurface(m.panelTransporter), f = inSurface(Field);
        int onBar = 0;
        for (const TRect& r : log.Rects) {
            if (r.Top >= bar.Bottom) continue; // another window's, below the bar
            ++onBar;
            EXPECT_TRUE(r.Left >= f.Left && r.Right <= f.Right && r.Top >= f.Top &&
                        r.Bottom <= f.Bottom)
                << r.Left << "," << r.Top << " " << r.Right << "," << r.Bottom;
        }
        EXPECT_EQ(onBar, 1);
        log.Rects.clear();
    };
    Song->Position = 3840;
    m.PaintSongPosition();
    expectOnly(m.paintPos);
    CpuLoad = 12;
    gui.Advance(50);
    expectOnly(m.paintCPU);
    m.VU->PeakL = 0.5f;
    gui.Advance(50);
    expectOnly(m.paintVU);
    keys.Send({0x90, 60, 100});
    gui.Pump();
    expectOnly(m.paintMidiLed);
    // A second note keeps the LED lit: nothing to draw.
    keys.Send({0x90, 62, 100});
    keys.Send({0x80, 60, 0});
    gui.Advance(2000);
    FlushSurfaces();
    EXPECT_EQ(log.Rects.size(), 0u);
    m.VU->PeakL = 0.0f;
    CpuLoad = 0;
}

} // namespace

TEST_F(TransportBar, TheProductNameFitsBesideTheMidiLed) {
    Start();
    TfmMdi& m = *fmMdi;
    HDC dc = CreateCompatibleDC(0);
    TCanvas c(dc);
    c.Font = m.panelSongName->Font.Get();
    EXPECT_LE(c.TextWidth("Tolvern"), m.paintMidiLed->Left);
    EXPECT_GE(m.panelSongName->Font.Get().Size(), 12); // still the bar's large bold name
    EXPECT_TRUE(m.panelSongName->Font.Get().Style & fsBold);
    c.SetHandle(0);
    DeleteDC(dc);
}
