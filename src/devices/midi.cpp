#include "devices/midi.h"

#include "devices/inport.h"
#include "devices/midimsg.h"
#include "devices/ports.h"
#include "platform/core/clock.h"
#include "platform/core/ini.h"
#include "platform/core/paths.h"
#include "platform/midi/midi.h"
#include "song/seams.h"
#include "song/song.h"
#include "song/timebase.h"

#include <algorithm>
#include <stdexcept>

using namespace platform;

TMIDI* Midi = nullptr;
int MidiMode = 1;
int MidiOutCount = 0, MidiInCount = 0;
std::array<std::unique_ptr<TOutput>, EngineOutputCount> EngineOutputs;
std::array<std::uint8_t, 128> CcMap;

namespace {

TMidiEngineLink* engineLink = nullptr;
TMidiAudio defaultAudio;
TMidiAudio* audio = nullptr;

// The entries the engine back end keeps at hand, resolved once at creation.
constexpr std::string_view cachedEntries[] = {
    "Start",        "StopMidi",   "PushMidiOut",   "PushSysexOut",  "DirectMidiOut",
    "QueueMidiOut", "MoreMidiIn", "GetMidiInTime", "GetMidiInData", "GetPos",
    "GetTotalPos",  "SetupMTC",   "RecordEvent",   "WaitMS",        "GetLoopCount"};

std::uint32_t U(int V) {
    return static_cast<std::uint32_t>(V);
}

} // namespace

void SetMidiEngineLink(TMidiEngineLink* Link) {
    engineLink = Link;
}

TMidiAudio& MidiAudio() {
    return audio ? *audio : defaultAudio;
}
void SetMidiAudio(TMidiAudio* Audio) {
    audio = Audio;
}

TMIDI::TMIDI(TMidiSetup Setup) {
    for (int i = 0; i < 128; ++i)
        CcMap[i] = static_cast<std::uint8_t>(i);
    if (Setup == TMidiSetup::Bare) return;
    bare_ = false;
    mode_ = MidiMode;
    Created = false;
    Pending = false;
    MidiOutCount = static_cast<int>(midiOutGetNumDevs());
    MidiInCount = static_cast<int>(midiInGetNumDevs());
    RunLogAdd("MIDI devices: in x " + std::to_string(MidiInCount) + " out x " +
              std::to_string(MidiOutCount) + "...");
    if (mode_ == 1) {
        Ports = new TPorts(0);
    } else {
        std::string path = ProgramFolder() + "midiengine.dll";
        if (!engineLink) throw std::runtime_error("Load 16-bit dll failed: " + path);
        engine_ = engineLink;
        std::uint32_t instance = engine_->Load(path);
        RunLogAdd("MIDIEngine dll loaded @ " + std::to_string(instance) + " ...");
        try {
            for (auto name : cachedEntries)
                engine_->Resolve(name);
            RunLogAdd("MIDI functions cached...");
            Engine("MidiSetup");
        } catch (...) {
            // No destructor runs for an object that was never made: the library goes here.
            engine_->Unload();
            throw;
        }
        RunLogAdd("MIDI setup done...");
    }
    InPort = std::make_unique<TInPort>(this);
    RunLogAdd("MIDI input created...");
    ReadCcMap();
    RunLogAdd("MIDI cc map done...");
    TIniFile ini("tolvern.ini");
    MapInput = ini.ReadBool("MIDI", "MapInput", false);
    Created = true;
}

TMIDI::~TMIDI() {
    if (!Created) return;
    AllNotesOff(-1, -1);
    CloseMidi();
    if (mode_ == 0 && engine_) engine_->Unload();
}

void TMIDI::ReadCcMap() {
    TIniFile ini("tolvern.ini");
    for (auto& key : ini.ReadSection("ccmap")) {
        if (!IsIntegerText(key)) continue;
        int n = StrToIntDef(key, -1);
        if (n < 0 || n > 127) continue;
        // A value that is no number, or no controller number, leaves the entry as it was.
        int to = ini.ReadInteger("ccmap", key, CcMap[n]);
        if (to >= 0 && to <= 127) CcMap[n] = static_cast<std::uint8_t>(to);
    }
}

int TMIDI::Engine(std::string_view Name, std::initializer_list<std::uint32_t> Args) {
    return engine_ ? engine_->Call(Name, Args) : 0;
}

void TMIDI::OpenMidi() {
    if (mode_ != 0) return;
    Engine("OpenMidi");
    for (int i = 0; i < std::min(MidiOutCount, EngineOutputCount); ++i) {
        EngineOutputs[i] = std::make_unique<TOutput>();
        EngineOutputs[i]->Active = Engine("OutputActive", {U(i)}) == 1;
    }
}

void TMIDI::CloseMidi() {
    if (bare_) return;
    if (mode_ == 0) {
        Engine("CloseMidi");
    } else {
        delete Ports;
        Ports = nullptr;
    }
    if (InPort) InPort->Close();
}

void TMIDI::DirectMidiOut(int Port, std::uint32_t Msg) {
    if (bare_) {
        Sent.push_back({Port, Msg});
    } else if (mode_ == 0) {
        Engine("DirectMidiOut", {U(Port), Msg});
    } else if (Ports) {
        // Nothing goes to a port that is no output; the device layer refuses what is no
        // message (the program's own statuses among them).
        if (HMIDIOUT h = Ports->GetHandle(Port)) midiOutShortMsg(h, Msg & 0xFFFFFF);
    }
}

void TMIDI::QueueMidiOut(int Port, std::uint32_t Msg) {
    if (!bare_ && mode_ == 0)
        Engine("QueueMidiOut", {U(Port), Msg});
    else
        DirectMidiOut(Port, Msg);
}

void TMIDI::GetOutputCaps(int Index, int& Technology, std::string& Name) {
    MIDIOUTCAPS caps;
    if (Index < 0 || Index >= MidiOutCount ||
        midiOutGetDevCaps(U(Index), &caps) != MMSYSERR_NOERROR) {
        Name = "Out of range";
        return;
    }
    Technology = caps.wTechnology;
    Name = caps.szPname;
}

void TMIDI::GetInputName(int Index, std::string& Name) {
    MIDIINCAPS caps;
    if (Index < 0 || Index >= MidiInCount ||
        midiInGetDevCaps(U(Index), &caps) != MMSYSERR_NOERROR) {
        Name = "Out of range";
        return;
    }
    Name = caps.szPname;
}

void TMIDI::SetWnd(HWND Wnd) {
    Window = Wnd;
    if (mode_ == 0) Engine("SetWnd", {static_cast<std::uint32_t>(Wnd)});
    if (Ports) Ports->Window = Wnd;
    if (InPort) InPort->Window = Wnd;
}

void TMIDI::SelectInput(int Index) {
    if (InPort) InPort->Open(Index);
}

void TMIDI::SetMThru(bool On, int Port, int Channel, int Track, TMFX* ThruPlugin) {
    if (mode_ == 0) Engine("SetMThru", {On ? 1u : 0u, U(Port), U(Channel), U(Track)});
    if (!InPort) return;
    InPort->ThruOn = On;
    InPort->ThruPort = Port;
    InPort->ThruChannel = Channel;
    InPort->ThruTrack = Track;
    InPort->ThruPlugin = ThruPlugin;
}

void TMIDI::StartRun(int Pos, int LoopStartArg, int LoopEndArg, bool LoopOnArg, bool Recording) {
    // The input of an earlier recording is forgotten before this one can stamp any.
    if (Recording && InPort) InPort->BeginTake();
    // The start arguments are in place before the audio thread and the input callback can see
    // the run (Pending, State); the input clock starts with MIDI.
    StartPos = Pos;
    LoopStart = LoopStartArg;
    LoopEnd = LoopEndArg;
    LoopOn = LoopOnArg;
    inputClockOn_ = false;
    Pending = true;
    if (mode_ == 0) Engine("SetupMTC", {U(Pos)});
    if (Song) Song->State = Recording ? 1 : 2;
    MidiAudio().NotifyStart();
    // With the audio output open the first audio block starts MIDI, so both start together.
    if (MidiAudio().AudioOn()) return;
    IssueStart(Recording);
}

void TMIDI::IssueStart(bool Recording) {
    if (mode_ == 0) {
        Engine(Recording ? "Rec" : "Start",
               {U(StartPos), U(LoopStart), U(LoopEnd), LoopOn ? 1u : 0u});
        return;
    }
    if (Ports) Ports->Start(StartPos);
    if (Recording) {
        RecordStart = TimeGetTime();
        inputClockOn_ = true;
    }
}

void TMIDI::Play(int Pos, int LoopStartArg, int LoopEndArg, bool LoopOnArg) {
    StartRun(Pos, LoopStartArg, LoopEndArg, LoopOnArg, false);
}

void TMIDI::Record(int Pos, int LoopStartArg, int LoopEndArg, bool LoopOnArg) {
    StartRun(Pos, LoopStartArg, LoopEndArg, LoopOnArg, true);
}

void TMIDI::StartPending() {
    IssueStart(false);
}

void TMIDI::RecordPending() {
    IssueStart(true);
}

int TMIDI::Stop(int StopAudio) {
    if (InPort) {
        // What arrived before the stop goes into the record part; nothing after it does.
        if (Song && Song->State == 1) InPort->InsertRecorded();
        InPort->DropSysex();
    }
    Pending = false;
    if (StopAudio == 1) MidiAudio().Stop();
    if (MidiAudio().RecordAudio()) MidiAudio().StopCapture();
    int result = 0;
    if (mode_ == 0) {
        Engine("StopMidi");
        result = Engine("GetPos");
    } else if (Ports) {
        result = Ports->Stop();
    } else {
        result = StartPos;
    }
    return result;
}

bool TMIDI::MoreMidiIn() {
    return mode_ == 0 && Engine("MoreMidiIn") == 1;
}

void TMIDI::ReadMidiIn(std::uint32_t& Msg, std::uint32_t& Time) {
    if (mode_ != 0) return;
    Time = U(Engine("GetMidiInTime"));
    Msg = U(Engine("GetMidiInData"));
}

void TMIDI::RecordEvent(std::uint32_t Msg) {
    if (mode_ == 0) Engine("RecordEvent", {Msg});
}

void TMIDI::PushEvent(int Port, int Time, std::uint32_t Msg, bool& Accepted, std::uintptr_t Data,
                      int Len) {
    if (mode_ == 1) {
        Accepted = Ports && Ports->Push(Time, Msg, Data, Port);
        return;
    }
    if (MidiStatus(Msg) != msSysex) {
        Accepted = Engine("PushMidiOut", {U(Port), U(Time), Msg}) == 1;
    } else if (MidiData1(Msg) == 1) {
        Accepted =
            engine_ && engine_->CallWithBlock("PushSysexOut", {U(Port), U(Time), Msg}, nullptr, 0,
                                              static_cast<std::uint32_t>(Data)) == 1;
    } else if (Len > 0 && engine_) {
        int n = std::min(Len, 512);
        Accepted =
            engine_->CallWithBlock("PushSysexOut", {U(Port), U(Time), Msg},
                                   reinterpret_cast<const std::uint8_t*>(Data), n, U(n)) == 1;
    }
}

void TMIDI::FlushOutput() {
    if (mode_ == 1 && Ports) Ports->FlushOutput();
}

void TMIDI::RestartPlayback() {
    if (MidiAudio().AudioOn() && MainWindow().PausePlayback()) MainWindow().ResumePlayback();
}

void TMIDI::SetTempo(int BPM) {
    if (mode_ == 0) {
        Engine("SetTempo", {U(BPM)});
        Tempo = std::clamp(BPM, 10, 250);
    } else if (BPM > 0) {
        // Without a stream nothing can refuse a tempo.
        if (!Ports || !Ports->HasStream() || Ports->SetTempo(BPM)) Tempo = BPM;
    }
    RestartPlayback();
}

void TMIDI::Metronom(bool Active, bool PcSpeaker, bool MidiBeep, bool Precount,
                     int PrecountBeatsArg, int Channel, int Device, int Note) {
    if (mode_ == 0) {
        Engine("Metronom",
               {Active ? 1u : 0u, PcSpeaker ? 1u : 0u, MidiBeep ? 1u : 0u, Precount ? 1u : 0u,
                U(PrecountBeatsArg), U(Channel), U(Device), U(Note)});
        return;
    }
    ClickOn = Active;
    PrecountBeats = PrecountBeatsArg;
    ClickChannel = Channel;
    ClickDevice = Device;
    ClickNote = Note;
    if (MainWindow().PausePlayback()) MainWindow().ResumePlayback();
}

int TMIDI::GetPos() {
    if (mode_ == 0) return Engine("GetPos");
    return Ports ? Ports->GetPosition() : StartPos;
}

int TMIDI::GetInputPos() {
    if (mode_ == 0) return Engine("GetPos");
    if (Song && Song->State == 1) {
        // Input that arrives before MIDI has started (audio open: the first block starts it)
        // belongs at the start, not at a time counted from an earlier recording.
        if (!inputClockOn_) return StartPos;
        int p = MsToTicks(static_cast<double>(TimeGetTime() - RecordStart)) + StartPos;
        int span = Song->RightLocator - Song->LeftLocator;
        while (Song->Looping && span > 0 && p > Song->RightLocator)
            p -= span;
        return p;
    }
    return GetPos();
}

void TMIDI::AllNotesOff(int Channel, int Port) {
    if (mode_ == 0) {
        Engine("AllNotesOff", {U(Channel), U(Port)});
        return;
    }
    if (Ports) {
        // Silence what was played, on every output and channel, one note-off per counted note.
        for (auto& out : Ports->Outputs)
            for (int c = 0; c < 16; ++c)
                for (int n = 0; n < 128; ++n) {
                    auto& count = out->NoteCount[c][n];
                    if (count == 0) continue;
                    --count;
                    midiOutShortMsg(out->Handle, PackMidiMsg(0x90 + U(c), U(n), 0));
                }
    }
    int c0 = Channel == -1 ? 0 : Channel, c1 = Channel == -1 ? 15 : Channel;
    int p0 = Port == -1 ? 0 : Port, p1 = Port == -1 ? MidiOutCount - 1 : Port;
    for (int c = std::max(c0, 0); c <= std::min(c1, 15); ++c)
        for (int p = p0; p <= p1; ++p) {
            DirectMidiOut(p, PackMidiMsg(0xB0 + U(c), 123, 0));
            DirectMidiOut(p, PackMidiMsg(0xB0 + U(c), 120, 0));
        }
}

void TMIDI::ResetControllers() {
    for (int p = 0; p < MidiOutCount; ++p)
        for (int c = 0; c < 16; ++c)
            DirectMidiOut(p, PackMidiMsg(0xB0 + U(c), 121, 0));
}

void TMIDI::SetQ(bool On, int Value) {
    if (mode_ == 0) Engine("SetQ", {On ? 1u : 0u, U(Value)});
    if (!InPort) return;
    InPort->QuantizeOn = On;
    InPort->QuantizeValue = Value;
}

void TMIDI::SetTranspose(int Value) {
    if (mode_ == 0) Engine("SetTranspose", {U(Value)});
    if (InPort) InPort->Transpose = Value;
}

void TMIDI::SetSync(bool On, int Device, int Fps) {
    if (mode_ == 0) Engine("SetSync", {On ? 1u : 0u, U(Device), U(Fps)});
}

bool TMIDI::IsOutputOpen(int Index) {
    if (mode_ == 0)
        return Index >= 0 && Index < std::min(MidiOutCount, EngineOutputCount) &&
               EngineOutputs[Index] && EngineOutputs[Index]->Active;
    return Ports && Index >= 0 && Index < static_cast<int>(Ports->Outputs.size()) &&
           Ports->Outputs[Index]->Opened;
}

bool TMIDI::IsInputOpen() {
    return InPort && InPort->Opened;
}

bool TMIDI::OpenOutDev(int Index) {
    if (mode_ == 1) {
        if (Ports) Ports->OpenOutput(Index);
        return true;
    }
    if (Index < 0 || Index >= std::min(MidiOutCount, EngineOutputCount) || !EngineOutputs[Index] ||
        EngineOutputs[Index]->Active)
        return false;
    bool r = Engine("OpenOutDev", {U(Index)}) == 1;
    EngineOutputs[Index]->Active = r;
    return r;
}

bool TMIDI::CloseOutDev(int Index) {
    if (mode_ == 1) {
        if (Ports) Ports->CloseOutput(Index);
        return true;
    }
    if (Index < 0 || Index >= std::min(MidiOutCount, EngineOutputCount) || !EngineOutputs[Index] ||
        !EngineOutputs[Index]->Active)
        return false;
    AllNotesOff(-1, -1);
    bool r = Engine("CloseOutDev", {U(Index)}) == 1;
    EngineOutputs[Index]->Active = !r;
    return r;
}

int TMIDI::GetLoopCount() {
    return mode_ == 0 ? Engine("GetLoopCount") : 0;
}

void TMIDI::SendProgramChange(int Port, int Channel, int Bank, int Program, int BankMode) {
    // Channel -1 (a track that keeps its events' channels) goes out on channel 0, as the song
    // gives it for the track's controllers; any other channel is taken as its low four bits.
    const std::uint32_t ch = Channel == -1 ? 0 : U(Channel) & 15;
    const std::uint32_t b = 0xB0 + ch, c = 0xC0 + ch;
    // A byte outside 0..127 would be packed into another status or value: such a bank sends
    // no bank select.
    auto fits = [](std::int64_t v) { return v >= 0 && v <= 127; };
    auto bankSelect = [&](std::int64_t msb, std::int64_t lsb) {
        if (!fits(msb) || !fits(lsb)) return;
        DirectMidiOut(Port, PackMidiMsg(b, 0, U(int(msb))));
        DirectMidiOut(Port, PackMidiMsg(b, 32, U(int(lsb))));
    };
    int program = Program;
    switch (BankMode) {
    case 0:
    case 1:
        if (Bank != -1 && fits(Bank)) DirectMidiOut(Port, PackMidiMsg(b, 0, U(Bank)));
        break;
    case 2:
    case 4:
    case 8:
    case 16:
        if (Bank != -1) {
            int msb = BankMode == 2 ? 0 : BankMode == 4 ? 63 : BankMode == 8 ? 64 : Bank;
            int lsb = BankMode == 2 || BankMode == 4 ? Bank : 0;
            bankSelect(msb, lsb);
        }
        program = Program - 1;
        break;
    case 32:
        if (Bank != -1) bankSelect(U(Bank) >> 16, U(Bank) & 0xFFFF);
        break;
    default:
        return;
    }
    // Below 0 the program byte would become 0xFF, the System Reset status; above 127 another.
    if (Program != -1 && program >= 0 && program <= 127) DirectMidiOut(Port, PackMidiMsg(c, U(program), 0));
}
