// The sample-part editor's pictures read back from the retained surfaces: the geometry, note
// boxes with their waveforms, grid and row lines, the ruler's labels, the play cursor, locator
// band and step cursor as XOR marks, and when the view follows the play cursor.
#include "editors/sample_fixture.h"

#include "gui/mscroll.h"
#include "gui/scroll.h"
#include "platform/gdi/surface.h"
#include "song/timebase.h"

#include <cstring>
#include <set>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define POISON(p, n) __asan_poison_memory_region(p, n)
#define UNPOISON(p, n) __asan_unpoison_memory_region(p, n)
#else
#define POISON(p, n) ((void)(p), (void)(n))
#define UNPOISON(p, n) ((void)(p), (void)(n))
#endif

using namespace platform;

namespace {

constexpr std::uint32_t kBack = 0x1F1F1F, kSilver = 0xC0C0C0, kOffBeat = 0x484848,
                        kRowLine = 0x808080, kSelected = 0xFFFF80, kWhite = 0xFFFFFF;

bool SameSurface(const Surface& A, const Surface& B) {
    if (A.width != B.width || A.height != B.height) return false;
    for (int y = 0; y < A.height; ++y)
        for (int x = 0; x < A.width; ++x)
            if ((A.Row(y)[x] & 0xFFFFFF) != (B.Row(y)[x] & 0xFFFFFF)) return false;
    return true;
}

class SampleGrid : public SampleTest {
protected:
    void SetUp() override {
        SampleTest::SetUp();
        Start();
        // The marks away from the parts unless a test moves them.
        Song->Position = 960 * 40;
        Song->LeftLocator = 960 * 41;
        Song->RightLocator = 960 * 42;
    }
    std::uint32_t Fill() const { return Rgb(fmMdi->PartsBkColor); }
    TWave& Wave(int Index) { return Song->SamplePool->Items.GetItem(Index)->Wave; }
    // A silent wave of Frames frames.
    void SetWave(int Index, int Bits, int Channels, int Frames, std::uint8_t Byte) {
        TWave& w = Wave(Index);
        w.SetPCMFormat(44100, Bits, Channels);
        w.SetSize(Frames * Channels * Bits / 8);
        std::memset(w.Data(), Byte, std::size_t(w.Size()));
    }
    // Columns of the ruler with black ink above its sixteenth marks, off the marks' columns:
    // where only labels reach.
    int InkColumns(int x0, int x1) const {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = 0; y < 11 && x % 16 != 0; ++y)
                if (Ruler(x, y) == 0) {
                    ++n;
                    break;
                }
        return n;
    }
    std::vector<std::uint32_t> RulerBox(int x0) const {
        std::vector<std::uint32_t> r;
        for (int x = x0 + 1; x < x0 + 15; ++x)
            for (int y = 0; y < 8; ++y)
                r.push_back(Ruler(x, y));
        return r;
    }
};

TEST_F(SampleGrid, GeometryFollowsTheZoom) {
    MakeAudioTrack(1, 1);
    OpenAudio(AddSamplePart(1, 960, 1920));
    AudioWidth16th = 16;
    EXPECT_EQ(AudioPixelToTick(4), 14);
    EXPECT_EQ(AudioPixelToTick(27), 101);
    EXPECT_EQ(TfmAudio::SnapXToTicks(-20, 60), -60);
    EXPECT_EQ(TfmAudio::SnapXToTicks(40, 60), 120);
    EXPECT_EQ(TfmAudio::RowAtY(79), 1);
    EXPECT_EQ(s->ContentWidth(), 512);
    AudioWidth16th = 18;
    EXPECT_EQ(TfmAudio::TickToX(10), 2);
    // At 15 pixels a sixteenth the play cursor 60 ticks into the part is at x 14.
    AudioWidth16th = 15;
    Repaint();
    const Surface before = gui.Capture(s->audio->Handle());
    s->MovePlayCursor(960 + 60);
    const Surface after = gui.Capture(s->audio->Handle());
    std::set<int> columns;
    for (int y = 0; y < after.height; ++y)
        for (int x = 0; x < after.width; ++x)
            if ((after.Row(y)[x] & 0xFFFFFF) != (before.Row(y)[x] & 0xFFFFFF)) columns.insert(x);
    EXPECT_EQ(columns, std::set<int>{14 + s->audio->OffsetX});
}

TEST_F(SampleGrid, BoxesGridLinesAndRowLines) {
    MakeAudioTrack(1, 20);
    // A 1-tick note, and a selected one at the second bar.
    _TPart* p = AddSamplePart(1, 0, 3840, {{0, 0, 1}, {960, 2, 240}});
    OpenAudio(p);
    SelectNote(p, NoteAt(p, 960, 2));
    Repaint();
    EXPECT_EQ(Grid(0, 10), kSilver);
    EXPECT_EQ(Grid(1, 10), Fill());
    EXPECT_EQ(Grid(2, 10), kSilver);
    EXPECT_NE(Grid(3, 10), Fill());
    EXPECT_EQ(Grid(260, 2 * 40 + 10), kSelected);
    // Beat lines silver, the others dark, down to the key editor's grid height; rows every 40.
    EXPECT_EQ(Grid(64, 210), kSilver);
    EXPECT_EQ(Grid(16, 210), kOffBeat);
    EXPECT_EQ(Grid(20, 120), kRowLine);
    EXPECT_EQ(Grid(20, 130), kBack);
    s->ScrollY->SetPosition(300);
    s->ScrollY->Changed();
    gui.Pump();
    EXPECT_EQ(Grid(16, 524), kOffBeat);
    EXPECT_EQ(Grid(16, 525), kBack);
    EXPECT_EQ(Grid(20, 560), kRowLine);
}

TEST_F(SampleGrid, TracesSitAroundTheirCentres) {
    MakeAudioTrack(1, 3);
    SetWave(0, 16, 2, 44100, 0);
    SetWave(1, 8, 1, 44100, 128);
    SetWave(2, 16, 2, 44100, 0);
    Wave(2).Format()[12] = Wave(2).Format()[13] = 0; // block align 0
    _TPart* p = AddSamplePart(1, 0, 1920, {{0, 0, 240}, {0, 1, 240}, {0, 2, 240}});
    OpenAudio(p);
    Repaint();
    const int y0 = 1, y1 = 41, y2 = 81;
    EXPECT_EQ(Grid(10, y0 + 9), kWhite);
    EXPECT_EQ(Grid(10, y0 + 28), kWhite);
    EXPECT_EQ(Grid(10, y0 + 19), Fill());
    EXPECT_EQ(Grid(10, y1 + 19), kWhite);
    EXPECT_EQ(Grid(10, y1 + 9), Fill());
    for (int y = y2 + 1; y < y2 + 38; ++y)
        ASSERT_EQ(Grid(10, y), Fill()) << y;
    // Draw contents off: boxes only.
    s->miDrawContents->Click();
    gui.Pump();
    EXPECT_EQ(Grid(10, y0 + 9), Fill());
}

// The data's end falls within a frame: the bytes after it are never read (clean under
// AddressSanitizer, where they are poisoned).
TEST_F(SampleGrid, TraceReadsNoFrameBeyondTheData) {
    MakeAudioTrack(1, 1);
    _TPart* p = AddSamplePart(1, 0, 1920, {{0, 0, 1920}});
    OpenAudio(p);
    TWave& w = Wave(0);
    w.SetPCMFormat(44100, 16, 2);
    for (int n = 1; n < 1200; ++n) {
        w.SetSize(4 * n + 2);
        std::memset(w.Data(), 0, std::size_t(w.Size()));
        POISON(w.Data() + w.Size(), std::size_t(w.Capacity() - w.Size()));
        s->PaintNotes(true);
        UNPOISON(w.Data() + w.Size(), std::size_t(w.Capacity() - w.Size()));
    }
    SetWave(0, 16, 2, 44100, 0);
    Repaint();
    EXPECT_EQ(Grid(3, 10), kWhite);
}

TEST_F(SampleGrid, RulerLabelsBarsFromThePartsStart) {
    MakeAudioTrack(1, 1);
    // One bar at bar 4: its end, bar 5, reads "5 end of part"; a two-bar part's bar 5 is "5".
    _TPart* oneBar = AddSamplePart(1, 2880, 960);
    _TPart* twoBars = AddSamplePart(1, 2880 + 3840, 1920);
    OpenAudio(oneBar);
    Repaint();
    const int one = InkColumns(256 + 1, 256 + 64);
    OpenAudio(twoBars);
    Repaint();
    const int two = InkColumns(256 + 1, 256 + 64);
    EXPECT_GT(two, 2);
    EXPECT_GT(one, two + 30) << "no \" end of part\" after the 5";
    // A part starting inside a bar labels its first bar line with the next bar.
    // Labels "2" (a part at 480 and one at bar 2) and "1".
    std::vector<std::uint32_t> labels[3];
    int track = 2;
    for (auto [start, x] : {std::pair{480, 128}, {960, 0}, {0, 0}}) {
        MakeAudioTrack(track, 1);
        OpenAudio(AddSamplePart(track, start, 1920));
        Repaint();
        labels[track++ - 2] = RulerBox(x);
    }
    EXPECT_EQ(labels[0], labels[1]);
    EXPECT_NE(labels[1], labels[2]);
}

TEST_F(SampleGrid, CursorBandAndStepCursorAreXorMarks) {
    MakeAudioTrack(1, 2);
    OpenAudio(AddSamplePart(1, 960, 1920, {{0, 0, 60}, {240, 1, 60}}));
    Song->Position = 0;
    Song->LeftLocator = 960;
    Song->RightLocator = 1920;
    Repaint();
    const Surface grid = gui.Capture(s->audio->Handle()), ruler = gui.Capture(s->meter->Handle());
    s->MovePlayCursor(960 + 240);
    EXPECT_FALSE(SameSurface(gui.Capture(s->audio->Handle()), grid));
    s->MovePlayCursor(960 + 240);
    EXPECT_TRUE(SameSurface(gui.Capture(s->audio->Handle()), grid));
    s->DrawLocators();
    EXPECT_FALSE(SameSurface(gui.Capture(s->meter->Handle()), ruler));
    s->DrawLocators();
    EXPECT_TRUE(SameSurface(gui.Capture(s->meter->Handle()), ruler));
    s->EnterMode(2);
    const Surface stepped = gui.Capture(s->audio->Handle());
    s->DrawStepCursor();
    EXPECT_FALSE(SameSurface(gui.Capture(s->audio->Handle()), stepped));
    s->DrawStepCursor();
    EXPECT_TRUE(SameSurface(gui.Capture(s->audio->Handle()), stepped));
    // Locators the wrong way round: no band.
    Song->LeftLocator = 1920;
    Song->RightLocator = 960;
    Repaint();
    const Surface none = gui.Capture(s->meter->Handle());
    s->DrawLocators();
    EXPECT_TRUE(SameSurface(gui.Capture(s->meter->Handle()), none));
}

TEST_F(SampleGrid, TheViewFollowsThePlayCursorOnlyWhileTheSongRuns) {
    MakeAudioTrack(1, 1);
    OpenAudio(AddSamplePart(1, 0, 960 * 20));
    const int w = s->audio->GetClientWidth();
    const int at = 3000; // x 800 at 16 pixels a sixteenth
    for (auto [state, dragging, follows] :
         {std::tuple{0, false, false}, {2, true, false}, {2, false, true}}) {
        s->ScrollX->SetPosition(0);
        s->ScrollX->Changed();
        Song->State = state;
        s->Dragging = dragging;
        s->MovePlayCursor(at);
        s->MovePlayCursor(at);
        EXPECT_EQ(s->ScrollX->Position, follows ? 800 - w / 4 : 0) << state << dragging;
    }
    Song->State = 0;
    s->Dragging = false;
}

} // namespace
