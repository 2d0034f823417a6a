// The sample-part editor's frame: opening from the arrange window, its settings, the zoom and
// column strips, the lane toggle, activation, the tempo box, and what the other windows reach
// of it and it of them.
#include "editors/sample_fixture.h"

#include "app/filemenu.h"
#include "app/options.h"
#include "app/transportbar.h"
#include "devices/midi.h"
#include "editors/midi/key.h"
#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/forms/buttons.h"
#include "platform/forms/edit.h"
#include "platform/forms/extctrls.h"
#include "platform/menus/menus.h"
#include "platform/window/window.h"
#include "song/undo.h"

#include <memory>

using namespace platform;

namespace {

class SampleFrame : public SampleTest {
protected:
    // Starts with Ini and opens a part of one bar on an audio track with two slots.
    void Open(std::string_view Ini = "") {
        Start(Ini);
        MakeAudioTrack(1, 2);
        OpenAudio(AddSamplePart(1, 0, 1920, {{0, 0, 60}}));
    }
    // The key editor opened by Ctrl+E for a MIDI part of four bars on track 0.
    void OpenKeyEditor() {
        _TPart* p = AddPart(0, 0, 3840, "Midi", {{0, 60}});
        Song->SetCurrentPart(p);
        fmArrange->Show();
        gui.Pump();
        gui.Chord({VK_CONTROL, 'E'});
        gui.Pump();
        ASSERT_NE(fmKey, nullptr);
    }
};

TEST_F(SampleFrame, StoredSettingsAreReadIntoSafeRanges) {
    const struct {
        const char* Ini;
        int SampleHeight, Width16th, Split, Browser, Lane, Directory, Grid;
    } cases[] = {
        {"", 40, 16, 180, 132, 82, 150, 60},
        // Stored zooms divide: 0 becomes the nearest step the zoom buttons reach.
        {"[Sample Edit]\nSampleHeight=0\nAudioWidth16th=0\n[Sample edit]\nGrid=0\n", 9, 3, 180, 132,
         82, 150, 60},
        {"[sample EDIT]\nSampleHeight=1000\nAudioWidth16th=99\nSplit=60\nBrowser=0\nGrid=-7\n"
         "[Audio]\nControl=120\nDirectory=40\n",
         101, 51, 60, 0, 120, 40, 60},
        {"[Sample edit]\nGrid=-1\n", 40, 16, 180, 132, 82, 150, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ini);
        Open(c.Ini);
        EXPECT_EQ(SampleHeight, c.SampleHeight);
        EXPECT_EQ(AudioWidth16th, c.Width16th);
        EXPECT_EQ(s->panelWaves->Width, c.Split);
        EXPECT_EQ(s->panelBrowse->Width, c.Browser);
        EXPECT_EQ(s->PanelBottom->Height, c.Lane);
        EXPECT_EQ(s->DirectoryHeight, c.Directory);
        EXPECT_EQ(s->GridStep, c.Grid);
        EXPECT_EQ(s->ScrollY->LineStep, c.SampleHeight);
        EXPECT_EQ(s->ScrollX->PageStep, 4 * c.Width16th);
        TearDown();
    }
}

TEST_F(SampleFrame, OpensAsAnAudioEditOfThePartAndClosingWritesItsSettings) {
    Open("[Samples Favorites]\nC:\\b=0\nC:\\a=1\n");
    EXPECT_EQ(s->GetFormStyle(), fsMDIChild);
    EXPECT_EQ(s->Width, 800);
    EXPECT_EQ(s->Height, 563);
    EXPECT_EQ(s->Caption, "Samples");
    EXPECT_EQ(s->CurrentRow, 0);
    EXPECT_EQ(s->labelControlSample->Caption, "sample1.wav");
    EXPECT_EQ(s->panelCh->Caption, "01");
    EXPECT_EQ(s->Favorites, (std::vector<std::string>{"C:\\b", "C:\\a"}));
    EXPECT_EQ(s->ScrollX->Max, std::max(512 + 100 - s->audio->GetClientWidth(), 0));
    EXPECT_EQ(fmMdi->WindStep, 1);
    s->Favorites.erase(s->Favorites.begin());
    s->panelWaves->Width = 170;
    s->Close();
    gui.Pump();
    EXPECT_EQ(fmAudio, nullptr);
    EXPECT_EQ(Setting("Sample edit", "Split"), "170");
    EXPECT_EQ(Setting("Sample edit", "Browser"), "132");
    EXPECT_EQ(Setting("Sample edit", "Grid"), "60");
    EXPECT_EQ(Setting("Audio", "Control"), "82");
    EXPECT_EQ(Setting("Audio", "Directory"), "150");
    EXPECT_EQ(TIniFile().ReadSection("Samples Favorites"), std::vector<std::string>{"C:\\a"});
}

TEST_F(SampleFrame, ZoomStepsStayInTheirRangesAndZoomOffWritesBothKeys) {
    const struct {
        int Height, Width;
        const char* Id;
        int ToHeight, ToWidth;
    } cases[] = {
        {99, 16, "zoomVertIn", 101, 16},  {11, 16, "zoomVertOut", 9, 16},
        {40, 49, "zoomHorzIn", 40, 51},   {40, 5, "zoomHorzOut", 40, 3},
        {100, 16, "zoomVertIn", 100, 16}, {10, 16, "zoomVertOut", 10, 16},
        {40, 50, "zoomHorzIn", 40, 50},   {40, 4, "zoomHorzOut", 40, 4},
        {60, 30, "zoomOff", 40, 16},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Id);
        SampleHeight = c.Height;
        AudioWidth16th = c.Width;
        (std::string_view(c.Id).find("Vert") != std::string_view::npos
             ? s->ScrollYControl(c.Id, 0)
             : s->ScrollXControl(c.Id, 0));
        EXPECT_EQ(SampleHeight, c.ToHeight);
        EXPECT_EQ(AudioWidth16th, c.ToWidth);
    }
    EXPECT_EQ(Setting("Sample Edit", "SampleHeight"), "40");
    EXPECT_EQ(Setting("Sample Edit", "AudioWidth16th"), "16");
    // From the defaults the steps of two stay within 10..100 and 4..50.
    for (int i = 0; i < 40; ++i)
        s->ScrollYControl("zoomVertIn", 0);
    EXPECT_EQ(SampleHeight, 100);
    for (int i = 0; i < 60; ++i)
        s->ScrollYControl("zoomVertOut", 0);
    EXPECT_EQ(SampleHeight, 10);
    for (int i = 0; i < 30; ++i)
        s->ScrollXControl("zoomHorzIn", 0);
    EXPECT_EQ(AudioWidth16th, 50);
    for (int i = 0; i < 30; ++i)
        s->ScrollXControl("zoomHorzOut", 0);
    EXPECT_EQ(AudioWidth16th, 4);
    EXPECT_EQ(s->ScrollX->LineStep, 4);
}

TEST_F(SampleFrame, ColumnButtonsSizeTheSampleListByItsHeader) {
    Open();
    for (auto [id, width] : {std::pair{"less", 158}, {"more", 204}, {"all", 244}}) {
        s->panelWaves->Width = 180;
        s->ColumnsControl(id);
        EXPECT_EQ(s->panelWaves->Width, width) << id;
        s->ColumnsControl("last");
        EXPECT_EQ(s->panelWaves->Width, 180) << id;
    }
}

TEST_F(SampleFrame, ControllersHidesTheLaneAndRestoresItsHeight) {
    Open("[Audio]\nControl=120\n");
    s->miControllers->Click();
    EXPECT_EQ(s->PanelBottom->Height, s->guiScrollx->Height);
    EXPECT_FALSE(s->PanelToolCC->Visible);
    s->miControllers->Click();
    EXPECT_EQ(s->PanelBottom->Height, 120);
    EXPECT_TRUE(s->PanelToolCC->Visible);
    // Hidden by its button with nothing remembered: the default height comes back.
    s->LaneHeight = 0;
    s->PanelBottom->Height = s->guiScrollx->Height;
    s->FitLane();
    s->miControllers->Click();
    EXPECT_EQ(s->PanelBottom->Height, 82);
}

TEST_F(SampleFrame, APartOnAMidiTrackOpensTheKeyEditorInstead) {
    Open();
    _TPart* midi = AddPart(0, 0, 960, "Midi", {{0, 60}});
    Song->SetCurrentPart(midi);
    s->FormActivate();
    gui.Pump();
    EXPECT_EQ(fmAudio, nullptr);
    EXPECT_NE(fmKey, nullptr);
}

TEST_F(SampleFrame, TempoBoxClampsAndEveryTempoBoxShowsTheTempo) {
    Start();
    OpenKeyEditor();
    MakeAudioTrack(1, 1);
    OpenAudio(AddSamplePart(1, 0, 960));
    s->editBpm->Text = "300";
    s->editBpmEnter();
    gui.Pump();
    EXPECT_EQ(Midi->GetTempo(), 250);
    for (TEdit* box : {s->editBpm, fmArrange->editBpm, fmKey->editBpm})
        EXPECT_EQ(box->Text(), "250");
    s->SpeedButton8->Click();
    EXPECT_EQ(Midi->GetTempo(), 249);
    // A preset chosen in the arrange window.
    TMenuItem preset("90");
    preset.Tag = 90;
    fmArrange->TempoItemClick(&preset);
    EXPECT_EQ(s->editBpm->Text(), "90");
    // The double click takes the options' first tempo line as it stands.
    OptionsClearTempo();
    OptionsAppendTempo(" 300 ");
    s->editBpmDoubleClick();
    EXPECT_EQ(Midi->GetTempo(), 300);
    EXPECT_EQ(s->editBpm->Text(), "300");
}

TEST_F(SampleFrame, OtherWindowsReachTheEditorAndItReachesThem) {
    Open();
    // Shift+G and Show > "&Customize" through their seams.
    int grooves = 0, page = -1;
    EditCommandSeams().ShowGrooves = [&] { ++grooves; };
    EditCommandSeams().ShowCustomize = [&](int Page) { page = Page; };
    gui.Chord({VK_SHIFT, 'G'});
    s->miCustomize->Click();
    gui.Pump();
    EXPECT_EQ(grooves, 1);
    EXPECT_EQ(page, 0);
    // F11 is the mixer's; M goes on to the main window, which mutes the track.
    int mixer = 0;
    MdiHooks().ToggleMixerVisible = [&] { ++mixer; };
    gui.Key(VK_F11);
    gui.Pump();
    MdiHooks().ToggleMixerVisible = nullptr;
    EXPECT_EQ(mixer, 1);
    EXPECT_TRUE(s->PanelToolCC->Visible);
    gui.Key('M');
    gui.Pump();
    EXPECT_TRUE(Song->TrackAt(1)->Mute);
    EXPECT_TRUE(s->sbMute->Down);
    fmArrange->ToggleTrackMute(1);
    EXPECT_FALSE(s->sbMute->Down);
    // Quantize from the arrange window repaints the grid; the edit resolution shows here.
    int paints = 0;
    const TPaintEvent paint = s->audio->OnPaint;
    s->audio->OnPaint = [&](TCanvas& C) {
        ++paints;
        paint(C);
    };
    gui.Pump();
    paints = 0;
    Song->CurrentPart->Events->Delta = 7;
    fmMdi->QuantizeSelection(false);
    gui.Pump();
    EXPECT_GT(paints, 0);
    fmMdi->SetGridValue(32, "32");
    EXPECT_EQ(s->panelRes->Caption, "32");
    // File > New closes the editor.
    Song->Modified = 0;
    fmMdi->New1Click();
    gui.Pump();
    EXPECT_EQ(fmAudio, nullptr);
}

TEST_F(SampleFrame, BeatsPerBarRepaintsThisRulerAndTheKeyEditors) {
    Start();
    OpenKeyEditor();
    MakeAudioTrack(1, 1);
    OpenAudio(AddSamplePart(1, 0, 1920));
    s->Top = 300; // below the key editor's ruler
    gui.Pump();
    Song->LeftLocator = 960 * 41; // no band over the bar lines
    Song->RightLocator = 960 * 42;
    // Three beats to the bar put a bar line (full height) at 3 x 64 pixels.
    EXPECT_NE(Ruler(192, 6), 0u);
    EXPECT_NE(gui.Pixel(fmKey->meter->Handle(), 384 + fmKey->meter->OffsetX, 6), 0u);
    fmMdi->SetBeatsPerBar(3);
    gui.Pump();
    EXPECT_EQ(Ruler(192, 6), 0u);
    EXPECT_EQ(gui.Pixel(fmKey->meter->Handle(), 384 + fmKey->meter->OffsetX, 6), 0u);
}

} // namespace
