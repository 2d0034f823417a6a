#include "devices/midi.h"
#include "devices/sblive.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "song/filehelpers.h"
#include "song/primitives.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/sidefile.h"
#include "song/songfile_items.h"

#include <algorithm>
#include <string>
#include <unordered_map>

// ---- payload readers ---------------------------------------------------------------------

std::int32_t ReadIntItem() {
    return MapReadInt32BE();
}

bool ReadFlagItem() {
    return MapReadInt32BE() == 1;
}

double ReadDoubleItem() {
    return MapReadDouble();
}

void ReadStringItem(TSongReader& R, std::string& Field) {
    MapReadString(Field);
    R.LastString = &Field;
}

namespace {

// ---- song, track and part items -------------------------------------------------------------

_TTrack* Track(TSongReader& R) {
    return Song->TrackAt(R.TrackIndex);
}

// The current part's track, when both are current.
_TPart* Part(TSongReader& R) {
    return Track(R) ? R.Part : nullptr;
}

// A part that "PartEnd" never linked, or that its track refused, goes with its events.
void DropUnlinkedPart(TSongReader& R) {
    if (R.Part && !R.PartLinked) FreePart(R.Part);
    R.Part = nullptr;
    R.PartLinked = false;
}

template <class F> void OnTrack(TSongReader& R, F f) {
    if (_TTrack* t = Track(R)) f(*t);
}

template <class F> void OnPart(TSongReader& R, F f) {
    if (_TPart* p = Part(R)) f(*p);
}

// Start and length only until the part is linked: afterwards they would break the track's order.
template <class F> void OnUnlinkedPart(TSongReader& R, F f) {
    if (!R.PartLinked) OnPart(R, f);
}

void SeqName(TSongReader& R, TMapItem&) {
    ReadStringItem(R, Song->FileName);
}

void SeqTempo(TSongReader&, TMapItem&) {
    int tempo = ReadIntItem();
    if (tempo <= 0) tempo = 120; // a tempo of nothing would stop time
    if (Midi) Midi->SetTempo(tempo);
}

void SeqBeatsInBar(TSongReader&, TMapItem&) {
    int beats = ReadIntItem();
    Song->BeatsPerBar = beats > 0 ? beats : 4;
}

void SeqLeft(TSongReader&, TMapItem&) {
    Song->LeftLocator = ReadIntItem();
}

void SeqRight(TSongReader&, TMapItem&) {
    Song->RightLocator = ReadIntItem();
}

void SeqPos(TSongReader&, TMapItem&) {
    Song->Position = ReadIntItem();
}

void SeqTempoItem(TSongReader&, TMapItem&) {
    SongFileHost().AppendTempoLine(std::to_string(ReadIntItem()));
}

void TrackMarker(TSongReader& R, TMapItem&) {
    DropUnlinkedPart(R);
    R.TrackIndex = std::min(R.TrackIndex + 1, TrackCount - 1);
    R.OutputSlot = -1;
    R.SendIndex = -1;
}

void TrackName(TSongReader& R, TMapItem&) {
    OnTrack(R, [&](_TTrack& t) { ReadStringItem(R, t.Name); });
}

void TrackUserFile(TSongReader& R, TMapItem&) {
    OnTrack(R, [&](_TTrack& t) { ReadStringItem(R, t.UserFile); });
}

void TrackCh(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) {
        int ch = ReadIntItem();
        if (ch >= -1 && ch <= 15) t.Channel = ch; // else the track keeps its new-song channel
    });
}

void TrackMode(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) {
        int mode = ReadIntItem();
        t.Mode = mode >= 0 && mode <= 4 ? mode : 0;
    });
}

void TrackMute(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) { t.Mute = ReadFlagItem() ? 1 : 0; });
}

// Track fields read as they stand.
template <std::int32_t _TTrack::*Field> void TrackInt(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) { t.*Field = ReadIntItem(); });
}

template <std::atomic<std::int32_t> _TTrack::*Field>
void TrackAtomicInt(TSongReader& R, TMapItem&) {
    OnTrack(R, [](_TTrack& t) { (t.*Field) = ReadIntItem(); });
}

void PartMarker(TSongReader& R, TMapItem&) {
    DropUnlinkedPart(R);
    if (!Track(R)) return;
    R.Part = NewPart("", 0, 0, 0);
    R.Part->Track = R.TrackIndex;
}

void PartName(TSongReader& R, TMapItem&) {
    OnPart(R, [&](_TPart& p) { ReadStringItem(R, p.Name); });
}

void PartStyle(TSongReader& R, TMapItem&) {
    OnPart(R, [](_TPart& p) { p.Flags = static_cast<std::uint32_t>(ReadIntItem()) | pfRedraw; });
}

void PartStart(TSongReader& R, TMapItem&) {
    OnUnlinkedPart(R, [](_TPart& p) { p.Start = ReadIntItem(); });
}

void PartLength(TSongReader& R, TMapItem&) {
    OnUnlinkedPart(R, [](_TPart& p) {
        int length = ReadIntItem();
        p.Length = length > 0 ? length : BarTicks(); // a part of no length could hold nothing
    });
}

void PartSample(TSongReader& R, TMapItem&) {
    OnPart(R, [](_TPart& p) { p.Sample = ReadIntItem(); });
}

void PartEndMarker(TSongReader& R, TMapItem&) {
    _TPart* p = Part(R);
    if (!p || R.PartLinked) return;
    if (p->Length <= 0) p->Length = BarTicks(); // "PartLength" never came
    R.PartLinked = InsertPart(Track(R), p);
}

void PartNumEvents(TSongReader& R, TMapItem&) {
    R.EventCount = ReadIntItem();
}

void PartEvents(TSongReader& R, TMapItem& Item) {
    std::int32_t count = R.EventCount;
    R.EventCount = 0;
    _TPart* p = Part(R);
    if (!p) return;
    // Each record takes 8 bytes at least: the count can never outrun the item.
    for (std::int32_t i = 0; i < count; ++i) {
        if (Item.Left() < 8) {
            R.Damaged = true;
            return;
        }
        AppendEvent(p, MapReadEventEx());
    }
    if (Item.Left() != 0) R.Damaged = true; // records beyond the count are passed over
}

void LongString(TSongReader& R, TMapItem& Item) {
    if (!R.JustRead) return;
    std::int32_t n = Item.Left();
    R.JustRead->assign(reinterpret_cast<const char*>(MapCursor), static_cast<std::size_t>(n));
    MapSkip(n);
}

// The SoundFont banks listed beside the song are loaded again.
void SFBank(TSongReader& R, TMapItem&) {
    if (!SBLive || !SBLive->Available || !SBLive->AutoOpenSave) return;
    std::string path = SideFilePath(R.FileName, ".sfs");
    std::string text;
    if (!platform::FileExists(path) || !platform::ReadWholeFile(path, text)) {
        platform::MessageBox("File not found: " + path, "Open song",
                             platform::MB_OK | platform::MB_ICONERROR);
        return;
    }
    LoadBankList(*SBLive, text);
    SBLiveWindows().FillSBLiveBanks();
}

const TSongTag CoreTags[] = {
    {"SeqName", SeqName},
    {"SeqTempo", SeqTempo},
    {"SeqBeatsInBar", SeqBeatsInBar},
    {"SeqLeft", SeqLeft},
    {"SeqRight", SeqRight},
    {"SeqPos", SeqPos},
    {"SeqTempoItem", SeqTempoItem},
    {"Track", TrackMarker},
    {"TrackName", TrackName},
    {"TrackCh", TrackCh},
    {"TrackOutput", TrackAtomicInt<&_TTrack::Output>},
    {"TrackMode", TrackMode},
    {"TrackBank", TrackInt<&_TTrack::Bank>},
    {"TrackProgram", TrackInt<&_TTrack::Program>},
    {"TrackVolume", TrackInt<&_TTrack::Volume>},
    {"TrackPan", TrackInt<&_TTrack::Pan>},
    {"TrackReverb", TrackInt<&_TTrack::Reverb>},
    {"TrackChorus", TrackInt<&_TTrack::Chorus>},
    {"TrackTranspose", TrackAtomicInt<&_TTrack::Transpose>},
    {"TrackMute", TrackMute},
    {"TrackLayout", TrackInt<&_TTrack::Layout>},
    {"TrackOffset", TrackInt<&_TTrack::Offset>},
    {"TrackUserFile", TrackUserFile},
    {"TrackFX", TrackInt<&_TTrack::FX>},
    {"Part", PartMarker},
    {"PartName", PartName},
    {"PartStyle", PartStyle},
    {"PartStart", PartStart},
    {"PartLength", PartLength},
    {"PartSample", PartSample},
    {"PartEnd", PartEndMarker},
    {"PartNumEvents", PartNumEvents},
    {"PartEvents", PartEvents},
    {LongStringTag, LongString},
    {"SFBank", SFBank},
};

// Every tag the reader knows; the tables of further record groups join here.
const std::unordered_map<std::string_view, TSongTagAction>& TagActions() {
    static const auto actions = [] {
        std::unordered_map<std::string_view, TSongTagAction> m;
        for (const TSongTag& t : CoreTags)
            m.emplace(t.Tag, t.Action);
        return m;
    }();
    return actions;
}

} // namespace

namespace {

// The records of the mapped file into the song as it stands.
bool ReadMappedSongFile(std::string_view FileName) {
    Song->Folder = platform::ExtractFilePath(FileName);

    TSongReader r;
    r.FileName = std::string(FileName);
    std::string tag;
    MapReadString(tag); // the magic, recognised by the caller
    const auto& actions = TagActions();
    while (MapRemaining > 0) {
        MapReadString(tag);
        std::int32_t size = MapReadInt32BE();
        if (size < 0) { // nothing to go on from here
            r.Damaged = true;
            break;
        }
        TMapItem item(size);
        r.JustRead = r.LastString;
        r.LastString = nullptr;
        auto it = actions.find(tag);
        if (it != actions.end()) it->second(r, item); // unknown tags are passed over by size
    }
    DropUnlinkedPart(r);
    bool damaged = r.Damaged || MapTruncated;
    MapFileClose();
    if (damaged)
        platform::MessageBox(
            "The song file is damaged or incomplete. What could be read has been loaded.",
            "Open song", platform::MB_OK | platform::MB_ICONWARNING);
    return !damaged;
}

} // namespace

bool LoadSongFile(std::string_view FileName) {
    if (!MapFileOpen(FileName)) return false;
    Song->Clear();
    SongFileHost().ClearSamplePool();
    return ReadMappedSongFile(FileName);
}

bool ReadSongFileRecords(std::string_view FileName) {
    return MapFileOpen(FileName) && ReadMappedSongFile(FileName);
}
