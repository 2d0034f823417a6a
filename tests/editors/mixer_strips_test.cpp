// The mixer's strips as the rebuild lays them out from the song, and what they look like.
#include "mixer_fixture.h"

#include "devices/audio.h"
#include "editors/audio/mixer_items.h"
#include "song/render.h"

#include <cmath>
#include <limits>

using namespace platform;

namespace {

constexpr std::uint32_t High = 0xF8B147, Low = 0x965C05; // the lit and unlit value colours

TEST_F(MixerTest, AnEmptySongShowsOnlyTheMasterStrip) {
    Start();
    Open();
    EXPECT_TRUE(m->Visible);
    EXPECT_EQ(m->GetClientWidth(), 71);
    EXPECT_EQ(m->GetClientHeight(), 207);
    EXPECT_FALSE(m->MenuView->Visible);
    EXPECT_EQ(m->DragItem->X, 33);
    EXPECT_EQ(m->DragItem->W, 14);
    EXPECT_EQ(m->CloseItem->X, 48);
    EXPECT_EQ(Items("Sidebar").size(), 1u);
    EXPECT_EQ(Items("VU").size(), 1u);
    EXPECT_EQ(First("MasterFX")->X, 17);
    EXPECT_EQ(First("Volume")->Y, 183 - 123);
    // The title is too narrow for the song's file name: only black shows behind the buttons.
    for (int x = m->DragItem->AbsX(); x < m->DragItem->AbsX() + 14; ++x)
        EXPECT_EQ(Pixel(x, 11), 0u) << x;
}

TEST_F(MixerTest, SendBusesAndInsertsMakeEveryStripTaller) {
    Start();
    TSoftItem* synth = Softsynth(1);
    Bus(skSendEffect);
    Bus(skSendEffect);
    Insert(synth->Outputs[0]);
    Open();
    EXPECT_EQ(m->StripHeight(), 283);
    for (TXGuiBase* side : Items("Sidebar"))
        EXPECT_EQ(side->H, 283);
    // Send knobs from the last send bus to the first; each edits its own send.
    auto knobs = Items("Send2");
    ASSERT_EQ(knobs.size(), 2u);
    auto* k0 = static_cast<TMixKnob*>(knobs[0]);
    auto* k1 = static_cast<TMixKnob*>(knobs[1]);
    EXPECT_EQ(k0->Text, "2-");
    EXPECT_EQ(k1->Text, "1-");
    EXPECT_LT(k0->Y, k1->Y);
    EXPECT_EQ(k0->Send, 1);
    EXPECT_EQ(k1->Send, 0);
    EXPECT_EQ(First("Insert")->Y, 20);
    EXPECT_EQ(First("Mute")->Y, 20 + 20 + 80);
    // The master's gap above its fader spans the send and insert rows.
    EXPECT_EQ(First("whitespace")->H, 40 * 2 + 20);
    for (TXGuiBase* vu : Items("VU"))
        EXPECT_EQ(vu->Y, 283 - 123);
    EXPECT_EQ(m->GetClientHeight(), 283 + 24);
}

TEST_F(MixerTest, StripsComeAndGoWithWhatTheyShow) {
    Start();
    _TTrack* t = SampleTrack(3);
    Open();
    auto names = Items("SampleName");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(static_cast<TXGuiLabel*>(names[0])->Caption, "Ch01");
    EXPECT_EQ(Items("Pan").size(), 0u);
    EXPECT_EQ(Items("SampleOutput").size(), 1u);
    // Disk strips only while a track has mode 4, however many disk slots are active.
    Song->DiskOutputs[1].Active = 1;
    Rebuild();
    EXPECT_EQ(Items("SynthName").size(), 0u);
    Song->TrackAt(5)->Mode = tmDisk;
    Rebuild();
    EXPECT_EQ(Items("SynthName").size(), 2u);
    EXPECT_EQ(Items("Pan").size(), 2u);
    Song->TrackAt(5)->Mode = tmMidi;
    t->Samples.clear();
    Song->UpdateSampleChannel(3);
    Rebuild();
    EXPECT_EQ(Items("SampleName").size(), 0u);
    EXPECT_EQ(Items("SynthName").size(), 0u);
    EXPECT_EQ(Items("Sidebar").size(), 1u);
}

TEST_F(MixerTest, AMinimisedStripIsItsSidebarAndADockedBusIsWide) {
    Start();
    TSub* group = Bus(skGroupEffect);
    Open();
    const int full = m->GetClientWidth();
    EXPECT_EQ(full, 6 + 65 + 65);
    EXPECT_TRUE(m->MenuView->Visible);
    EXPECT_EQ(m->DragItem->X, 71);
    group->Channel->Show = 1;
    Rebuild();
    EXPECT_EQ(m->GetClientWidth(), 6 + 65 + 17);
    group->Channel->Show = 0;
    group->Docked = 1;
    group->EditorShown = 1;
    Rebuild();
    EXPECT_EQ(m->GetClientWidth(), 6 + 65 + 137);
    EXPECT_EQ(First("Editor")->W, 120);
    // Minimising the master keeps its sidebar.
    Song->MasterChannel->Show = 1;
    Rebuild();
    EXPECT_EQ(m->GetClientWidth(), 6 + 17 + 137);
}

TEST_F(MixerTest, KnobsShowTheirValuesInTheValueColours) {
    Start();
    TSoftItem* synth = Softsynth(3);
    Bus(skSendEffect);
    Bus(skSendEffect);
    synth->Outputs[0].Pan = 0.0f;
    synth->Outputs[1].Pan = -0.35f;
    synth->Outputs[2].Pan = 1.0f;
    Open();
    auto pans = Items("Pan");
    ASSERT_EQ(pans.size(), 3u);
    // The text's colour is found in the knob; the other one is not.
    auto has = [&](const TXGuiBase* Item, std::uint32_t Colour) {
        for (int y = Item->AbsY(); y < Item->AbsY() + Item->H; ++y)
            for (int x = Item->AbsX(); x < Item->AbsX() + Item->W; ++x)
                if (Pixel(x, y) == Colour) return true;
        return false;
    };
    EXPECT_TRUE(has(pans[0], Low));
    EXPECT_FALSE(has(pans[0], High));
    EXPECT_TRUE(has(pans[1], High));
    EXPECT_TRUE(has(pans[2], High));
    auto* first = static_cast<TXGuiKnob*>(Items("Send2")[0]);
    EXPECT_TRUE(has(first, Low));
    EXPECT_FALSE(has(first, High));
}

TEST_F(MixerTest, OutputButtonsNameTheirTargets) {
    Start();
    TSoftItem* synth = Softsynth(2);
    synth->Outputs[1].Bus = 7; // a stored number past the bus list
    Open();
    auto outs = Items("SynthOutput");
    ASSERT_EQ(outs.size(), 2u);
    auto lit = [&](const TXGuiBase* Item) {
        int n = 0;
        for (int y = Item->AbsY(); y < Item->AbsY() + Item->H; ++y)
            for (int x = Item->AbsX(); x < Item->AbsX() + Item->W; ++x)
                n += Pixel(x, y) == High;
        return n;
    };
    const int master = lit(outs[0]), error = lit(outs[1]);
    EXPECT_GT(master, 0);
    EXPECT_GT(error, 0);
    EXPECT_NE(master, error);
    synth->Outputs[1].Bus = -1;
    m->Gui->Invalidate();
    gui.Pump();
    EXPECT_EQ(lit(outs[1]), master);
}

TEST_F(MixerTest, MetersLightFiveRowsPerSixteenthFromTheBottom) {
    Start();
    Open();
    TXGuiBase* vu = First("VU");
    const int x = vu->AbsX() + 5, y0 = vu->AbsY() + 11;
    TMixerImages& im = MixerImages();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float Peak;
        int Rows;
    } cases[] = {{0.0f, 0},  {0.03125f, 0}, {0.09375f, 10}, {0.5f, 40},
                 {1.0f, 80}, {1.2f, 81},    {inf, 81},      {std::nanf(""), 0}};
    for (auto c : cases) {
        EXPECT_EQ(MeterRows(c.Peak), c.Rows) << c.Peak;
        Song->MasterOut.PeakLeft = c.Peak;
        m->RefreshMeters(nullptr, 0);
        // Row by row the lit picture from the bottom, the unlit one above it.
        for (int r = 0; r < 81; ++r) {
            TBitmap& from = r >= 81 - c.Rows ? im.VuOn : im.VuOff;
            ASSERT_EQ(Pixel(x + 2, y0 + r), Rgb(from.Canvas().Pixel(2, r)))
                << "peak " << c.Peak << " row " << r;
        }
    }
}

TEST_F(MixerTest, TheWaveShowsOnlyItsBackgroundWithAudioOffAndTheFaderKnobFollowsItsValue) {
    Start();
    Open();
    ASSERT_FALSE(Audio->AudioOn.load());
    TXGuiBase* wave = m->WaveItem;
    ASSERT_NE(wave, nullptr);
    const Surface before = gui.Capture(m->Handle());
    std::vector<std::atomic<float>> block(64);
    for (auto& v : block)
        v = 0.9f;
    m->RefreshMeters(block.data(), 64);
    const Surface after = gui.Capture(m->Handle());
    for (int y = wave->AbsY(); y < wave->AbsY() + wave->H; ++y)
        for (int x = wave->AbsX(); x < wave->AbsX() + wave->W; ++x)
            ASSERT_EQ(before.Row(y)[x], after.Row(y)[x]) << x << "," << y;
    // The knob (10 rows) travels 93 rows: at 50 its top is 47 rows down.
    auto* fader = static_cast<TXGuiFader*>(First("Volume"));
    fader->Pos = 50;
    m->Gui->InvalidateControl(fader);
    gui.Pump();
    const int cx = fader->AbsX() + fader->W / 2, top = fader->AbsY();
    const std::uint32_t knobTop = Rgb(TColor(0xFFFFFF)); // the knob's white top edge
    EXPECT_EQ(Pixel(cx, top + 47), knobTop);
    EXPECT_NE(Pixel(cx, top + 46), knobTop);
}

TEST_F(MixerTest, TheConnectionsViewWiresASoftsynthToTheMaster) {
    Start();
    Softsynth(1);
    Open();
    m->ToggleConnections();
    gui.Pump();
    ASSERT_NE(m->Plugs, nullptr);
    const int left = m->Plugs->AbsX(), top = m->Plugs->AbsY();
    EXPECT_EQ(Pixel(left + 106, top), High);
    EXPECT_EQ(Pixel(left + 105, top), High);
    EXPECT_EQ(Pixel(left + 107, top), High);
    for (int y = 0; y <= 8; ++y)
        EXPECT_EQ(Pixel(left + 106, top + y), High) << y;
    EXPECT_NE(Pixel(left + 106, top + 9), High);
    for (int x = 41; x <= 106; ++x)
        EXPECT_EQ(Pixel(left + x, top + 8), High) << x;
    EXPECT_NE(Pixel(left + 40, top + 8), High);
    // The master's own wire from the top row to its rail.
    EXPECT_EQ(Pixel(left + 41, top + 3), High);
}

} // namespace
