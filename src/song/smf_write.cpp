#include "devices/midi.h"
#include "devices/midimsg.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "song/filehelpers.h"
#include "song/smf.h"
#include "song/song.h"
#include "song/songfile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

namespace {

constexpr std::string_view SmfText = "Tolvern - MIDI/Audio/Softsynth sequencer for Windows";

bool IsWrittenTrack(const _TTrack& T) {
    return (T.Mode == tmMidi || T.Mode == tmSoftsynth) && T.Parts;
}

// A chunk's length is known only at its end: it is written there, into its place in the bytes
// (the file is made in memory, OutBytes).
class TChunk {
public:
    TChunk() {
        FileWriteInt32BE(0x4D54726B); // "MTrk"
        lengthAt_ = OutBytes->size();
        FileWriteInt32BE(0);
        start_ = OutFileCount;
    }
    ~TChunk() {
        const auto length = static_cast<std::uint32_t>(OutFileCount - start_);
        for (std::size_t i = 0; i < 4; ++i)
            (*OutBytes)[lengthAt_ + i] = static_cast<char>(length >> (24 - 8 * i));
    }
    TChunk(const TChunk&) = delete;
    TChunk& operator=(const TChunk&) = delete;

private:
    std::size_t lengthAt_ = 0;
    std::int32_t start_ = 0;
};

void WriteMeta(std::uint8_t Type, std::string_view Data) {
    FileWriteVarLen(0);
    FileWriteByte(0xFF);
    FileWriteByte(Type);
    FileWriteVarLen(static_cast<std::uint32_t>(Data.size()));
    for (char c : Data)
        FileWriteByte(static_cast<std::uint8_t>(c));
}

// The events of a track with running status. Times are absolute, so that nothing a part holds
// can make a delta negative; the time of a skipped event is carried into the next written one.
class TEventWriter {
public:
    explicit TEventWriter(int Channel) : channel_(Channel) {}

    // A channel message; data bytes are masked to 7 bits, whatever the event holds.
    void Channel(std::int64_t Time, std::uint8_t Status, std::uint32_t D1, std::uint32_t D2) {
        Delta(Time);
        if (Status != running_) {
            FileWriteByte(Status);
            running_ = Status;
        }
        FileWriteByte(static_cast<std::uint8_t>(D1 & 0x7F));
        std::uint8_t kind = Status & 0xF0;
        if (kind != 0xC0 && kind != 0xD0) FileWriteByte(static_cast<std::uint8_t>(D2 & 0x7F));
    }
    void Controller(std::int64_t Time, int Ch, std::uint32_t Number, std::uint32_t Value) {
        Channel(Time, static_cast<std::uint8_t>(0xB0 + Ch), Number, Value);
    }
    // The four controllers of a parameter number (99, 98) and its value (6, 38).
    void Nrpn(std::int64_t Time, int Ch, std::uint32_t A, std::uint32_t B, std::uint32_t C,
              std::uint32_t D) {
        Controller(Time, Ch, 99, A);
        Controller(Time, Ch, 98, B);
        Controller(Time, Ch, 6, C);
        Controller(Time, Ch, 38, D);
    }
    void Sysex(std::int64_t Time, const std::uint8_t* Block, int Len) {
        Delta(Time);
        FileWriteByte(0xF0);
        FileWriteVarLen(static_cast<std::uint32_t>(Len - 1));
        for (int i = 1; i < Len; ++i)
            FileWriteByte(Block[i]);
        running_ = 0;
    }
    void Event(std::int64_t Time, const _TEvent& E) {
        std::uint32_t kind = MidiStatus(E.Msg);
        int ch = channel_ < 0 ? 0 : channel_;
        if (kind >= 0x80 && kind < 0xF0) {
            std::uint8_t status = static_cast<std::uint8_t>(
                channel_ < 0 ? E.Msg & 0xFF : kind + static_cast<std::uint32_t>(channel_));
            Channel(Time, status, MidiData1(E.Msg), MidiData2(E.Msg));
        } else if (kind == msAweParam) {
            Nrpn(Time, ch, 127, MidiData1(E.Msg), MidiData2(E.Msg), MidiByte3(E.Msg));
        } else if (kind == msSysex && MidiData1(E.Msg) == 1) {
            std::uint32_t v = EventValue(E);
            Nrpn(Time, ch, v, v >> 8, v >> 16, v >> 24);
        } else if (kind == msSysex && E.DataLen > 0 && EventBlock(E)) {
            Sysex(Time, EventBlock(E), E.DataLen);
        }
        // Anything else (sample notes, automation, other system events) is no MIDI.
    }

private:
    void Delta(std::int64_t Time) {
        std::int64_t d = Time > last_ ? Time - last_ : 0;
        last_ = std::max(last_, Time);
        FileWriteVarLen(static_cast<std::uint32_t>(std::min<std::int64_t>(d, 0x0FFFFFFF)));
    }

    int channel_;
    std::uint8_t running_ = 0;
    std::int64_t last_ = 0;
};

void WriteTempoChunk() {
    TChunk chunk;
    int tempo = Midi ? Midi->GetTempo() : 120;
    if (tempo < 1) tempo = 120;
    FileWriteVarLen(0);
    FileWriteByte(0xFF);
    FileWriteByte(0x51);
    FileWriteByte(0x03);
    FileWriteInt24BE(60000000 / tempo);
    FileWriteVarLen(0);
    FileWriteByte(0xFF);
    FileWriteByte(0x58);
    FileWriteByte(0x04);
    FileWriteByte(static_cast<std::uint8_t>(Song->BeatsPerBar));
    FileWriteByte(2);
    FileWriteByte(0);
    FileWriteByte(0);
    WriteMeta(0x01, SmfText);
    WriteMeta(0x2F, "");
}

void WriteTrackChunk(int Index) {
    const _TTrack& t = *Song->Tracks[Index];
    TChunk chunk;
    int channel = t.Channel;
    int ch = Song->TrackChannel(Index);
    WriteMeta(0x03, t.Name);
    WriteMeta(0x21, std::string(1, static_cast<char>(t.Output & 0xFF)));
    if (channel != -1) WriteMeta(0x20, std::string(1, static_cast<char>(channel)));
    // The set-up messages each carry their status; running status starts with the events.
    auto setup = [](int Status, int D1, int D2, bool TwoBytes) {
        FileWriteVarLen(0);
        FileWriteByte(static_cast<std::uint8_t>(Status));
        FileWriteByte(static_cast<std::uint8_t>(D1 & 0x7F));
        if (TwoBytes) FileWriteByte(static_cast<std::uint8_t>(D2 & 0x7F));
    };
    if (t.Volume != -1) setup(0xB0 + ch, 7, t.Volume, true);
    if (t.Pan != -1) setup(0xB0 + ch, 10, t.Pan, true);
    if (channel != -1 && !Song->PartHasController(t.Parts, 0))
        setup(0xB0 + ch, 0, t.Bank == -1 ? 0 : t.Bank, true);
    if (t.Program != -1) setup(0xC0 + ch, t.Program, 0, false);
    TEventWriter w(channel);
    for (const _TPart* p = t.Parts; p; p = p->Next) {
        std::int64_t time = p->Start;
        for (const _TEvent* e = p->Events; e; e = e->Next) {
            time += e->Delta;
            w.Event(time, *e);
        }
    }
    // The end of the track follows the last event: the time after it is not kept.
    WriteMeta(0x2F, "");
}

void WriteSmf() {
    int tracks = 0;
    for (int i = 0; i < TrackCount; ++i)
        if (IsWrittenTrack(*Song->Tracks[i])) ++tracks;
    FileWriteInt32BE(0x4D546864); // "MThd"
    FileWriteInt32BE(6);
    FileWriteInt16BE(1);
    FileWriteInt16BE(1 + tracks);
    FileWriteInt16BE(240);
    WriteTempoChunk();
    for (int i = 0; i < TrackCount; ++i)
        if (IsWrittenTrack(*Song->Tracks[i])) WriteTrackChunk(i);
}

std::string Upper(std::string S) {
    for (char& c : S)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return S;
}

} // namespace

std::string SmfFileTarget(std::string_view FileName) {
    std::string folder = platform::ExtractFilePath(FileName);
    std::string name = platform::ExtractFileName(FileName);
    if (std::size_t seq = name.find(".seq"); seq != std::string::npos) name.erase(seq);
    if (Upper(name).find(".MID") == std::string::npos) name += ".mid";
    return folder + name;
}

std::string SmfBytes() {
    std::string bytes;
    OutBytes = &bytes;
    OutFileCount = 0;
    WriteSmf();
    OutBytes = nullptr;
    return bytes;
}

bool WriteSmfFile(std::string_view FileName) {
    std::string path = SmfFileTarget(FileName);
    platform::TAtomicFile file(path);
    bool ok = file.Open();
    if (ok) {
        file.Stream().Write(SmfBytes());
        ok = file.Commit();
    }
    if (!ok) {
        platform::MessageBox(file.Error() + "\nThe song was not saved.", "Save song",
                             platform::MB_OK | platform::MB_ICONERROR);
        return false;
    }
    Song->Folder = platform::ExtractFilePath(path);
    Song->FileName = platform::ExtractFileName(path);
    Song->Modified = 0;
    Song->Untitled = 0;
    Song->IsMidiFile = 1;
    SongFileHost().SetArrangeCaption(Song->FileName);
    platform::TIniFile("tolvern.ini").WriteString("Autoload", "Song", path);
    return true;
}
