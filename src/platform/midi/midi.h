// The multimedia MIDI interface: output ports, stream output with buffers, markers and a tick
// position, and input ports with callbacks. Real ports come from the ALSA sequencer and from a
// JACK server that already runs (one device per MIDI port of another JACK client); tests
// register in-process virtual ports (virtualmidi.h). A machine without a sequencer or a JACK
// server simply has no real ports; the layer never starts a JACK server.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

using MMRESULT = std::uint32_t;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MIDIERR_UNPREPARED = 64;
constexpr MMRESULT MIDIERR_STILLPLAYING = 65;
constexpr MMRESULT MIDIERR_NOTREADY = 67;

// Callback messages.
constexpr std::uint32_t MIM_OPEN = 0x3C1;
constexpr std::uint32_t MIM_CLOSE = 0x3C2;
constexpr std::uint32_t MIM_DATA = 0x3C3;
constexpr std::uint32_t MIM_LONGDATA = 0x3C4;
constexpr std::uint32_t MIM_LONGERROR = 0x3C6;
constexpr std::uint32_t MOM_OPEN = 0x3C7;
constexpr std::uint32_t MOM_CLOSE = 0x3C8;
constexpr std::uint32_t MOM_DONE = 0x3C9;
constexpr std::uint32_t MOM_POSITIONCB = 0x3CA;

// Open flags.
constexpr std::uint32_t CALLBACK_NULL = 0;
constexpr std::uint32_t CALLBACK_FUNCTION = 0x30000;

// Device technology codes.
constexpr std::uint16_t MOD_MIDIPORT = 1;
constexpr std::uint16_t MOD_SYNTH = 2;
constexpr std::uint16_t MOD_SWSYNTH = 7;

// Header flags.
constexpr std::uint32_t MHDR_DONE = 1;
constexpr std::uint32_t MHDR_PREPARED = 2;
constexpr std::uint32_t MHDR_INQUEUE = 4;

// Stream event words: the high byte holds the type and the flags, the low 24 bits the
// message (short events) or the length of the parameters that follow (long events).
constexpr std::uint32_t MEVT_F_SHORT = 0;
constexpr std::uint32_t MEVT_F_LONG = 0x80000000;
constexpr std::uint32_t MEVT_F_CALLBACK = 0x40000000;
constexpr std::uint8_t MEVT_SHORTMSG = 0x00;
constexpr std::uint8_t MEVT_TEMPO = 0x01;
constexpr std::uint8_t MEVT_NOP = 0x02;
constexpr std::uint8_t MEVT_LONGMSG = 0x80;
constexpr std::uint8_t MEVT_COMMENT = 0x82;
constexpr std::uint8_t MEVT_VERSION = 0x84;

// Stream properties.
constexpr std::uint32_t MIDIPROP_SET = 0x80000000;
constexpr std::uint32_t MIDIPROP_GET = 0x40000000;
constexpr std::uint32_t MIDIPROP_TIMEDIV = 1;
constexpr std::uint32_t MIDIPROP_TEMPO = 2;

// Time formats of the stream position.
constexpr std::uint32_t TIME_MS = 0x1;
constexpr std::uint32_t TIME_TICKS = 0x20;

// Longest product name a device reports.
constexpr std::size_t MAXPNAMELEN = 32;

struct MidiOutHandle;
struct MidiInHandle;
using HMIDIOUT = MidiOutHandle*;
// A stream handle is an output handle: short messages may go to it directly.
using HMIDISTRM = HMIDIOUT;
using HMIDIIN = MidiInHandle*;

using MIDIOUTPROC = void (*)(HMIDIOUT h, std::uint32_t msg, std::uintptr_t instance,
                             std::uintptr_t param1, std::uintptr_t param2);
using MIDIINPROC = void (*)(HMIDIIN h, std::uint32_t msg, std::uintptr_t instance,
                            std::uintptr_t param1, std::uintptr_t param2);

struct MIDIOUTCAPS {
    std::uint16_t wMid = 0;
    std::uint16_t wPid = 0;
    std::uint32_t vDriverVersion = 0;
    char szPname[MAXPNAMELEN + 1] = {}; // up to 32 characters and a terminating zero
    std::uint16_t wTechnology = 0;
    std::uint16_t wVoices = 0;
    std::uint16_t wNotes = 0;
    std::uint16_t wChannelMask = 0;
    std::uint32_t dwSupport = 0;
};

struct MIDIINCAPS {
    std::uint16_t wMid = 0;
    std::uint16_t wPid = 0;
    std::uint32_t vDriverVersion = 0;
    char szPname[MAXPNAMELEN + 1] = {};
    std::uint32_t dwSupport = 0;
};

struct MIDIHDR {
    char* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
    MIDIHDR* lpNext = nullptr; // the driver's while the header is queued
    std::uintptr_t reserved = 0;
    std::uint32_t dwOffset = 0; // offset of the event that raised MOM_POSITIONCB
};

// One stream event as it lies in a buffer; long events carry their parameters after dwEvent,
// padded to a multiple of four bytes.
struct MIDIEVENT {
    std::uint32_t dwDeltaTime;
    std::uint32_t dwStreamID;
    std::uint32_t dwEvent;
};

struct MIDIPROPTIMEDIV {
    std::uint32_t cbStruct = sizeof(MIDIPROPTIMEDIV);
    std::uint32_t dwTimeDiv = 0;
};

struct MIDIPROPTEMPO {
    std::uint32_t cbStruct = sizeof(MIDIPROPTEMPO);
    std::uint32_t dwTempo = 0; // microseconds per quarter note
};

struct MMTIME {
    std::uint32_t wType = TIME_TICKS;
    std::uint32_t ticks = 0; // TIME_TICKS
    std::uint32_t ms = 0;    // TIME_MS
};

// Output devices.
unsigned midiOutGetNumDevs();
MMRESULT midiOutGetDevCaps(unsigned deviceId, MIDIOUTCAPS* caps);
MMRESULT midiOutOpen(HMIDIOUT* h, unsigned deviceId, MIDIOUTPROC callback, std::uintptr_t instance,
                     std::uint32_t flags);
MMRESULT midiOutClose(HMIDIOUT h);
MMRESULT midiOutShortMsg(HMIDIOUT h, std::uint32_t msg);
MMRESULT midiOutLongMsg(HMIDIOUT h, MIDIHDR* hdr);
MMRESULT midiOutPrepareHeader(HMIDIOUT h, MIDIHDR* hdr);
MMRESULT midiOutUnprepareHeader(HMIDIOUT h, MIDIHDR* hdr);

// Stream output. A stream opens paused at position 0; its buffers are prepared with
// midiOutPrepareHeader and played in the order they are handed over. Opened on MIDI_NODEVICE
// (an output too) it has no port: its messages go nowhere, while its clock, position and
// callbacks run as with a port.
constexpr unsigned MIDI_NODEVICE = 0xFFFFFFFFu;
MMRESULT midiStreamOpen(HMIDISTRM* h, unsigned* deviceId, unsigned cMidi, MIDIOUTPROC callback,
                        std::uintptr_t instance, std::uint32_t flags);
MMRESULT midiStreamClose(HMIDISTRM h);
MMRESULT midiStreamProperty(HMIDISTRM h, void* propData, std::uint32_t flags);
MMRESULT midiStreamOut(HMIDISTRM h, MIDIHDR* hdr);
MMRESULT midiStreamRestart(HMIDISTRM h);
MMRESULT midiStreamPause(HMIDISTRM h);
// Hands every queued buffer back (MOM_DONE for each, before it returns; no callback runs
// afterwards) and resets the position to 0.
MMRESULT midiStreamStop(HMIDISTRM h);
MMRESULT midiStreamPosition(HMIDISTRM h, MMTIME* time);

// Input devices. MIM_DATA carries the packed message in param1 and the milliseconds since
// midiInStart in param2; MIM_LONGDATA carries the returned header in param1.
unsigned midiInGetNumDevs();
MMRESULT midiInGetDevCaps(unsigned deviceId, MIDIINCAPS* caps);
MMRESULT midiInOpen(HMIDIIN* h, unsigned deviceId, MIDIINPROC callback, std::uintptr_t instance,
                    std::uint32_t flags);
MMRESULT midiInClose(HMIDIIN h);
MMRESULT midiInStart(HMIDIIN h);
MMRESULT midiInStop(HMIDIIN h);
// Stops the input and hands every queued buffer back with a recorded length of 0.
MMRESULT midiInReset(HMIDIIN h);
MMRESULT midiInPrepareHeader(HMIDIIN h, MIDIHDR* hdr);
MMRESULT midiInUnprepareHeader(HMIDIIN h, MIDIHDR* hdr);
MMRESULT midiInAddBuffer(HMIDIIN h, MIDIHDR* hdr);

// Whether the ports of the ALSA sequencer and of JACK are listed (on by default). Tests turn them
// off so that the device list holds their virtual ports alone.
void SetMidiRealPorts(bool on);
bool MidiRealPorts();
// Whether the kernel offers a sequencer at all.
bool MidiSequencerAvailable();
// Makes the listers of the sequencer's and JACK's ports (a client of each). A program calls it on
// a thread of its own while it starts (JackOpenerStarting before, platform/core/jackgate.h), so
// that the first device count need not wait for them; a count meanwhile waits for them a limited
// time, and lists the virtual ports alone while they are out. A JACK server that does not answer
// holds them for good (libjack has no time limit): a program does not wait for that thread on
// its way out.
void PrepareMidiPorts();

// Waits until every open stream has carried out all it owes up to the current clock time.
// Tests call it after moving the virtual clock.
void MidiSettle();

} // namespace platform
