#include "songdump/dump.h"

#include "devices/dxsounds.h"
#include "devices/mfx.h"
#include "devices/midimsg.h"
#include "song/automation.h"
#include "song/disk.h"
#include "song/seams.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/songfile_items.h"
#include "song/subengine.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::string Hex(std::uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c < 0x20 || c == 0x7F)
            out += "\\x" + Hex(c, 2);
        else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

std::string Num(float v) {
    std::ostringstream ss;
    ss << v;
    return ss.str();
}

// The fields of an output slot that differ from a fresh slot's. Built as a plain string: a
// song has over 16,000 slots, nearly all fresh, and a stream for each cost more than the rest
// of the dump.
std::string SlotDifferences(const TSoftOut& o, int slot, int channels) {
    std::string s;
    auto add = [&s](const char* field, const std::string& value) {
        s += ' ';
        s += field;
        s += ' ';
        s += value;
    };
    if (!o.Name.empty()) add("name", Quoted(o.Name));
    if (o.Active != (slot == 0 ? 1 : 0)) add("active", std::to_string(o.Active));
    if (o.Volume != 1.0f) add("volume", Num(o.Volume));
    if (o.Pan != 0.0f) add("pan", Num(o.Pan));
    if (o.Bus != -1) add("bus", std::to_string(o.Bus));
    if (o.Mute) add("mute", std::to_string(o.Mute));
    if (o.Solo) add("solo", std::to_string(o.Solo));
    if (o.Channels != channels) add("channels", std::to_string(o.Channels));
    for (int i = 0; o.Sends.Used() && i < SendCount; ++i)
        if (o.Sends[i] != 0.0f) add(("send" + std::to_string(i)).c_str(), Num(o.Sends[i]));
    if (!o.Inserts.empty()) add("inserts", std::to_string(o.Inserts.size()));
    return s;
}

// Channels: what a fresh slot of the owner holds (a softsynth's are mono until its pins say).
void DumpSlots(std::ostringstream& out, const char* indent, const TSoftOuts& slots,
               int channels = 0) {
    for (int s = 0; s < OutputSlotCount; ++s) {
        std::string diff = SlotDifferences(slots[s], s, channels);
        if (!diff.empty()) out << indent << "output " << s << diff << "\n";
    }
}

void DumpEvent(std::ostringstream& out, const _TEvent& e, std::int64_t tick) {
    out << "    " << tick << " " << DecodeMessage(e.Msg);
    if (const std::uint8_t* block = EventBlock(e)) {
        out << " [";
        for (int i = 0; i < e.DataLen; ++i)
            out << (i ? " " : "") << Hex(block[i], 2);
        out << "]";
    } else if (std::holds_alternative<std::uint32_t>(e.Data)) {
        out << " value " << Hex(EventValue(e), 8);
    }
    if (e.Flags) out << " flags " << Hex(e.Flags, 2);
    out << "\n";
}

void DumpTrack(std::ostringstream& out, const _TTrack& t, int index) {
    out << "track " << index + 1 << " " << Quoted(t.Name) << " mode " << t.Mode << " channel "
        << t.Channel << " output " << t.Output << "\n";
    auto field = [&](const char* name, int value, int def) {
        if (value != def) out << "  " << name << " " << value << "\n";
    };
    field("program", t.Program, -1);
    field("bank", t.Bank, -1);
    field("volume", t.Volume, -1);
    field("pan", t.Pan, -1);
    field("reverb", t.Reverb, -1);
    field("chorus", t.Chorus, -1);
    field("fx", t.FX, -1);
    field("layout", t.Layout, 256);
    field("transpose", t.Transpose, 0);
    field("offset", t.Offset, 0);
    field("mute", t.Mute, 0);
    if (!t.UserFile.empty()) out << "  userfile " << Quoted(t.UserFile) << "\n";
    for (std::size_t i = 0; i < t.Samples.size(); ++i) {
        const TSample& s = *t.Samples[i];
        out << "  sample " << i << " index " << s.Index << " pan " << s.Pan << " mute " << s.Mute
            << " fr " << s.FR << " bus " << s.Bus << " volume " << Num(s.Volume) << "\n";
    }
    for (std::size_t i = 0; i < t.AutoPlugs.size(); ++i) {
        const TAutoPlug& a = *t.AutoPlugs[i];
        out << "  autofx " << i << " " << Quoted(a.Id.Code) << " " << a.Id.Ind1 << " " << a.Id.Ind2
            << " " << a.Id.Ind3 << " plugin " << (a.Plugin ? 1 : 0) << " automated "
            << (a.Plugin && a.Plugin->Automated ? 1 : 0) << " params";
        for (int p = 0; p < a.ParamCount && p < MaxAutoParams; ++p)
            out << " " << a.Params[static_cast<std::size_t>(p)].Param << "/"
                << a.Params[static_cast<std::size_t>(p)].Kind;
        out << "\n";
    }
    if (t.MixChannel) out << "  mixchannel\n";
    DumpSlots(out, "  ", t.Outputs);
    for (const _TPart* p = t.Parts; p; p = p->Next) {
        out << "  part " << Quoted(p->Name) << " start " << p->Start << " length " << p->Length
            << " endtime " << p->EndTime;
        if (p->Flags) out << " flags " << Hex(p->Flags, 2);
        if (p->Group) out << " group " << p->Group;
        if (p->Sample != -1) out << " sample " << p->Sample;
        out << "\n";
        std::int64_t tick = p->Start;
        for (const _TEvent* e = p->Events; e; e = e->Next)
            DumpEvent(out, *e, tick += e->Delta);
    }
}

// A plug-in: its name as the song file stores it, whether it loaded, its parameters and the
// size of its state.
std::string PluginText(TMFX& P, bool Effect) {
    std::string s = "plugin " + Quoted(StoredPluginName(P.Path, Effect)) + " loaded " +
                    std::to_string(P.Loaded ? 1 : 0);
    if (int n = P.NumParams()) {
        s += " params";
        for (int i = 0; i < n; ++i)
            s += " " + Num(static_cast<float>(P.GetParameter(i)));
    }
    void* data = nullptr;
    std::intptr_t size = 0;
    if (P.Loaded && P.Kind == 0)
        size = P.Command(MFX_STATE, -1, reinterpret_cast<std::intptr_t>(&data));
    else if (P.Loaded && P.Effect && (P.Effect->flags & effFlagsProgramChunks))
        size = P.Dispatch(effGetChunk, 0, 0, &data);
    if (size > 0 && data) {
        s += " state";
        const auto* b = static_cast<const std::uint8_t*>(data);
        for (std::intptr_t i = 0; i < size && i < 64; ++i)
            s += " " + Hex(b[i], 2);
        if (size > 64) s += " ... (" + std::to_string(size) + " bytes)";
    }
    return s;
}

void DumpBus(std::ostringstream& out, const std::string& indent, const TSub& b) {
    out << indent << "bus kind " << b.Kind << " output " << b.Output << " dock " << b.Docked
        << " editor " << b.EditorShown;
    if (b.HasPlugin()) out << " active " << b.Plugin->Enabled;
    if (b.Kind == skGroupVolume) out << " volume " << Num(b.Volume);
    if (b.Channel) out << " show " << b.Channel->Show;
    if (b.Kind != skGroupVolume) out << " " << PluginText(*b.Plugin, true);
    out << "\n";
}

void DumpInserts(std::ostringstream& out, const std::string& what, const TSoftOuts& slots) {
    for (int s = 0; s < OutputSlotCount; ++s)
        for (const TSub* b : slots[static_cast<std::size_t>(s)].Inserts)
            DumpBus(out, what + " output " + std::to_string(s) + " insert ", *b);
}

// The song's records beyond its tracks: disk samples, buses, softsynths, areas, fader rows,
// the master's strip and the sample pool.
void DumpRecords(std::ostringstream& out, const TSong& S) {
    for (std::size_t i = 0; i < S.DiskSamples.size(); ++i)
        out << "disksample " << i << " " << Quoted(S.DiskSamples[i]->FileName) << " internal "
            << S.DiskSamples[i]->Internal << " open " << int(S.DiskSamples[i]->Opened) << "\n";
    DumpInserts(out, "disk", S.DiskOutputs);
    for (int t = 0; t < TrackCount; ++t)
        DumpInserts(out, "track " + std::to_string(t + 1),
                    S.Tracks[static_cast<std::size_t>(t)]->Outputs);
    if (SubEngine) {
        for (const TSub* b : SubEngine->Buses)
            DumpBus(out, "", *b);
        for (const TSub* b : SubEngine->MasterBuses)
            DumpBus(out, "master ", *b);
    }
    if (SoftEngine)
        for (int i = 0; i < SoftEngine->Count(); ++i) {
            TSoftItem& item = *SoftEngine->Items[static_cast<std::size_t>(i)];
            TEditorPlacement p = SoftsynthWindows().Placement(item);
            out << "softsynth " << i << " outputs " << item.OutputCount << " show "
                << (item.Channel ? item.Channel->Show : 0) << " window " << p.Left << " " << p.Top
                << " " << p.Width << " " << p.Height << " rolledup " << p.RolledUp << " visible "
                << p.Visible << " " << PluginText(*item.Plugin, false) << "\n";
            DumpSlots(out, "  ", item.Outputs, 1);
            DumpInserts(out, "softsynth " + std::to_string(i), item.Outputs);
        }
    for (const TSongArea& a : SongFileHost().Areas())
        out << "area " << Quoted(a.Name) << " " << a.Left << " " << a.Right << "\n";
    std::vector<int> faders = MidiEditors().FaderControllers();
    if (!faders.empty()) {
        out << "faders";
        for (int c : faders)
            out << " " << c;
        out << "\n";
    }
    if (S.MasterChannel && S.MasterChannel->Show)
        out << "master show " << S.MasterChannel->Show << "\n";
    if (S.SamplePool && S.SamplePool->Items.Count())
        out << "samplepool " << S.SamplePool->Items.Count() << " samples\n";
}

} // namespace

std::string DecodeMessage(std::uint32_t Msg) {
    std::uint32_t kind = MidiStatus(Msg), ch = MidiChannel(Msg) + 1;
    std::uint32_t d1 = MidiData1(Msg), d2 = MidiData2(Msg), b3 = MidiByte3(Msg);
    std::ostringstream ss;
    switch (kind) {
    case 0x80:
        ss << "note off " << ch << " " << MidiNoteName(int(d1)) << " " << d2;
        break;
    case 0x90:
        ss << (d2 ? "note on " : "note off ") << ch << " " << MidiNoteName(int(d1)) << " " << d2;
        break;
    case 0xA0:
        ss << "poly pressure " << ch << " " << MidiNoteName(int(d1)) << " " << d2;
        break;
    case 0xB0:
        ss << "controller " << ch << " " << d1 << " " << d2;
        break;
    case 0xC0:
        ss << "program " << ch << " " << d1;
        break;
    case 0xD0:
        ss << "channel pressure " << ch << " " << d1;
        break;
    case 0xE0:
        ss << "pitch bend " << ch << " " << (d1 | (d2 << 7));
        break;
    case msAweParam:
        ss << "sound-card " << ch << " param " << d1 << " " << AweParamValue(Msg);
        break;
    case msSampleOn:
        ss << "sample on slot " << d1 << " volume " << d2 << " pan " << b3;
        break;
    case msSampleOff:
        ss << "sample off slot " << d1;
        break;
    case msSysex:
        ss << (d1 == 0 ? "sysex" : d1 == 1 ? "value" : "system") << " " << Hex(Msg, 8);
        break;
    default:
        ss << "message " << Hex(Msg, 8);
        break;
    }
    if (b3 && kind != msAweParam && kind != msSampleOn && kind != msSysex) ss << " byte3 " << b3;
    return ss.str();
}

std::string DumpSong(const TSong& S) {
    std::ostringstream out;
    out << "song " << Quoted(S.FileName) << "\n";
    out << "  folder " << Quoted(S.Folder) << "\n";
    out << "  beatsperbar " << S.BeatsPerBar << " editres " << S.EditRes << " grid "
        << S.GridTicks() << "\n";
    out << "  locators " << S.LeftLocator << " " << S.RightLocator << " position " << S.Position
        << " playstart " << S.PlayStart << "\n";
    out << "  currenttrack " << S.CurrentTrackIndex << " solotrack " << S.SoloTrack << " state "
        << S.State << " loopon " << int(S.LoopOn) << " looping " << int(S.Looping) << "\n";
    out << "  untitled " << int(S.Untitled) << " modified " << int(S.Modified) << " midifile "
        << int(S.IsMidiFile) << " inputquantize " << int(S.InputQuantize) << "\n";
    out << "  synctoaudio " << int(S.SyncToAudio) << " precounts " << S.Precounts
        << " respondtostartstop " << int(S.RespondToStartStop) << " metronomeon "
        << int(S.MetronomeOn) << "\n";
    out << "  master volume " << Num(S.MasterOut.Volume) << " pan " << Num(S.MasterOut.Pan)
        << " bus " << S.MasterOut.Bus << " active " << S.MasterOut.Active << "\n";
    DumpSlots(out, "  disk ", S.DiskOutputs);
    out << "defaults of a track: program -1 bank -1 volume -1 pan -1 reverb -1 chorus -1 fx -1 "
           "layout 256 transpose 0 offset 0 mute 0; output 0 active, the others not; volume 1 "
           "pan 0 bus -1, no sends\n";
    for (int i = 0; i < TrackCount; ++i)
        DumpTrack(out, *S.Tracks[i], i);
    // The metronome's events form a ring: its two clicks are printed, never walked.
    if (const _TPart* m = S.MetronomePart; m && m->Events && m->Events->Next) {
        const _TTrack& t = *S.MetronomeTrack();
        out << "metronome channel " << t.Channel << " output " << t.Output << "\n";
        out << "  click " << m->Events->Delta << " " << DecodeMessage(m->Events->Msg) << "\n";
        out << "  click " << m->Events->Next->Delta << " " << DecodeMessage(m->Events->Next->Msg)
            << "\n";
    }
    int clip = 0;
    for (const _TPart* p = S.Clipboard; p; p = p->Next)
        ++clip;
    if (clip) out << "clipboard " << clip << " parts\n";
    DumpRecords(out, S);
    return out.str();
}

std::string DumpEvents(const TSong& S) {
    struct Line {
        int track;
        std::int64_t tick;
        std::size_t order;
        int start;
        std::uint32_t msg;
    };
    std::vector<Line> lines;
    for (int i = 0; i < TrackCount; ++i)
        for (const _TPart* p = S.Tracks[i]->Parts; p; p = p->Next) {
            std::int64_t tick = p->Start;
            for (const _TEvent* e = p->Events; e; e = e->Next)
                lines.push_back({i, tick += e->Delta, lines.size(), p->Start, e->Msg});
        }
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return std::tie(a.track, a.tick, a.order) < std::tie(b.track, b.tick, b.order);
    });
    std::ostringstream out;
    for (const Line& l : lines)
        out << l.track << " " << l.start << " " << l.tick << " " << Hex(l.msg & 0xFF, 2) << " "
            << MidiData1(l.msg) << " " << MidiData2(l.msg) << "\n";
    return out.str();
}
