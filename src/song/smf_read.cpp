#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "platform/core/paths.h"
#include "song/filehelpers.h"
#include "song/primitives.h"
#include "song/seams.h"
#include "song/smf.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/timebase.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

namespace {

// Raw times stop here: far beyond any real file, and small enough that scaling cannot overflow.
constexpr std::int64_t MaxRawTime = std::int64_t(1) << 40;
// Song ticks stop here, so that a part's start plus its length stays within 32 bits.
constexpr std::int64_t MaxTick = std::int64_t(1) << 30;

constexpr std::uint32_t FourCC(const char (&S)[5]) {
    return (std::uint32_t(std::uint8_t(S[0])) << 24) | (std::uint32_t(std::uint8_t(S[1])) << 16) |
           (std::uint32_t(std::uint8_t(S[2])) << 8) | std::uint32_t(std::uint8_t(S[3]));
}

enum class TStop { None, NoEndOfTrack, BadStatus, TooManyTracks, Quiet };

struct TRawEvent {
    std::int64_t Time; // in the file's ticks from the start of the song
    _TEvent* Event;
};

// A part as the reader gathers it, in the file's ticks; it becomes a real part at the end,
// when the times are scaled to the song's.
struct TBuildPart {
    int Track = 0;
    _TPart* Into = nullptr; // an existing part that takes the events (import into a used track)
    std::int64_t Start = 0;
    std::int64_t End = 0; // start plus whole bars up to the last event
    std::vector<TRawEvent> Events;
};

// Ticks x 240 / division, halves to even.
std::int64_t ScaleTime(std::int64_t T, int Division) {
    if (Division == TicksPerBeat) return std::min(T, MaxTick);
    std::int64_t n = T * TicksPerBeat;
    std::int64_t q = n / Division, r = n % Division;
    if (2 * r > Division || (2 * r == Division && (q & 1))) ++q;
    return std::min(q, MaxTick);
}

class TSmfReader {
public:
    TSmfReader(bool Import, int Format, int Division)
        : import_(Import), format_(Format), division_(Division) {
        current_.fill(-1);
        preexisting_.fill(false);
        for (int i = 0; i < TrackCount; ++i)
            preexisting_[i] = Song->Tracks[i]->Parts != nullptr;
        target_ = Import ? Song->CurrentTrackIndex : 0;
        first_ = target_;
    }

    // Reads the chunks after the header; the reason it stopped, if it did.
    TStop ReadChunks();
    // Turns what was gathered into parts of the song (also after a stop: what was read stays,
    // at the song's time base).
    void Finish();

private:
    TStop ReadTrackChunk(std::int32_t Length);
    TStop ReadMeta(std::uint8_t Type);
    void Place(std::int64_t Time, std::uint32_t Msg, const std::uint8_t* Block, int Len);
    TBuildPart* PartFor(int Track, std::int64_t Time, bool MayStartNew, bool NoneHeld);
    _TTrack* MetaTrack() const { return Song->TrackAt(format_ == 0 && !import_ ? 0 : target_); }
    std::int64_t RawBar() const { return std::int64_t(BarTicks()) * division_ / TicksPerBeat; }
    bool NextImportTarget();
    void AssignChannels();

    bool import_;
    int format_;
    int division_;
    int target_ = 0;
    int first_ = 0;
    int held_ = 0;            // notes held, across the whole file
    bool madePart_ = false;   // any part has been made (or written into)
    bool targetFull_ = false; // the target track index ran past the last track
    std::vector<TBuildPart> parts_;
    std::array<int, TrackCount> current_;      // index into parts_ of a track's current part
    std::array<bool, TrackCount> preexisting_; // the track had parts before the reading
};

TStop TSmfReader::ReadChunks() {
    // Eight bytes make a chunk head; anything shorter at the end is no chunk.
    while (MapAvailable() >= 8) {
        std::uint32_t id = static_cast<std::uint32_t>(MapReadInt32BE());
        std::uint32_t len = static_cast<std::uint32_t>(MapReadInt32BE());
        std::int32_t inFile = MapAvailable();
        std::int32_t size = len > static_cast<std::uint32_t>(inFile) ? inFile : std::int32_t(len);
        if (id != FourCC("MTrk")) {
            MapSkip(size);
            continue;
        }
        if (targetFull_) {
            if (!import_) return TStop::TooManyTracks;
            return TStop::Quiet;
        }
        if (TStop s = ReadTrackChunk(size); s != TStop::None) return s;
    }
    return TStop::None;
}

TStop TSmfReader::ReadTrackChunk(std::int32_t Length) {
    TMapItem item(Length);
    MapTruncated = false;
    std::int64_t time = 0;
    std::uint8_t running = 0; // a running status lives within its chunk
    for (;;) {
        if (item.Left() <= 0) return TStop::NoEndOfTrack;
        time = std::min(time + MapReadVarLen(), MaxRawTime);
        std::uint8_t b = MapReadByte();
        if (MapTruncated) return TStop::NoEndOfTrack;
        if (b == 0xFF) {
            std::uint8_t type = MapReadByte();
            if (type == 0x2F) break; // the rest of the chunk is passed over
            if (TStop s = ReadMeta(type); s != TStop::None) return s;
            continue;
        }
        if (b >= 0xF0 && b <= 0xF7) { // system exclusive, or skipped with its bytes
            std::uint32_t n = MapReadVarLen();
            if (MapTruncated || n > static_cast<std::uint32_t>(item.Left()))
                return TStop::NoEndOfTrack;
            if (b == 0xF0) {
                std::vector<std::uint8_t> block(n + 1);
                block[0] = 0xF0;
                std::copy(MapCursor, MapCursor + n, block.begin() + 1);
                Place(time, PackMidiMsg(msSysex, 0, 0), block.data(), static_cast<int>(n + 1));
            }
            MapSkip(static_cast<std::int32_t>(n));
            continue;
        }
        if (b >= 0xF8) return TStop::BadStatus;
        std::uint8_t status = running, d1;
        if (b >= 0x80) {
            status = running = b;
            d1 = MapReadByte();
        } else {
            if (!running) return TStop::BadStatus; // data before any status
            d1 = b;
        }
        std::uint32_t kind = status & 0xF0;
        bool twoBytes = kind != 0xC0 && kind != 0xD0;
        std::uint8_t d2 = twoBytes ? MapReadByte() : 0;
        if (MapTruncated) return TStop::NoEndOfTrack;
        d1 &= 0x7F;
        d2 &= 0x7F;
        if (kind == 0x80) d2 = 0;
        Place(time, PackMidiMsg(status, d1, d2), nullptr, 0);
    }
    // End of track: the next chunk has its own track and its time starts again.
    if (format_ != 0 && madePart_) {
        if (import_) {
            if (!NextImportTarget()) targetFull_ = true;
        } else if (++target_ >= TrackCount) {
            targetFull_ = true;
        }
    }
    return TStop::None;
}

TStop TSmfReader::ReadMeta(std::uint8_t Type) {
    std::uint32_t len = Type == 0x00 ? MapReadByte() : MapReadVarLen();
    if (MapTruncated || len > static_cast<std::uint32_t>(MapAvailable()))
        return TStop::NoEndOfTrack;
    const std::uint8_t* data = MapCursor;
    _TTrack* t = MetaTrack();
    switch (Type) {
    case 0x03:
        if (t) t->Name.assign(reinterpret_cast<const char*>(data), len);
        break;
    case 0x20:
        if (t && len >= 1 && data[0] <= 15) t->Channel = data[0];
        break;
    case 0x21:
        if (t && len >= 1) t->Output = data[0] < MidiOutCount ? data[0] : 0;
        break;
    case 0x51:
        if (!import_ && len >= 3) {
            int us = (data[0] << 16) | (data[1] << 8) | data[2];
            // A quarter note of no time would give an endless tempo: the tempo stays.
            if (us > 0 && Midi) Midi->SetTempo(FloorToInt(60000000.0f / static_cast<float>(us)));
        }
        break;
    case 0x58:
        // A bar of no beats would make every bar of nothing: the beats per bar stay.
        if (!import_ && len >= 1 && data[0] > 0) Song->BeatsPerBar = data[0];
        break;
    default:
        break;
    }
    MapSkip(static_cast<std::int32_t>(len));
    return TStop::None;
}

bool TSmfReader::NextImportTarget() {
    for (int i = target_ + 1; i < TrackCount; ++i) {
        const _TTrack& t = *Song->Tracks[i];
        if (t.Mode != tmParameter && !t.Parts && current_[i] < 0) {
            target_ = i;
            return true;
        }
    }
    return false;
}

TBuildPart* TSmfReader::PartFor(int Track, std::int64_t Time, bool MayStartNew, bool NoneHeld) {
    int& idx = current_[Track];
    if (idx < 0) {
        TBuildPart b;
        b.Track = Track;
        if (preexisting_[Track]) {
            b.Into = Song->Tracks[Track]->Parts; // an import into a used track: its first part
        } else {
            b.Start = 0;
            b.End = RawBar();
        }
        parts_.push_back(std::move(b));
        idx = static_cast<int>(parts_.size()) - 1;
    }
    TBuildPart* p = &parts_[idx];
    std::int64_t bar = RawBar();
    if (MayStartNew && NoneHeld && !p->Into && Time - p->End > bar) {
        // A silence of more than a bar: a new part from the bar line before the event.
        if (!p->Events.empty()) {
            TBuildPart b;
            b.Track = Track;
            parts_.push_back(std::move(b));
            idx = static_cast<int>(parts_.size()) - 1;
            p = &parts_[idx];
        }
        p->Start = Time / bar * bar;
        p->End = p->Start + bar;
    }
    if (!p->Into && Time >= p->End) p->End = p->Start + ((Time - p->Start) / bar + 1) * bar;
    return p;
}

void TSmfReader::Place(std::int64_t Time, std::uint32_t Msg, const std::uint8_t* Block, int Len) {
    std::uint32_t kind = MidiStatus(Msg);
    bool noteOn = kind == 0x90 && MidiData2(Msg) > 0;
    bool noteOff = kind == 0x80 || (kind == 0x90 && !noteOn);
    bool noneHeld = held_ <= 0; // the split looks at the notes held before this event
    if (noteOn) ++held_;
    if (noteOff) --held_;

    int track = format_ == 0 && !import_ ? static_cast<int>(MidiChannel(Msg)) : target_;
    _TTrack* t = Song->TrackAt(track);
    if (!t) return;
    int channel = static_cast<int>(MidiChannel(Msg));
    if (import_ && t->Mode == tmAudio) {
        // Sample notes: slot = key - 24; keys below the first slot have no sample to play.
        int key = static_cast<int>(MidiData1(Msg));
        if ((!noteOn && !noteOff) || key < 24) return;
        Msg = noteOn ? PackMidiMsg(msSampleOn, key - 24, MidiData2(Msg)) + (63u << 24)
                     : PackMidiMsg(msSampleOff, key - 24, 0);
        Block = nullptr;
    }

    bool fresh = current_[track] < 0;
    TBuildPart* p = PartFor(track, Time, format_ != 0, noneHeld);
    if (format_ == 0 && fresh && !p->Into) t->Channel = channel; // the event that made the part
    madePart_ = true;
    _TEvent* e = NewEvent(0, Msg);
    if (Block) {
        SetEventBlock(*e, Block, Len);
        e->DataLen = Len;
    }
    p->Events.push_back({Time, e});
}

void TSmfReader::AssignChannels() {
    for (int i = first_; i < TrackCount; ++i) {
        _TTrack& t = *Song->Tracks[i];
        if (current_[i] < 0 || t.Channel != -1 || !t.Parts || !t.Parts->Events) continue;
        int ch = -1;
        bool same = true;
        for (const _TEvent* e = t.Parts->Events; e; e = e->Next) {
            std::uint32_t k = MidiStatus(e->Msg);
            if (k < 0x80 || k >= 0xF0) continue;
            int c = static_cast<int>(MidiChannel(e->Msg));
            if (ch < 0) ch = c;
            same = same && c == ch;
        }
        if (ch >= 0 && same) t.Channel = ch;
    }
}

// Events (in time order, at song times T) join an existing part: it grows by bars as far as the
// part after it allows, what then fits is merged in one pass (at equal times after what the
// part held), and the rest goes through the insert primitive, which hands it to the parts
// after or puts it on the last tick, so the track stays in order whatever the times are.
void MergeInto(_TPart* Part, std::vector<TRawEvent>& Events, const std::vector<std::int64_t>& T) {
    Part->Flags |= pfRedraw;
    Part->Last = nullptr;
    std::vector<std::int64_t> rel(T.size());
    for (std::size_t i = 0; i < T.size(); ++i)
        rel[i] = std::max<std::int64_t>(0, T[i] - Part->Start);
    const std::int64_t bar = BarTicks();
    std::int64_t room = Part->Next ? std::int64_t(Part->Next->Start) - Part->Start
                                   : std::int64_t(INT32_MAX) - std::max(Part->Start, 0);
    std::int64_t length = Part->Length;
    if (!rel.empty() && rel.back() >= length) {
        std::int64_t grown = length + ((rel.back() - length) / bar + 1) * bar;
        if (grown > room) grown = length + std::max<std::int64_t>(0, (room - length) / bar) * bar;
        length = std::max(length, grown);
    }
    Part->Length = static_cast<std::int32_t>(length);
    std::size_t fit =
        static_cast<std::size_t>(std::lower_bound(rel.begin(), rel.end(), length) - rel.begin());

    _TEvent head;
    _TEvent* tail = &head;
    std::int64_t last = 0, old = 0;
    _TEvent* e = Part->Events;
    std::size_t i = 0;
    while (e || i < fit) {
        bool takeOld = e && (i >= fit || old + e->Delta <= rel[i]);
        _TEvent* next = takeOld ? e : Events[i].Event;
        std::int64_t time = takeOld ? old + e->Delta : rel[i];
        if (takeOld) {
            old = time;
            e = e->Next;
        } else {
            ++i;
        }
        next->Delta = static_cast<std::int32_t>(time - last);
        last = time;
        tail->Next = next;
        tail = next;
    }
    tail->Next = nullptr;
    Part->Events = head.Next;
    head.Next = nullptr;
    Part->EndTime = static_cast<std::int32_t>(last);
    for (; i < Events.size(); ++i) {
        _TPart* p = Part;
        Events[i].Event->Delta = static_cast<std::int32_t>(rel[i]);
        InsertEvent(p, Events[i].Event);
        p->Flags |= pfRedraw;
    }
}

void TSmfReader::Finish() {
    const std::int64_t bar = BarTicks();
    for (TBuildPart& b : parts_) {
        if (b.Events.empty()) continue;
        std::stable_sort(b.Events.begin(), b.Events.end(),
                         [](const TRawEvent& x, const TRawEvent& y) { return x.Time < y.Time; });
        std::vector<std::int64_t> times(b.Events.size());
        for (std::size_t i = 0; i < times.size(); ++i)
            times[i] = ScaleTime(b.Events[i].Time, division_);
        _TTrack* t = Song->Tracks[b.Track].get();
        if (b.Into) {
            MergeInto(b.Into, b.Events, times);
            continue;
        }
        std::int64_t start = ScaleTime(b.Start, division_) / bar * bar;
        // Scaling can leave the first event beyond the first bar: the part follows it once.
        if (division_ != TicksPerBeat && times.front() - start > bar) start += bar;
        std::int64_t length = ((times.back() - start) / bar + 1) * bar;
        _TPart* part = NewPart(t->Name, static_cast<int>(start), static_cast<int>(length), b.Track);
        part->Flags |= pfRedraw;
        std::int64_t last = start;
        for (std::size_t i = 0; i < times.size(); ++i) {
            b.Events[i].Event->Delta = static_cast<std::int32_t>(times[i] - last);
            last = times[i];
            AppendEvent(part, b.Events[i].Event);
        }
        part->Last = nullptr;
        if (InsertPart(t, part)) continue;
        // It would overlap a part of the track: its events join the part before it.
        _TPart* host = t->Parts;
        for (_TPart* q = t->Parts; q && q->Start <= start; q = q->Next)
            host = q;
        std::vector<TRawEvent> events;
        for (_TEvent* e = part->Events; e; e = e->Next)
            events.push_back({0, e});
        part->Events = nullptr;
        FreePart(part);
        for (TRawEvent& r : events)
            r.Event->Next = nullptr;
        MergeInto(host, events, times);
    }
    parts_.clear();
    if (format_ == 1) AssignChannels();
}

// Checks the header of the file just mapped (Mapped: it could be); the format and division of
// a file we can read.
bool OpenSmf(bool Mapped, int& Format, int& Division) {
    if (!Mapped) return false;
    bool ok =
        MapAvailable() >= 14 && static_cast<std::uint32_t>(MapReadInt32BE()) == FourCC("MThd");
    if (ok) {
        std::uint32_t len = static_cast<std::uint32_t>(MapReadInt32BE());
        Format = MapReadInt16BE();
        MapReadInt16BE(); // the number of tracks: the chunks say it
        Division = MapReadInt16BE();
        // A division of 0 has no time; a time-code division is no count of ticks to the quarter.
        ok = Division > 0 && Division < 0x8000;
        // A longer header keeps its extra bytes to itself (when the file holds them).
        if (ok && len > 6 && len - 6 <= static_cast<std::uint32_t>(MapAvailable()))
            MapSkip(static_cast<std::int32_t>(len - 6));
    }
    if (!ok) {
        MapFileClose();
        platform::MessageBox("This is not a standard MIDI file", "Error",
                             platform::MB_OK | platform::MB_ICONERROR);
    }
    return ok;
}

void ReportStop(TStop S) {
    switch (S) {
    case TStop::NoEndOfTrack:
        platform::MessageBox("Invalid file format (2)", "File error",
                             platform::MB_OK | platform::MB_ICONERROR);
        break;
    case TStop::BadStatus:
        platform::MessageBox("Invalid file format (3)", "File error",
                             platform::MB_OK | platform::MB_ICONERROR);
        break;
    case TStop::TooManyTracks:
        platform::MessageBox("Only " + std::to_string(TrackCount) +
                                 " tracks supported. Could not open all tracks in file",
                             "Open song", platform::MB_OK | platform::MB_ICONINFORMATION);
        break;
    default:
        break;
    }
}

// The mapped file as a whole song, into the song as it stands.
bool ReadMappedSmfSong(std::string_view FileName, int Format, int Division) {
    Song->Folder = platform::ExtractFilePath(FileName);
    Song->FileName = platform::ExtractFileName(FileName);
    for (int i = 0; i < TrackCount; ++i)
        Song->Tracks[i]->Channel = -1;

    TSmfReader reader(false, Format, Division);
    TStop stop = reader.ReadChunks();
    MapFileClose();
    reader.Finish();
    ReportStop(stop);
    Song->Modified = 0;
    Song->SetCurrentPart(nullptr);
    bool complete = stop == TStop::None;
    // A song read in part must never be saved over its file: Save goes to Save As.
    Song->Untitled = complete ? 0 : 1;
    Song->IsMidiFile = complete ? 1 : 0;
    MainWindow().PaintParts(-1);
    MainWindow().RefreshTrackbar();
    return complete;
}

bool ReadSmf(bool Mapped, std::string_view FileName) {
    int format = 0, division = TicksPerBeat;
    if (!OpenSmf(Mapped, format, division)) return false;
    Song->Clear();
    SongFileHost().ClearSamplePool();
    SongFileHost().ClearSongLists();
    return ReadMappedSmfSong(FileName, format, division);
}

bool ImportSmf(bool Mapped) {
    int format = 0, division = TicksPerBeat;
    if (!OpenSmf(Mapped, format, division)) return false;
    for (int i = Song->CurrentTrackIndex; i < TrackCount; ++i)
        for (_TPart* p = Song->Tracks[i]->Parts; p; p = p->Next)
            p->Flags &= ~pfRedraw;
    TSmfReader reader(true, format, division);
    TStop stop = reader.ReadChunks();
    MapFileClose();
    reader.Finish();
    ReportStop(stop);
    MainWindow().PaintParts(-1);
    return stop == TStop::None || stop == TStop::Quiet;
}

} // namespace

bool ReadSmfSong(std::string_view FileName) {
    return ReadSmf(MapFileOpen(FileName), FileName);
}

bool ReadSmfSongBytes(std::string_view FileName, const std::uint8_t* Bytes, std::size_t Size) {
    return ReadSmf(MapBytesOpen(Bytes, Size), FileName);
}

bool ReadSmfSongRecords(std::string_view FileName) {
    int format = 0, division = TicksPerBeat;
    return OpenSmf(MapFileOpen(FileName), format, division) &&
           ReadMappedSmfSong(FileName, format, division);
}

bool ReadSmfSongRecordsBytes(std::string_view FileName, const std::uint8_t* Bytes,
                             std::size_t Size) {
    int format = 0, division = TicksPerBeat;
    return OpenSmf(MapBytesOpen(Bytes, Size), format, division) &&
           ReadMappedSmfSong(FileName, format, division);
}

bool ImportSmfTrack(std::string_view FileName) {
    return ImportSmf(MapFileOpen(FileName));
}

bool ImportSmfTrackBytes(const std::uint8_t* Bytes, std::size_t Size) {
    return ImportSmf(MapBytesOpen(Bytes, Size));
}
