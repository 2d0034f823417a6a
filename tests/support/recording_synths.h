#pragma once
// Fake instrument plug-ins of both interfaces that note every event they are handed, block by
// block, and play a constant on each output. Installed as fake libraries: "recvst" loads the
// current RecordingVst, "recmfx" the current RecordingMfx.

#include "devices/vst2.h"
#include "support/fake_library.h"
#include "tolvern_mfx.h"

#include <cstdint>
#include <ostream>
#include <utility>
#include <vector>

// One event as a plug-in got it: the block it came with (blocks processed before it), its
// frame and its message.
struct TGotEvent {
    int Block = 0;
    int Frame = 0;
    std::uint32_t Msg = 0;
    bool operator==(const TGotEvent&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const TGotEvent& e) {
    return os << "{block " << e.Block << ", frame " << e.Frame << ", 0x" << std::hex << e.Msg
              << std::dec << "}";
}

struct RecordingVst {
    AEffect E{};
    std::vector<TGotEvent> Events;
    int Blocks = 0;
    std::vector<std::int32_t> PinFlags; // what effGetOutputProperties answers, pin by pin
    std::vector<int> Programs;          // effSetProgram values after the load

    explicit RecordingVst(int Outputs = 2) {
        E.magic = kEffectMagic;
        E.dispatcher = &Dispatcher;
        E.processReplacing = &Replacing;
        E.setParameter = [](AEffect*, std::int32_t, float) {};
        E.getParameter = [](AEffect*, std::int32_t) { return 0.0f; };
        E.numOutputs = Outputs;
        E.flags = effFlagsCanReplacing | effFlagsIsSynth;
        E.object = this;
        Current = this;
    }
    ~RecordingVst() { Current = nullptr; }
    RecordingVst(const RecordingVst&) = delete;
    RecordingVst& operator=(const RecordingVst&) = delete;
    static RecordingVst* Self(AEffect* e) { return static_cast<RecordingVst*>(e->object); }
    static VstIntPtr Dispatcher(AEffect* e, std::int32_t op, std::int32_t index, VstIntPtr value,
                                void* ptr, float opt) {
        RecordingVst* f = Self(e);
        if (op == effProcessEvents) {
            auto* list = static_cast<VstEvents*>(ptr);
            for (int i = 0; i < list->numEvents; ++i) {
                auto* m = reinterpret_cast<VstMidiEvent*>(list->events[i]);
                std::uint32_t msg = static_cast<unsigned char>(m->midiData[0]) |
                                    static_cast<unsigned char>(m->midiData[1]) << 8 |
                                    static_cast<unsigned char>(m->midiData[2]) << 16;
                f->Events.push_back({f->Blocks, m->deltaFrames, msg});
            }
            return 1;
        }
        if (op == effGetOutputProperties) {
            if (index < 0 || index >= static_cast<int>(f->PinFlags.size())) return 0;
            static_cast<VstPinProperties*>(ptr)->flags =
                f->PinFlags[static_cast<std::size_t>(index)];
            return 1;
        }
        if (op == effSetProgram && f->Loaded) f->Programs.push_back(static_cast<int>(value));
        if (op == effSetSampleRate) f->Rate = opt;
        if (op == effMainsChanged && value == 1) f->Loaded = true;
        return 0;
    }
    // Output pin o plays (o + 1) / 8.
    static void Replacing(AEffect* e, float**, float** out, std::int32_t n) {
        for (int o = 0; o < e->numOutputs; ++o)
            for (int i = 0; i < n; ++i)
                out[o][i] = static_cast<float>(o + 1) / 8.0f;
        ++Self(e)->Blocks;
    }

    static inline RecordingVst* Current = nullptr;
    static AEffect* Main(audioMasterCallback) { return Current ? &Current->E : nullptr; }
    FakeLibrary Library{"recvst", {{"main", FakeLibrary::Entry(&Main)}}};
    bool Loaded = false;
    float Rate = 0.0f; // the last effSetSampleRate
};

struct RecordingMfx {
    TMfxInterface R{}; // first: the record's address is the object's
    std::vector<TGotEvent> Events;
    int Blocks = 0;
    int Outputs = 1;
    int NotesOff = 0;                                // command 12 with 0
    std::vector<std::pair<int, intptr_t>> Positions; // commands 12 with 1 and 3: (command, value)
    std::vector<TMfxEvent> Emit; // handed back through command 14 in the next block
    float Rate = 0.0f;           // what command 5 pointed at

    RecordingMfx() {
        R.Process = &Process;
        R.Command = &Command;
        Current = this;
    }
    ~RecordingMfx() { Current = nullptr; }
    RecordingMfx(const RecordingMfx&) = delete;
    RecordingMfx& operator=(const RecordingMfx&) = delete;
    static RecordingMfx* Self(TMfxInterface* r) { return reinterpret_cast<RecordingMfx*>(r); }
    static intptr_t Command(TMfxInterface* r, std::int32_t cmd, intptr_t a, intptr_t b) {
        RecordingMfx* f = Self(r);
        switch (cmd) {
        case MFX_EDITOR:
            return -1;
        case MFX_OUTPUTS:
            return f->Outputs;
        case MFX_EVENTS:
            for (auto* e = reinterpret_cast<const TMfxEvent*>(a); e; e = e->Next)
                f->Events.push_back({f->Blocks, e->Frame, e->Message});
            return 0;
        case MFX_EMITTED_EVENTS:
            if (!f->Emit.empty()) {
                for (std::size_t i = 0; i + 1 < f->Emit.size(); ++i)
                    f->Emit[i].Next = &f->Emit[i + 1];
                f->Emit.back().Next = nullptr;
                *reinterpret_cast<TMfxEvent**>(a) = f->Emit.data();
            }
            return 0;
        case MFX_POSITION:
            if (a == 0) ++f->NotesOff;
            if (a == 1) f->Positions.push_back({cmd, b});
            return 0;
        case MFX_TEMPO:
            f->Positions.push_back({cmd, a});
            return 0;
        case MFX_SAMPLE_RATE:
            f->Rate = a ? *reinterpret_cast<const float*>(a) : 0.0f;
            return 0;
        default:
            return 0;
        }
    }
    static void Process(TMfxInterface* r, float* buffer, std::int32_t frames) {
        for (int i = 0; i < 2 * frames; ++i)
            buffer[i] = 0.25f;
        RecordingMfx* f = Self(r);
        f->Emit.clear();
        ++f->Blocks;
    }

    static inline RecordingMfx* Current = nullptr;
    static TMfxInterface* Connect() { return Current ? &Current->R : nullptr; }
    FakeLibrary Library{"recmfx", {{"MFXConnect", FakeLibrary::Entry(&Connect)}}};
};
