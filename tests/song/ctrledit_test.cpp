#include "edit_fixture.h"
#include "song/ctrledit.h"
#include "song/gmnames.h"

#include <functional>

namespace {

using CtrlEditTest = EditTest;

std::uint32_t Pb(int value, int channel = 0) {
    return PackMidiMsg(0xE0 + channel, value & 127, value >> 7);
}
std::uint32_t Pc(int program) {
    return PackMidiMsg(0xC0, program, 0);
}
std::uint32_t Awe(int param, int value) {
    return PackAweParam(0, param, value);
}

} // namespace

TEST_F(CtrlEditTest, SetValueAtTheEventBeforeATick) {
    _TPart* p = AddPart(0, 0, 960,
                        {{0, Cc(7, 10)},
                         {100, Cc(7, 20)},
                         {100, Cc(10, 5)},
                         {200, Pb(0)},
                         {300, Pc(4)},
                         {400, Cc(7, 30)}});
    SetLaneValueAt(p, 400, 99, 2, 7); // the event at 400 is not before 400
    SetLaneValueAt(p, 400, 8192, 1, 0);
    SetLaneValueAt(p, 301, 200, 5, 0);
    SetLaneValueAt(p, 0, 1, 2, 7);   // nothing before 0
    SetLaneValueAt(p, 900, 1, 3, 7); // no such lane
    EXPECT_EQ(Events(p), (Ev{{0, Cc(7, 10)},
                             {100, Cc(7, 99)},
                             {100, Cc(10, 5)},
                             {200, PackMidiMsg(0xE0, 0, 64)},
                             {300, Pc(127)},
                             {400, Cc(7, 30)}}));
}

TEST_F(CtrlEditTest, VelocitySampleAndParameterAtATick) {
    _TPart* p = AddPart(0, 0, 960,
                        {{0, On(60)},
                         {100, On(62)},
                         {100, On(64)},
                         {150, Off(60)},
                         {200, Off(62)},
                         {200, Off(64)}});
    SetVelocityAt(p, 101, 200, false); // the chord at 100 together
    EXPECT_EQ(Events(p)[1].second, On(62, 127));
    EXPECT_EQ(Events(p)[2].second, On(64, 127));
    EXPECT_EQ(Events(p)[0].second, On(60));
    p->Events->Flags |= efSelected;
    SetVelocityAt(p, 500, 0, true);
    EXPECT_EQ(Events(p)[0].second, On(60, 1));

    Song->Clear();
    std::uint32_t sOn = PackMidiMsg(0x20, 2, 100) | (30u << 24);
    p = AddPart(0, 0, 960, {{0, sOn}, {10, PackMidiMsg(0x30, 2, 0)}, {20, Awe(5, 100)}});
    SetSampleNoteValueAt(p, 5, 500, false, 2);
    EXPECT_EQ(p->Events->Msg, PackMidiMsg(0x20, 2, 100) | (127u << 24));
    SetSampleNoteValueAt(p, 5, -3, true, 2);
    EXPECT_EQ(p->Events->Msg, PackMidiMsg(0x20, 2, 1) | (127u << 24));
    SetParamValueAt(p, 21, -8192, 5);
    EXPECT_EQ(EventAt(p, 2)->Msg, PackMidiMsg(0x10, 5, 0));
    SetParamValueAt(p, 21, 0, 5);
    EXPECT_EQ(EventAt(p, 2)->Msg, PackMidiMsg(0x10, 5, 64));
}

TEST_F(CtrlEditTest, ChangeAndLimitValues) {
    _TPart* p = AddPart(0, 0, 960,
                        {{0, Cc(7, 120)},
                         {10, Cc(7, 5)},
                         {20, Cc(1, 50)},
                         {30, Pb(16000)},
                         {40, On(60, 90)},
                         {50, Off(60)}});
    ChangeLaneValues(p, 2, 10, 2, false, 7);
    EXPECT_EQ(Undo().Caption, "Undo controller");
    EXPECT_EQ(EventAt(p, 0)->Msg, Cc(7, 127));
    EXPECT_EQ(EventAt(p, 1)->Msg, Cc(7, 15));
    EXPECT_EQ(EventAt(p, 2)->Msg, Cc(1, 50));
    ChangeLaneValues(p, 2, 1000, 1, false, 0);
    EXPECT_EQ(Undo().Caption, "Undo pitch bend");
    EXPECT_EQ(EventAt(p, 3)->Msg, Pb(16383));
    ChangeLaneValues(p, 0, 3, 5, false, 0);
    EXPECT_EQ(Undo().Caption, "Undo program change");
    LimitControllerRange(p, 7, 20, 10);
    EXPECT_EQ(Undo().Caption, "Undo controller range");
    EXPECT_EQ(EventAt(p, 0)->Msg, Cc(7, 10));
    EXPECT_EQ(EventAt(p, 1)->Msg, Cc(7, 10));
    LimitVelocityRange(p, 0, 0); // a note on never gets velocity 0
    EXPECT_EQ(Undo().Caption, "Undo velocity range");
    EXPECT_EQ(EventAt(p, 4)->Msg, On(60, 1));
    EXPECT_TRUE(CheckNotePairing(*p));
}

TEST_F(CtrlEditTest, Ramps) {
    _TPart* p =
        AddPart(0, 0, 960, {{0, Cc(7, 0)}, {480, Cc(7, 0)}, {480, Cc(1, 0)}, {959, Cc(7, 0)}});
    RampLaneValues(p, 7, 0, 2, 200, 0, 480); // the line runs past 127: limited
    EXPECT_EQ(Events(p), (Ev{{0, Cc(7, 0)}, {480, Cc(7, 127)}, {480, Cc(1, 0)}, {959, Cc(7, 0)}}));
    RampLaneValues(p, 7, 0, 2, 100, 0, -1);
    EXPECT_EQ(Events(p)[1].second, Cc(7, 50));
    EXPECT_EQ(Events(p)[3].second, Cc(7, 99)); // 959 * 100 / 960 floors to 99
    Song->Clear();
    p = AddPart(0, 0, 960, {{0, Pb(0)}, {960 - 1, Pb(0)}});
    RampLaneValues(p, 0, 0, 1, 16383, 8192, 959);
    EXPECT_EQ(Events(p), (Ev{{0, Pb(8192)}, {959, Pb(16382)}}));

    Song->Clear();
    p = AddPart(0, 0, 960,
                {{0, PackMidiMsg(0x20, 1, 50)},
                 {10, PackMidiMsg(0x30, 1, 0)},
                 {100, Awe(16, 0)},
                 {200, Awe(16, 0)}});
    RampSampleNoteValues(p, 0, 100, true, 1, 127, 0);
    EXPECT_EQ(p->Events->Msg, PackMidiMsg(0x20, 1, 1));
    RampSampleNoteValues(p, 0, 100, false, 1, 127, 90);
    EXPECT_EQ(p->Events->Msg, PackMidiMsg(0x20, 1, 1) | (90u << 24));
    // Lane values 0 (limited to 1) and 127 (the floor helper takes an odd whole number down).
    RampParamValues(p, 16, 100, 127, 0, 200);
    EXPECT_EQ(AweParamValue(EventAt(p, 2)->Msg), AweValueFromLane(16, 1));
    EXPECT_EQ(AweParamValue(EventAt(p, 3)->Msg), AweValueFromLane(16, 126));
}

TEST_F(CtrlEditTest, ChangeAndSelectAroundATick) {
    Song->EditRes = 16; // a 60-tick grid
    _TPart* p = AddPart(
        0, 0, 960,
        {{0, Cc(7, 10)}, {100, Cc(7, 20)}, {100, Cc(7, 30)}, {150, Cc(7, 40)}, {170, Cc(7, 50)}});
    Song->ChangeLaneValueAt(p, 5, 7, 2, 120);
    // From the first of the group at 100 up to 180, exclusive.
    EXPECT_EQ(Events(p), (Ev{{0, Cc(7, 10)},
                             {100, Cc(7, 25)},
                             {100, Cc(7, 35)},
                             {150, Cc(7, 45)},
                             {170, Cc(7, 55)}}));
    EXPECT_EQ(Undo().Caption, "Undo controller value");
    Song->SelectLaneEventsAt(p, 160, 7, 2);
    EXPECT_EQ(CountSelectedEvents(p), 2); // the anchor at 150 and the event at 170
    // Before every lane event: the first one after the tick is the anchor.
    Song->SelectLaneEventsAt(p, -100, 7, 2);
    EXPECT_EQ(CountSelectedEvents(p), 0); // it lies past -100 + 60
    Song->SelectLaneEventsAt(p, -30, 7, 2);
    EXPECT_EQ(CountSelectedEvents(p), 1);
    // No lane event at all: no undo step.
    Undo().Begin(0, "Undo");
    Song->ChangeLaneValueAt(p, 5, 11, 2, 120);
    EXPECT_EQ(Undo().Kind, 0);
}

TEST_F(CtrlEditTest, DeletingControllersSendsTheirResets) {
    Track(0)->Output = 3;
    _TPart* p = AddPart(0, 0, 960,
                        {{0, Cc(7, 10)},
                         {10, Cc(10, 20)},
                         {20, On(60)},
                         {30, Cc(7, 11)},
                         {40, Off(60)},
                         {50, Cc(64, 127)}});
    DeleteControllers(p, 7);
    EXPECT_EQ(Events(p), (Ev{{10, Cc(10, 20)}, {20, On(60)}, {40, Off(60)}, {50, Cc(64, 127)}}));
    ASSERT_EQ(midi.Sent.size(), 2u);
    EXPECT_EQ(midi.Sent[0].Port, 3);
    EXPECT_EQ(SentMessages(), (std::vector<std::uint32_t>{Cc(7, 127), Cc(7, 127)}));
    DeleteControllers(p, -1);
    EXPECT_EQ(SentMessages(), (std::vector<std::uint32_t>{Cc(10, 63), Cc(64, 0)}));
    EXPECT_EQ(Events(p), (Ev{{20, On(60)}, {40, Off(60)}}));
    EXPECT_TRUE(CheckPartInvariants(*p));
    // A track without a channel of its own: each reset on its event's channel.
    Track(0)->Channel = -1;
    AppendEvent(p, NewEvent(10, Cc(7, 1, 9)));
    DeleteControllers(p, 7);
    EXPECT_EQ(SentMessages(), std::vector<std::uint32_t>{Cc(7, 127, 9)});
}

TEST_F(CtrlEditTest, DeletingParametersAndStatusKinds) {
    _TPart* p = AddPart(
        0, 0, 960, {{0, Awe(3, 1)}, {10, Awe(4, 1)}, {20, On(60)}, {30, Pc(1)}, {40, Off(60)}});
    EXPECT_TRUE(Song->PartHasParam(p, 4));
    EXPECT_FALSE(Song->PartHasParam(p, 5));
    EXPECT_TRUE(Song->PartHasStatus(p, 0xC0));
    EXPECT_FALSE(Song->PartHasController(p, 7));
    DeleteParamEvents(p, 3);
    EXPECT_EQ(Events(p), (Ev{{10, Awe(4, 1)}, {20, On(60)}, {30, Pc(1)}, {40, Off(60)}}));
    DeleteParamEvents(p, -1);
    DeleteEventsOfStatus(p, 0xC0);
    EXPECT_EQ(Events(p), (Ev{{20, On(60)}, {40, Off(60)}}));
}

TEST_F(CtrlEditTest, CommandsUndoToTheOriginal) {
    struct Case {
        const char* caption;
        std::function<void(_TPart*)> command;
    } cases[] = {
        {"Undo delete", [](_TPart*) { Song->DeleteControllersSelectedParts(-1); }},
        {"Undo delete", [](_TPart*) { Song->DeleteParamsSelectedParts(-1); }},
        {"Undo delete", [](_TPart*) { Song->DeleteStatusSelectedParts(0x90); }},
        {"Undo controller", [](_TPart* p) { ChangeLaneValues(p, 0, 3, 2, false, 7); }},
        {"Undo controller value", [](_TPart* p) { Song->ChangeLaneValueAt(p, -9, 7, 2, 30); }},
        {"Undo controller range", [](_TPart* p) { LimitControllerRange(p, 7, 50, 60); }},
        {"Undo velocity range", [](_TPart* p) { LimitVelocityRange(p, 1, 10); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        Song->Clear();
        _TPart* p = AddPart(
            0, 0, 960,
            {{0, Cc(7, 10)}, {10, Awe(4, 1)}, {20, On(60)}, {30, Cc(7, 90)}, {40, Off(60)}});
        AddPart(1, 0, 960, {{0, Cc(1, 10)}, {20, On(60)}, {40, Off(60)}});
        std::string before = Snapshot();
        c.command(p);
        EXPECT_EQ(Undo().Kind, 16);
        EXPECT_EQ(Undo().Caption, c.caption);
        EXPECT_NE(Snapshot(), before);
        EXPECT_TRUE(CheckSongInvariants(*Song));
        Song->Undo();
        EXPECT_TRUE(SameText(before, Snapshot()));
    }
    Song->UnselectAllParts();
    Song->DeleteControllersSelectedParts(-1);
    EXPECT_EQ(Undo().Kind, 0);
}

TEST(GmNames, LaneNames) {
    struct Case {
        int code;
        const char* shortName;
        const char* longName;
    } cases[] = {
        {-4, "Vel", "Velocity"},
        {-3, "PB", "Pitch bend"},
        {-2, "PC", "Program change"},
        {-1, "Sys", "Sysex"},
        {0, "BS", "Bank select"},
        {3, "C3", "Controller 3"},
        {7, "Vol", "Main volum"},
        {9, "C9", "Controller 9"},
        {11, "EC", "Expression Controller"},
        {12, "FX1", "Effect controll 1"},
        {13, "FX2", "Effect controll 2"},
        {91, "Rev", "Reverb"},
        {93, "Cho", "Chorus"},
        {127, "C127", "Controller 127"},
    };
    for (const Case& c : cases) {
        std::string s, l;
        ControllerShortName(c.code, s);
        ControllerLongName(c.code, l);
        EXPECT_EQ(s, c.shortName) << c.code;
        EXPECT_EQ(l, c.longName) << c.code;
    }
}

TEST(GmNames, ProgramFamilyAndDrumTables) {
    EXPECT_EQ(GmProgramNames[0], "Acoustic Grand");
    EXPECT_EQ(GmProgramNames[21], "Accoridan");
    EXPECT_EQ(GmProgramNames[23], "Tango Accordian");
    EXPECT_EQ(GmProgramNames[77], "Skakuhachi");
    EXPECT_EQ(GmProgramNames[87], "Lead 8 (bass+lead)");
    EXPECT_EQ(GmProgramNames[127], "Gunshot");
    for (std::string_view name : GmProgramNames)
        EXPECT_FALSE(name.empty());
    EXPECT_EQ(GmFamilyNames[1], "Chromatic Percussion");
    EXPECT_EQ(GmFamilyNames[15], "Sound Effects");
    EXPECT_EQ(GsDrumKits[6].Name, "TR808 & TR909");
    EXPECT_EQ(GsDrumKits[14].Name, "Rhytm FX");
    EXPECT_EQ(GsDrumKits[14].Program, 57);
    EXPECT_EQ(GsDrumKits[15].Program, 127);
}

TEST(GmNames, SoundCardParameters) {
    std::string s = "kept";
    AweParamName(27, s);
    AweParamName(-1, s);
    EXPECT_EQ(s, "kept");
    AweParamName(20, s);
    EXPECT_EQ(s, "Env1ToVolum");
    AweParamName(23, s);
    EXPECT_EQ(s, "LFO1ToFilterCutoff");
    struct Case {
        int param, lane, value;
    } from[] = {
        {16, 0, -8192}, {16, 127, 8192}, {23, 0, -64},  {0, 127, 5900}, {5, 1, 47},
        {6, 127, 8191}, {17, 0, -127},   {25, 64, 129}, {21, 77, 77},   {99, 5, 5},
    };
    for (const Case& c : from)
        EXPECT_EQ(AweValueFromLane(c.param, c.lane), c.value) << c.param << " " << c.lane;
    EXPECT_EQ(AweValueToLane(16, 0), 64); // 63.5 to the even 64
    EXPECT_EQ(AweValueToLane(23, -64), 0);
    EXPECT_EQ(AweValueToLane(0, 5900), 127);
    EXPECT_EQ(AweValueToLane(17, 0), 63); // 63.25
}
