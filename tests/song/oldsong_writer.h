#pragma once
// Composes song files of the twelve older versions byte for byte (the program writes none):
// big-endian 32-bit integers, short strings, doubles as they lie in memory, and the records of each version in file order.
// Versions are counted from 0 ("Tolvern") to 11 ("Tolvern3209"). Every count written is
// remembered by its offset, so that tests can replace it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oldsong {

constexpr int V0 = 0, V01 = 1, V02 = 2, V3201 = 3, V3202 = 4, V3203 = 5, V3204 = 6, V3205 = 7,
              V3206 = 8, V3207 = 9, V3208 = 10, V3209 = 11;

inline std::string Magic(int V) {
    static const char* const magics[] = {
        "Tolvern",     "Tolvern01",   "Tolvern02",   "Tolvern3201", "Tolvern3202", "Tolvern3203",
        "Tolvern3204", "Tolvern3205", "Tolvern3206", "Tolvern3207", "Tolvern3208", "Tolvern3209"};
    return magics[V];
}

struct Event {
    std::int32_t Delta;
    std::uint32_t Msg;
    std::string Block{}; // written after a status 0xF0 event from 3204 on
};

struct Part {
    std::string Name;
    std::int32_t Start = 0, Length = 960, Track = 0, Flags = 0;
    std::vector<Event> Events;
};

struct Track {
    std::int32_t Type = 0;
    std::vector<std::string> NameList; // behind a type 1, 3203-3205
    std::string Name;
    std::int32_t Channel = 0, Output = 0, Program = 200, Bank = 200, Volume = 200, Pan = 200,
                 Reverb = 200, Chorus = 200, Transpose = 0, Mute = 0, Layout = 0;
    std::string UserFile; // when Layout has 4096
    std::int32_t FX = -1;
    std::vector<Part> Parts;
};

struct Area {
    std::string Name;
    std::int32_t Left, Right;
};

class Writer {
public:
    explicit Writer(int Version) : V(Version) { Str(Magic(Version)); }

    const int V;
    std::string Bytes;
    std::vector<std::size_t> Counts; // offsets of the counts written with Count

    Writer& Int(std::int32_t N) {
        auto u = static_cast<std::uint32_t>(N);
        for (int s = 24; s >= 0; s -= 8)
            Bytes.push_back(static_cast<char>((u >> s) & 0xFF));
        return *this;
    }
    Writer& Count(std::int32_t N) {
        Counts.push_back(Bytes.size());
        return Int(N);
    }
    Writer& Str(std::string_view S) {
        Bytes.push_back(static_cast<char>(S.size()));
        Bytes.append(S);
        return *this;
    }
    // Doubles are stored as they lie in memory.
    Writer& Double(double D) {
        char b[sizeof D];
        __builtin_memcpy(b, &D, sizeof D);
        Bytes.append(b, sizeof D);
        return *this;
    }

    void WriteEvent(const Event& E) {
        Int(E.Delta).Int(static_cast<std::int32_t>(E.Msg));
        if (V >= V3204 && (E.Msg & 0xF0) == 0xF0)
            Count(static_cast<std::int32_t>(E.Block.size())).Bytes.append(E.Block);
    }
    void WritePart(const Part& P) {
        Str(P.Name).Int(P.Start).Int(P.Length).Int(P.Track);
        if (V >= V01) Int(P.Flags);
        Count(static_cast<std::int32_t>(P.Events.size()));
        for (const Event& e : P.Events)
            WriteEvent(e);
    }
    void WriteTrack(const Track& T) {
        if (V >= V3203) {
            Int(T.Type);
            if (V <= V3205 && T.Type == 1) {
                Count(static_cast<std::int32_t>(T.NameList.size()));
                for (const std::string& n : T.NameList)
                    Str(n);
            }
        }
        Str(T.Name).Int(T.Channel).Int(T.Output).Int(T.Program);
        if (V >= V02) Int(T.Bank).Int(T.Volume).Int(T.Pan);
        if (V >= V3205) Int(T.Reverb).Int(T.Chorus);
        if (V >= V02) Int(T.Transpose);
        if (V >= V01) Int(T.Mute);
        if (V >= V3207) {
            Int(T.Layout);
            if (T.Layout & 4096) Str(T.UserFile);
        }
        if (V >= V3209) Int(T.FX);
        Count(static_cast<std::int32_t>(T.Parts.size()));
        for (const Part& p : T.Parts)
            WritePart(p);
    }
    int TrackSlots() const { return V <= V02 ? 16 : 32; }
    // Tracks beyond those given are written empty (name "", channel 0, no parts).
    void WriteTracks(const std::vector<Track>& Tracks) {
        for (int i = 0; i < TrackSlots(); ++i)
            WriteTrack(i < static_cast<int>(Tracks.size()) ? Tracks[i] : Track{});
    }
    void WriteAreas(const std::vector<Area>& Areas) {
        Count(static_cast<std::int32_t>(Areas.size()) - 1);
        for (const Area& a : Areas)
            Str(a.Name).Int(a.Left).Int(a.Right).Int(0);
    }

    // The flat layout of the first four versions.
    void Flat(std::string_view Name, std::int32_t Tempo, const std::vector<Track>& Tracks,
              const std::vector<Area>& Areas) {
        Str(Name).Int(Tempo);
        WriteTracks(Tracks);
        WriteAreas(Areas);
    }

    // Keyword sections.
    Writer& Keyword(std::string_view K) { return Str(K); }
    void Tracks(const std::vector<Track>& Tracks) {
        Keyword("Tracks").Int(0);
        WriteTracks(Tracks);
    }
    void MasterTempo(const std::vector<std::int32_t>& Values) {
        Keyword("MasterTempo").Count(static_cast<std::int32_t>(Values.size()));
        for (std::int32_t v : Values)
            Int(v);
    }
    void Areas(const std::vector<Area>& Areas) {
        Keyword("Area");
        WriteAreas(Areas);
    }
    // One "Audio" record: Values are those the field count F makes present, in file order
    // (index, volume, pan, mute, FR as F allows); the unused values are written as zeros.
    struct Slot {
        std::int32_t Track, Index = 0, Volume = 0, Pan = 0, Mute = 0, FR = 0;
    };
    void Audio(std::int32_t F, const std::vector<Slot>& Slots) {
        Keyword("Audio").Count(static_cast<std::int32_t>(Slots.size())).Int(F);
        const int f = F > 11 ? 11 : F;
        for (const Slot& s : Slots) {
            Int(s.Track);
            if (f >= 1) Int(s.Index);
            if (f >= 2) Int(s.Volume);
            if (f >= 3) Int(s.Pan);
            Int(0);
            if (f >= 5) Int(s.Mute);
            Int(0);
            if (f >= 7) Int(s.FR);
            for (int i = 0; i < (V >= V3207 ? 4 : 3); ++i)
                Int(0);
        }
    }
    // "MFX": one entry of one sub-entry with Items items, K and R values behind item K.
    void Mfx(std::int32_t Items, std::int32_t K, std::int32_t R) {
        Keyword("MFX").Count(1).Str("fx").Int(3).Count(1);
        Str("sub").Int(1).Int(K).Count(Items).Count(R);
        for (std::int32_t i = 0; i < Items; ++i) {
            Str("item" + std::to_string(i));
            if (i != K) continue;
            for (std::int32_t r = 0; r < R; ++r)
                V >= V3208 ? Double(0.5 + r) : Str("v" + std::to_string(r));
        }
    }
};

// The fixture of a version: song "Old tune" at tempo 133, two tracks with a part of events
// each, one area "Verse"; the keyword versions add the tempo presets 100 and 90, "AWE", "MFX",
// and what their version has of the rest (beats in bar 3).
inline std::vector<Track> FixtureTracks(int V) {
    Track piano;
    piano.Name = "Piano";
    piano.Channel = 3;
    piano.Output = 1;
    piano.Program = 5;
    piano.Bank = 2;
    piano.Volume = 100;
    piano.Pan = 64;
    piano.Reverb = 40;
    piano.Chorus = 10;
    piano.Transpose = -12;
    piano.Mute = 1;
    piano.Layout = 4096;
    piano.UserFile = "my.ins";
    piano.FX = 7;
    Part intro{"Intro", 0, 960, 0, 1, {{0, 0x643C93}, {120, 0x3C83}}};
    if (V >= V3204) intro.Events.push_back({10, 0xF0, std::string("\xF0\x7E\xF7", 3)});
    piano.Parts.push_back(intro);

    Track bass;
    bass.Name = "Bass";
    bass.Channel = 200; // none
    bass.Output = 5;    // no such port
    bass.Program = 200; // none
    bass.Bank = 3;
    bass.Volume = 300; // no data byte
    bass.Mute = 2;     // not muted
    // A length of nothing, and a track that is not the one being read.
    bass.Parts.push_back({"Line", 960, 0, 7, 0, {{0, 0x7F2890}, {240, 0x2880}}});
    return {piano, bass};
}

inline std::string Fixture(int V, std::vector<std::size_t>* Counts = nullptr) {
    Writer w(V);
    const std::vector<Area> areas{{"Verse", 960, 1920}};
    if (V <= V3201) {
        w.Flat("Old tune", 133, FixtureTracks(V), areas);
    } else {
        if (V >= V3206) w.Keyword("Version").Int(1);
        w.Keyword("Name").Str("Old tune");
        w.Keyword("Tempo").Int(133);
        if (V >= V3209) w.Keyword("BeatsInBar").Int(3);
        w.Tracks(FixtureTracks(V));
        w.Keyword(V <= V3204 ? "Positions" : "???");
        w.MasterTempo({100, 90});
        w.Areas(areas);
        if (V >= V3203) w.Keyword("AWE").Int(1).Int(2).Int(3).Int(4).Int(0);
        if (V >= V3207) w.Mfx(3, 1, 2);
    }
    if (Counts) *Counts = w.Counts;
    return w.Bytes;
}

} // namespace oldsong
