#include "song/songfile_old.h"

#include "devices/dxsounds.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "platform/core/paths.h"
#include "song/filehelpers.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/sidefile.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/textconv.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>

namespace {

// ---- the versions ----------------------------------------------------------------------------

// What a version stores beyond the first one.
enum TOldFeature : unsigned {
    ofMagicChecked = 1u << 0, // the reader compares the magic with its own
    ofMute = 1u << 1,         // track mute, part flags
    ofMixer = 1u << 2,        // track bank, volume, pan and transpose
    ofKeywords = 1u << 3,     // sections behind keywords in place of the flat layout
    ofTrackType = 1u << 4,    // a track type in front of each track; "AWE"
    ofNameList = 1u << 5,     // a name list behind a track type 1
    ofSysex = 1u << 6,        // events with system-exclusive blocks
    ofPositions = 1u << 7,    // "Positions" (later "???")
    ofEffects = 1u << 8,      // track reverb and chorus; "???"
    ofAudio = 1u << 9,        // "Version", "Audio"
    ofLayout = 1u << 10,      // track layout and user bank file; "MFX"
    ofSoftsynth = 1u << 11,   // "Softsynth"; part flags with the redraw bit; "MFX" doubles
    ofBeats = 1u << 12,       // "BeatsInBar", "Softsynth2", track FX
};

struct TOldVersion {
    std::string_view Magic;
    int Tracks;
    unsigned Features;
    // What a section the version does not know shows, under "Open song".
    std::string_view UnknownText;
    unsigned UnknownIcon;
};

constexpr std::string_view LaterVersion = "You need a later version of Tolvern to read this song";
constexpr std::string_view NewerVersion = "You need a newer version of Tolvern to read this file";
constexpr unsigned Info = platform::MB_ICONINFORMATION;
constexpr unsigned Stop = platform::MB_ICONSTOP;

constexpr unsigned F01 = ofMagicChecked | ofMute;
constexpr unsigned F02 = F01 | ofMixer;
constexpr unsigned F3202 = F02 | ofKeywords | ofPositions;
constexpr unsigned F3203 = F3202 | ofTrackType | ofNameList;
constexpr unsigned F3204 = F3203 | ofSysex;
constexpr unsigned F3205 = (F3204 & ~ofPositions) | ofEffects;
constexpr unsigned F3206 = (F3205 & ~ofNameList) | ofAudio;
constexpr unsigned F3207 = F3206 | ofLayout;
constexpr unsigned F3208 = F3207 | ofSoftsynth;
constexpr unsigned F3209 = F3208 | ofBeats;

constexpr TOldVersion Versions[] = {
    {"Tolvern", 16, 0, "", 0},
    {"Tolvern01", 16, F01, "", 0},
    {"Tolvern02", 16, F02, "", 0},
    {"Tolvern3201", 32, F02, "", 0},
    {"Tolvern3202", 32, F3202, LaterVersion, Info},
    {"Tolvern3203", 32, F3203, NewerVersion, Info},
    {"Tolvern3204", 32, F3204, NewerVersion, Info},
    {"Tolvern3205", 32, F3205, NewerVersion, Info},
    {"Tolvern3206", 32, F3206, NewerVersion, Info},
    {"Tolvern3207", 32, F3207, NewerVersion, Stop},
    {"Tolvern3208", 32, F3208, NewerVersion, Stop},
    {"Tolvern3209", 32, F3209, NewerVersion, Stop},
};

// ---- the reading ------------------------------------------------------------------------------

struct TOldReader {
    const TOldVersion& V;
    std::string FileName;
    std::string StoredName; // the song's name inside the file
    int FileVersion = 0;    // "Version", 0 when missing
    bool Damaged = false;
    bool Stopped = false; // a section the version does not know

    bool Has(unsigned Feature) const { return (V.Features & Feature) != 0; }
};

// The values read since the last cut are all there: a read beyond the end gives zeros, and
// nothing is taken from one.
bool Whole() {
    return !MapTruncated;
}

std::int32_t ReadInt() {
    return MapReadInt32BE();
}

std::string ReadString() {
    std::string s;
    MapReadString(s);
    return s;
}

// Runs F(i) for i from 0 while i < Count and the file still holds a record of MinSize bytes:
// no count is trusted, and one the file cannot hold marks it damaged.
template <class F> void Repeat(TOldReader& R, std::int64_t Count, int MinSize, F f) {
    for (std::int64_t i = 0; i < Count; ++i) {
        if (!Whole() || MapAvailable() < MinSize) {
            R.Damaged = true;
            return;
        }
        f(static_cast<int>(i));
    }
}

void SkipInts(int N) {
    MapSkip(4 * N);
}

// The value 200 stands for none.
int None200(int V) {
    return V == 200 ? -1 : V;
}

// A mixer value outside the data bytes is not set.
int DataByteOrNone(int V) {
    V = None200(V);
    return V >= 0 && V <= 127 ? V : -1;
}

// ---- tracks and parts ------------------------------------------------------------------------

void ReadPart(TOldReader& R, int TrackIndex) {
    std::string name = ReadString();
    int start = ReadInt();
    int length = ReadInt();
    ReadInt(); // the stored track: the part belongs to the track being read
    std::uint32_t flags = R.Has(ofMute) ? static_cast<std::uint32_t>(ReadInt()) : 0;
    if (R.Has(ofSoftsynth)) flags |= pfRedraw;
    std::int32_t count = ReadInt();
    if (!Whole()) return;
    _TTrack* track = Song->TrackAt(TrackIndex);
    _TPart* part = NewPart(std::move(name), start, length > 0 ? length : BarTicks(), TrackIndex);
    if (R.Has(ofMute)) part->Flags = flags;
    bool linked = InsertPart(track, part);
    const bool sysex = R.Has(ofSysex);
    Repeat(R, count, 8,
           [&](int) { AppendEvent(part, sysex ? MapReadEventSysex() : MapReadEvent()); });
    if (!linked) FreePart(part); // the track refused it: its events go with it
}

// The track's fields, as the new song has them until the file says otherwise.
struct TTrackFields {
    int Mode, Channel, Output, Program, Bank, Volume, Pan, Reverb, Chorus, Transpose, Layout;
    bool Mute;
    std::string Name, UserFile;

    explicit TTrackFields(const _TTrack& T)
        : Mode(T.Mode), Channel(T.Channel), Output(T.Output), Program(T.Program), Bank(T.Bank),
          Volume(T.Volume), Pan(T.Pan), Reverb(T.Reverb), Chorus(T.Chorus), Transpose(T.Transpose),
          Layout(T.Layout), Mute(T.Mute != 0), Name(T.Name), UserFile(T.UserFile) {}
};

void ReadTrackFields(TOldReader& R, TTrackFields& F) {
    if (R.Has(ofTrackType)) {
        int type = ReadInt();
        F.Mode = type == 1 ? tmAudio : type == 2 ? tmSoftsynth : tmMidi;
        if (R.Has(ofNameList) && type == 1) Repeat(R, ReadInt(), 1, [](int) { ReadString(); });
    }
    F.Name = ReadString();
    int channel = None200(ReadInt());
    if (channel >= -1 && channel <= 15) F.Channel = channel; // else the new song's channel
    F.Output = ReadInt();
    // A softsynth track's output is a softsynth number, not a port.
    if (F.Mode != tmSoftsynth && F.Output >= MidiOutCount) F.Output = 0;
    F.Program = None200(ReadInt());
    if (R.Has(ofMixer)) {
        F.Bank = None200(ReadInt());
        F.Volume = DataByteOrNone(ReadInt());
        F.Pan = DataByteOrNone(ReadInt());
    }
    if (R.Has(ofEffects)) {
        F.Reverb = DataByteOrNone(ReadInt());
        F.Chorus = DataByteOrNone(ReadInt());
    }
    if (R.Has(ofMixer)) F.Transpose = ReadInt();
    if (R.Has(ofMute)) F.Mute = ReadInt() == 1;
    if (R.Has(ofLayout)) {
        F.Layout = ReadInt();
        if (F.Layout & 4096) F.UserFile = ReadString();
    }
}

void ApplyTrackFields(const TTrackFields& F, _TTrack& T) {
    T.Mode = F.Mode;
    T.Name = F.Name;
    T.Channel = F.Channel;
    T.Output = F.Output;
    T.Program = F.Program;
    T.Bank = F.Bank;
    T.Volume = F.Volume;
    T.Pan = F.Pan;
    T.Reverb = F.Reverb;
    T.Chorus = F.Chorus;
    T.Transpose = F.Transpose;
    T.Mute = F.Mute ? 1 : 0;
    T.Layout = F.Layout;
    T.UserFile = F.UserFile;
}

void ReadTrack(TOldReader& R, int Index) {
    _TTrack& track = *Song->TrackAt(Index);
    TTrackFields f(track);
    ReadTrackFields(R, f);
    if (!Whole()) return;
    ApplyTrackFields(f, track);
    // The bank and program go out at once; the set-up of every MIDI track follows the reading.
    // The first versions send nothing for a track without a program.
    const bool first = !R.Has(ofMixer);
    if (Midi && f.Mode == tmMidi && (!first || f.Program != -1))
        Midi->SendProgramChange(f.Output, f.Channel, f.Bank, f.Program, f.Layout & 255);
    if (R.Has(ofBeats)) {
        int fx = ReadInt();
        if (Whole()) track.FX = fx;
    }
    std::int32_t parts = ReadInt();
    if (!Whole()) return;
    Repeat(R, parts, 1, [&](int) { ReadPart(R, Index); });
}

void ReadTracks(TOldReader& R) {
    Repeat(R, R.V.Tracks, 1, [&](int i) { ReadTrack(R, i); });
}

// An int holding the index of the last area, then the areas.
void ReadAreas(TOldReader& R) {
    std::int64_t last = ReadInt();
    Repeat(R, last + 1, 1, [](int) {
        std::string name = ReadString();
        int left = ReadInt();
        int right = ReadInt();
        ReadInt();
        if (Whole()) SongFileHost().Areas().push_back({name, left, right});
    });
}

void SetTempo(int Tempo) {
    if (!Whole()) return;
    if (Tempo <= 0) Tempo = 120; // a tempo of nothing would stop time
    if (Midi) Midi->SetTempo(Tempo);
}

// ---- keyword sections --------------------------------------------------------------------------

void SecVersion(TOldReader& R) {
    R.FileVersion = ReadInt();
}

void SecName(TOldReader& R) {
    R.StoredName = ReadString();
}

void SecTempo(TOldReader&) {
    SetTempo(ReadInt());
}

void SecBeatsInBar(TOldReader&) {
    int beats = ReadInt();
    if (Whole()) Song->BeatsPerBar = beats > 0 ? beats : 4;
}

void SecTracks(TOldReader& R) {
    ReadInt(); // not used
    ReadTracks(R);
}

void SecNothing(TOldReader&) {}

void SecMasterTempo(TOldReader& R) {
    Repeat(R, ReadInt(), 4, [](int) {
        int tempo = ReadInt();
        if (Whole()) SongFileHost().AppendTempoLine(std::to_string(tempo));
    });
}

void ReadSampleSlot(TOldReader& R, int Fields) {
    int trackIndex = ReadInt();
    int index = Fields >= 1 ? ReadInt() : 0;
    int volume = Fields >= 2 ? ReadInt() : 0;
    int pan = Fields >= 3 ? ReadInt() : 0;
    ReadInt();
    int mute = Fields >= 5 ? ReadInt() : 0;
    ReadInt();
    int fr = Fields >= 7 ? ReadInt() : 0;
    SkipInts(R.Has(ofLayout) ? 4 : 3);
    _TTrack* track = Song->TrackAt(trackIndex);
    if (!Whole() || !track) return; // no track, no slot
    auto slot = std::make_unique<TSample>();
    if (Fields >= 1) slot->Index = index;
    if (Fields >= 2) slot->Volume = static_cast<float>(OldVolumeToLevel(volume)) / 127.0f;
    if (Fields >= 3) slot->Pan = OldPanToLevel(pan);
    if (Fields >= 5) slot->Mute = mute == 1;
    if (Fields >= 7) slot->FR = fr == 1;
    track->Samples.push_back(std::move(slot));
}

// The sample bank beside the song, which must hold Count samples.
void LoadSampleBank(const TOldReader& R, int Count) {
    std::string path = SideFileToRead(R.FileName, R.StoredName, ".dxg");
    bool exists = platform::FileExists(path);
    if (!exists)
        platform::MessageBox("File not found: " + path, "Open song",
                             platform::MB_OK | platform::MB_ICONSTOP);
    int held = 0;
    if (TDXWaveList* pool = Song->SamplePool) {
        if (exists) {
            try {
                pool->Items.LoadFromFile(path);
            } catch (const std::exception&) {
                // What loaded stays; the count below tells the user.
            }
        }
        held = pool->Items.Count();
    }
    if (held != Count)
        platform::MessageBox(path + " is invalid", "Error",
                             platform::MB_OK | platform::MB_ICONSTOP);
}

void SecAudio(TOldReader& R) {
    std::int32_t slots = ReadInt();
    int fields = std::min(ReadInt(), 11);
    if (!Whole()) return;
    Repeat(R, slots, 4, [&](int) { ReadSampleSlot(R, fields); });
    if (slots > 0) LoadSampleBank(R, slots);
}

void SecArea(TOldReader& R) {
    ReadAreas(R);
}

// The sound card's reverb, chorus, bass and treble selections.
void SecAwe(TOldReader&) {
    std::int32_t lists[4];
    for (std::int32_t& l : lists)
        l = ReadInt();
    ReadInt(); // not used
    TMidiEditorsSeam& editors = MidiEditors();
    if (!Whole() || !editors.AweWindowExists()) return;
    if (AweAvailable)
        for (int list = aweReverb; list <= aweTreble; ++list)
            editors.SetAweListIndex(list, lists[list]);
    editors.SetAweTakeFromCard(false);
}

// Read completely and dropped.
void SecMfx(TOldReader& R) {
    const bool doubles = R.Has(ofSoftsynth);
    Repeat(R, ReadInt(), 1, [&](int) {
        ReadString();
        ReadInt();
        Repeat(R, ReadInt(), 1, [&](int) {
            ReadString();
            ReadInt();
            int k = ReadInt();
            std::int32_t items = ReadInt();
            std::int32_t values = ReadInt();
            Repeat(R, items, 1, [&](int i) {
                ReadString();
                if (i != k) return;
                Repeat(R, values, 1, [&](int) {
                    if (doubles)
                        MapReadDouble();
                    else
                        ReadString();
                });
            });
        });
    });
}

// A softsynth named in the file: a library of the program's "synth" folder.
TSoftItem* AddSoftsynth(const std::string& Name) {
    if (!SoftEngine) return nullptr;
    return SoftEngine->AddSoftsynth(platform::ProgramFolder() + "synth\\" + Name + ".dll");
}

void SecSoftsynth(TOldReader& R) {
    Repeat(R, ReadInt(), 1, [](int) {
        std::string name = ReadString();
        if (Whole()) AddSoftsynth(name);
    });
}

void SecSoftsynth2(TOldReader& R) {
    Repeat(R, ReadInt(), 1, [&](int) {
        std::string name = ReadString();
        TSoftItem* synth = Whole() ? AddSoftsynth(name) : nullptr;
        Repeat(R, ReadInt(), 8, [&](int i) {
            double value = MapReadDouble();
            if (synth && Whole()) synth->Plugin->SetParameter(i, value);
        });
    });
}

struct TKeyword {
    std::string_view Keyword;
    unsigned Feature; // the versions that know it
    void (*Read)(TOldReader&);
};

constexpr TKeyword Keywords[] = {
    {"Version", ofAudio, SecVersion},
    {"Name", ofKeywords, SecName},
    {"Tempo", ofKeywords, SecTempo},
    {"BeatsInBar", ofBeats, SecBeatsInBar},
    {"Tracks", ofKeywords, SecTracks},
    {"Positions", ofPositions, SecNothing},
    {"???", ofEffects, SecNothing},
    {"MasterTempo", ofKeywords, SecMasterTempo},
    {"Audio", ofAudio, SecAudio},
    {"Area", ofKeywords, SecArea},
    {"AWE", ofTrackType, SecAwe},
    {"MFX", ofLayout, SecMfx},
    {"Softsynth", ofSoftsynth, SecSoftsynth},
    {"Softsynth2", ofBeats, SecSoftsynth2},
};

void ReadSections(TOldReader& R) {
    while (MapRemaining > 0) {
        std::string keyword = ReadString();
        if (!Whole()) return;
        auto known = std::find_if(std::begin(Keywords), std::end(Keywords), [&](const TKeyword& k) {
            return k.Keyword == keyword && R.Has(k.Feature);
        });
        if (known == std::end(Keywords)) {
            platform::MessageBox(R.V.UnknownText, "Open song", platform::MB_OK | R.V.UnknownIcon);
            R.Stopped = true;
            return;
        }
        known->Read(R);
    }
}

void ReadFlat(TOldReader& R) {
    R.StoredName = ReadString();
    SetTempo(ReadInt());
    ReadTracks(R);
    ReadAreas(R);
}

// Files written before the sample notes carried their slot's pan: each note on slot s of an
// audio track takes velocity 127 and the slot's pan as its fourth byte.
void ConvertSampleNotes() {
    for (int t = 0; t < TrackCount; ++t) {
        _TTrack& track = *Song->Tracks[static_cast<std::size_t>(t)];
        if (track.Mode != tmAudio || track.Samples.empty()) continue;
        for (_TPart* p = track.Parts; p; p = p->Next)
            for (_TEvent* e = p->Events; e; e = e->Next) {
                std::size_t slot = MidiData1(e->Msg);
                if (slot >= track.Samples.size()) continue;
                auto pan = static_cast<std::uint32_t>(track.Samples[slot]->Pan.load());
                e->Msg = (pan << 24) + (127u << 16) + (e->Msg & 0xFFFF);
            }
    }
}

bool LoadOldSong(std::string_view FileName, const TOldVersion& V) {
    if (!MapFileOpen(FileName)) return false;
    std::string magic = ReadString();
    if ((V.Features & ofMagicChecked) && magic != V.Magic) {
        MapFileClose();
        platform::MessageBox("This is not a Tolvern file", "Open error",
                             platform::MB_OK | platform::MB_ICONSTOP);
        return false;
    }
    Song->Clear();
    SongFileHost().ClearSamplePool();
    SongFileHost().ClearSongLists();
    Song->Folder = platform::ExtractFilePath(FileName);

    TOldReader r{V, std::string(FileName), {}};
    if (r.Has(ofKeywords))
        ReadSections(r);
    else
        ReadFlat(r);
    if (r.Has(ofAudio) && r.FileVersion == 0) ConvertSampleNotes();
    bool damaged = r.Damaged || !Whole();
    MapFileClose();
    // Saved again, the song goes where it was read from, not to the name it stores.
    Song->FileName = platform::ExtractFileName(FileName);
    if (damaged && !r.Stopped)
        platform::MessageBox(
            "The song file is damaged or incomplete. What could be read has been loaded.",
            "Open song", platform::MB_OK | platform::MB_ICONWARNING);
    return !damaged && !r.Stopped;
}

template <int N> bool LoadVersion(std::string_view FileName) {
    return LoadOldSong(FileName, Versions[N]);
}

} // namespace

bool LoadSongV0(std::string_view FileName) {
    return LoadVersion<0>(FileName);
}
bool LoadSongV01(std::string_view FileName) {
    return LoadVersion<1>(FileName);
}
bool LoadSongV02(std::string_view FileName) {
    return LoadVersion<2>(FileName);
}
bool LoadSongV3201(std::string_view FileName) {
    return LoadVersion<3>(FileName);
}
bool LoadSongV3202(std::string_view FileName) {
    return LoadVersion<4>(FileName);
}
bool LoadSongV3203(std::string_view FileName) {
    return LoadVersion<5>(FileName);
}
bool LoadSongV3204(std::string_view FileName) {
    return LoadVersion<6>(FileName);
}
bool LoadSongV3205(std::string_view FileName) {
    return LoadVersion<7>(FileName);
}
bool LoadSongV3206(std::string_view FileName) {
    return LoadVersion<8>(FileName);
}
bool LoadSongV3207(std::string_view FileName) {
    return LoadVersion<9>(FileName);
}
bool LoadSongV3208(std::string_view FileName) {
    return LoadVersion<10>(FileName);
}
bool LoadSongV3209(std::string_view FileName) {
    return LoadVersion<11>(FileName);
}
