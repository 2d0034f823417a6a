#pragma once
// The VST 2 plug-in interface as the host and the plug-ins share it, written from its published
// description in its 64-bit layout: pointer-sized dispatcher and callback values, the effect
// record with the platform's natural alignment. Plain declarations, usable by plug-ins too.

#include <cstdint>

struct AEffect;

using VstIntPtr = std::intptr_t;

// The host's callback: (effect, opcode, index, value, ptr, opt).
using audioMasterCallback = VstIntPtr (*)(AEffect*, std::int32_t, std::int32_t, VstIntPtr, void*,
                                          float);
using AEffectDispatcherProc = VstIntPtr (*)(AEffect*, std::int32_t, std::int32_t, VstIntPtr,
                                            void*, float);
using AEffectProcessProc = void (*)(AEffect*, float**, float**, std::int32_t);
using AEffectSetParameterProc = void (*)(AEffect*, std::int32_t, float);
using AEffectGetParameterProc = float (*)(AEffect*, std::int32_t);
using AEffectProcessDoubleProc = void (*)(AEffect*, double**, double**, std::int32_t);
// The library's entry ("main", or "VSTPluginMain").
using VstPluginMainProc = AEffect* (*)(audioMasterCallback);

struct AEffect {
    std::int32_t magic; // kEffectMagic
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process; // accumulating
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    std::int32_t uniqueID;
    std::int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};
static_assert(sizeof(void*) != 8 || sizeof(AEffect) == 192, "AEffect keeps its 64-bit layout");

constexpr std::int32_t VstCConst(char A, char B, char C, char D) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<unsigned char>(A)) << 24) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(B)) << 16) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(C)) << 8) |
                                     static_cast<unsigned char>(D));
}
constexpr std::int32_t kEffectMagic = VstCConst('V', 's', 't', 'P');

// Effect flags.
enum : std::int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

// Dispatcher opcodes (host to plug-in).
enum : std::int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effGetProgramNameIndexed = 29,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
    effIdle = 53,
    effGetVstVersion = 58,
};

// Callback opcodes (plug-in to host).
enum : std::int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterTempoAt = 10,
    audioMasterNeedIdle = 14,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42,
};

// Lengths of the texts the published interface names (plus the terminating zero).
constexpr int kVstMaxParamStrLen = 8;
constexpr int kVstMaxProgNameLen = 24;
constexpr int kVstMaxEffectNameLen = 32;
constexpr int kVstMaxVendorStrLen = 64;

// Time information (audioMasterGetTime).
struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    std::int32_t timeSigNumerator;
    std::int32_t timeSigDenominator;
    std::int32_t smpteOffset;
    std::int32_t smpteFrameRate;
    std::int32_t samplesToNextClock;
    std::int32_t flags;
};
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo keeps its layout");

enum : std::int32_t {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15,
};
constexpr std::int32_t kVstSmpte25fps = 1;

// Events (effProcessEvents).
enum : std::int32_t { kVstMidiType = 1, kVstSysExType = 6 };

struct VstEvent {
    std::int32_t type;
    std::int32_t byteSize; // of the event after these two fields
    std::int32_t deltaFrames;
    std::int32_t flags;
    char data[16];
};

struct VstMidiEvent {
    std::int32_t type; // kVstMidiType
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    std::int32_t noteLength;
    std::int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};
static_assert(sizeof(VstMidiEvent) == 32 && sizeof(VstEvent) == 32, "events are 32 bytes");

struct VstEvents {
    std::int32_t numEvents;
    VstIntPtr reserved;
    VstEvent* events[2]; // numEvents entries in truth
};

// The rectangle effEditGetRect answers.
struct ERect {
    std::int16_t top, left, bottom, right;
};

// Output pin properties (effGetOutputProperties).
struct VstPinProperties {
    char label[64];
    std::int32_t flags;
    std::int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};
