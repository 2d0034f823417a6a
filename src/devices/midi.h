#pragma once
// The MIDI object: the one way to the MIDI devices. Two back ends, fixed for the run by
// MidiMode: 0 forwards to the 16-bit MIDI engine library, 1 drives the multimedia MIDI
// interface itself through TPorts and TInPort.

#include "platform/core/messages.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TInPort;
class TMFX;

// One message that went out at once from a MIDI object without devices (song model tests).
struct TMidiSent {
    int Port;
    std::uint32_t Msg;
};

// The 16-bit MIDI engine library as the call layer reaches it (back end 0). Every entry takes
// 32-bit arguments in the order given; a failure to load or to find an entry throws.
class TMidiEngineLink {
public:
    virtual ~TMidiEngineLink() = default;
    // The library's 16-bit instance handle; throws "Load 16-bit dll failed: " + Path.
    virtual std::uint32_t Load(const std::string& Path) = 0;
    // Resolves and keeps an entry; throws "Get 16-bit address failed: " + Name.
    virtual void Resolve(std::string_view Name) = 0;
    virtual int Call(std::string_view Name, std::initializer_list<std::uint32_t> Args) = 0;
    // An entry that takes Args, then a block of Len bytes (copied for the call), then Last.
    virtual int CallWithBlock(std::string_view Name, std::initializer_list<std::uint32_t> Args,
                              const std::uint8_t* Block, int Len, std::uint32_t Last) = 0;
    virtual void Unload() = 0;
};
// Installed by the call layer (or by tests); nil means the engine cannot be loaded.
void SetMidiEngineLink(TMidiEngineLink* Link);

// What the MIDI object asks of the audio object and of the main window's recording flag. The
// audio object installs its own; the default has no audio open.
class TMidiAudio {
public:
    virtual ~TMidiAudio() = default;
    virtual bool AudioOn() { return false; } // TAudio.AudioOn: MIDI starts with the first block
    virtual void NotifyStart() {}
    virtual void Stop() {}
    virtual void StopCapture() {}
    virtual bool RecordAudio() { return false; } // TfmMdi.RecordAudio: the run captures audio
};
TMidiAudio& MidiAudio();
void SetMidiAudio(TMidiAudio* Audio);

// Engine back end: one output's state.
class TOutput {
public:
    bool Active = false;
};

enum class TMidiSetup {
    Bare,   // no devices: every immediate message lands in Sent (for song model tests)
    Devices // the program's object: opens the back end of MidiMode
};

class TMIDI {
public:
    explicit TMIDI(TMidiSetup Setup = TMidiSetup::Bare);
    ~TMIDI();
    TMIDI(const TMIDI&) = delete;
    TMIDI& operator=(const TMIDI&) = delete;

    bool Created = false;
    // Beats per minute; the tick and time conversions read it from any thread.
    std::atomic<int> Tempo{120};
    std::atomic<bool> Pending{false};
    platform::HWND Window = 0;
    std::unique_ptr<TInPort> InPort;
    int StartPos = 0, LoopStart = 0, LoopEnd = 0;
    bool LoopOn = false;
    // Set by the options window, read by the input callback on its own thread.
    std::atomic<bool> MapInput{false};
    bool ClickOn = false;
    int PrecountBeats = 0, ClickChannel = 0, ClickDevice = 0, ClickNote = 0;
    // Written by the start (audio thread with audio open), read by the input callback.
    std::atomic<std::uint32_t> RecordStart{0};

    void OpenMidi();
    void CloseMidi();
    // Sends a short message at once on output Port.
    void DirectMidiOut(int Port, std::uint32_t Msg);
    // The same immediate message as DirectMidiOut.
    void QueueMidiOut(int Port, std::uint32_t Msg);
    void GetOutputCaps(int Index, int& Technology, std::string& Name);
    void GetInputName(int Index, std::string& Name);
    void SetWnd(platform::HWND Wnd);
    void SelectInput(int Index);
    void SetMThru(bool On, int Port, int Channel, int Track, TMFX* ThruPlugin);
    void Play(int Pos, int LoopStart, int LoopEnd, bool LoopOn);
    void Record(int Pos, int LoopStart, int LoopEnd, bool LoopOn);
    void StartPending();
    void RecordPending();
    int Stop(int StopAudio);
    bool MoreMidiIn();
    void ReadMidiIn(std::uint32_t& Msg, std::uint32_t& Time);
    void RecordEvent(std::uint32_t Msg);
    // Data: the value of a 32-bit value event, or the address of a system-exclusive block of
    // Len bytes.
    void PushEvent(int Port, int Time, std::uint32_t Msg, bool& Accepted, std::uintptr_t Data,
                   int Len);
    void FlushOutput();
    int GetTempo() const { return Tempo; }
    void SetTempo(int BPM);
    void Metronom(bool Active, bool PcSpeaker, bool MidiBeep, bool Precount, int PrecountBeats,
                  int Channel, int Device, int Note);
    int GetPos();
    int GetInputPos();
    void AllNotesOff(int Channel, int Port);
    void ResetControllers();
    void SetQ(bool On, int Value);
    void SetTranspose(int Value);
    void SetSync(bool On, int Device, int Fps);
    bool IsOutputOpen(int Index);
    bool IsInputOpen();
    bool OpenOutDev(int Index);
    bool CloseOutDev(int Index);
    int GetLoopCount();
    void SendProgramChange(int Port, int Channel, int Bank, int Program, int BankMode);
    // The back end: 0 the 16-bit engine, 1 the multimedia interface.
    int Mode() const { return mode_; }

    // Until the ports exist every send of a bare object lands here, in order; tests read and
    // clear it.
    std::vector<TMidiSent> Sent;

private:
    int Engine(std::string_view Name, std::initializer_list<std::uint32_t> Args = {});
    void StartRun(int Pos, int LoopStartArg, int LoopEndArg, bool LoopOnArg, bool Recording);
    void IssueStart(bool Recording);
    void ReadCcMap();
    void RestartPlayback();

    bool bare_ = true;
    int mode_ = 1;
    // Set once a recording's input clock runs (RecordStart is valid); until then recorded
    // input is stamped at the start position.
    std::atomic<bool> inputClockOn_{false};
    TMidiEngineLink* engine_ = nullptr;
};

// The program's MIDI object; nil until the main window makes it.
extern TMIDI* Midi;
// The back end: 0 the 16-bit engine, 1 the multimedia interface. No 16-bit thunking exists
// here, so it is 1 unless a test switches it before making the MIDI object.
extern int MidiMode;
// The device counts the multimedia interface reported when the MIDI object was made.
extern int MidiOutCount, MidiInCount;
// Engine back end: the first 20 outputs; indexes from 20 on are no output.
constexpr int EngineOutputCount = 20;
extern std::array<std::unique_ptr<TOutput>, EngineOutputCount> EngineOutputs;
// The controller-number map applied to incoming controllers.
extern std::array<std::uint8_t, 128> CcMap;
