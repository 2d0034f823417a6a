#pragma once
// Effect buses: stereo mix points that output slots feed, and the lists the renderer walks.
// Bus numbers are positions in Buses; send level j of a slot feeds SendBuses[j].
//
// Threads: the renderer walks the lists in every block. Adds go through deferred actions
// (TSong::AddTodo, kind 1), which the renderer carries out at the start of a block without
// allocating; deleting, moving and clearing change the lists directly with the renderer held
// off for the whole change and renumbering, and free a removed bus only afterwards.

#include "platform/core/messages.h"
#include "platform/gdi/graphics.h"
#include "song/todo.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TMFX;
class TSong;
class TSoftsynthEditor;
struct TPlugId;
struct TSoftOut;
struct _TTrack;

// Bus kinds.
constexpr int skGroupEffect = 1, skSendEffect = 2, skGroupVolume = 3, skMasterEffect = 4,
              skInsertEffect = 5;

// Strip kinds.
constexpr int ckMaster = 0, ckBus = 1, ckSoftsynth = 2, ckAudioTrack = 3, ckMasterEffect = 4,
              ckDisk = 5;

// The colour of a strip's label and the size callers give it.
constexpr platform::TColor StripLabelColor = 0x7E6454; // RGB(84, 100, 126)
constexpr int StripLabelWidth = 16, StripLabelHeight = 128;

// The vertical text routine the labels are written with. It lives in the toolkit, which the
// engine may not include: the toolkit installs it, and until then labels carry no name.
using TVerticalTextProc = void (*)(platform::TCanvas& Canvas, std::string_view Text, int X, int Y,
                                   int TextHeight, int TextLength, platform::TColor Color);
void SetVerticalTextProc(TVerticalTextProc Proc);
TVerticalTextProc VerticalTextProc();

// The record of one mixer strip.
class TChannel {
public:
    TChannel(int Width, int Height, const std::string& Name, bool HasPlugin, int Kind,
             void* Owner); // Create
    std::int32_t Show = 0;
    std::uint8_t HasPlugin = 0;
    void* Owner = nullptr; // the song (master, disk channels), a bus, a softsynth or a track
    std::int32_t Kind = 0;
    platform::TBitmap Label;
};

class TSub {
public:
    TSub();  // Create: plug-in object, buffer, editor window
    ~TSub(); // Destroy
    TSub(const TSub&) = delete;
    TSub& operator=(const TSub&) = delete;

    std::int32_t Kind = 0;
    TMFX* Plugin = nullptr;
    std::vector<float> Buffer; // 22,050 stereo frames: the bus's input, cleared every block
    std::atomic<float> Volume{1.0f};
    std::atomic<std::int32_t> Output{-1}; // -1 the master mix, else another bus
    std::atomic<float> PeakLeft{0.0f};
    std::atomic<float> PeakRight{0.0f};
    TSoftsynthEditor* Editor = nullptr;
    TChannel* Channel = nullptr; // none for insert buses
    std::int32_t Docked = 0;
    std::int32_t EditorShown = 0;
    TSoftOut* HostSlot = nullptr; // insert buses: the slot whose Inserts hold it

    // The plug-in's display name for kinds 1, 2 and 4, else "Vol".
    void GetName(std::string& S) const;
    bool HasPlugin() const;
};

class TSubEngine {
public:
    TSubEngine();  // Create
    ~TSubEngine(); // Destroy
    TSubEngine(const TSubEngine&) = delete;
    TSubEngine& operator=(const TSubEngine&) = delete;

    TTodoList<TSub> Buses;
    TTodoList<TSub> GroupBuses;
    TTodoList<TSub> SendBuses;
    TTodoList<TSub> VolumeBuses;
    TTodoList<TSub> MasterBuses;
    std::vector<TSub*> VstBuses; // GUI thread only (editor idle calls)

    int Count() const { return static_cast<int>(Buses.size()); }
    TSub* GetSub(int Index) const;
    // Makes a bus of Kind (1-5) with the plug-in FileName (searched for when missing); its list
    // changes are deferred actions that tell Wnd (unless -1) once done. Nil for a send bus
    // beyond the last send level.
    TSub* AddSub(int Kind, std::string FileName, platform::HWND Wnd);
    void DeleteSub(TSub* Sub);
    void MoveSubUp(TSub* Sub);
    void Clear();
    // "Sub", "Se" or "Vol" and the bus's number among its kind; S unchanged for other kinds.
    void ShortName(const TSub* Sub, std::string& S) const;

    // Where a plug-in object lives, for the song file; False (Id unchanged) when nowhere.
    bool MakePlugId(const TMFX* Plugin, TPlugId& Id) const;
    // The plug-in object Id names; nil for an unknown code or an index outside its list.
    TMFX* ResolvePlugId(const TPlugId& Id) const;
};

// The program's buses; nil until the song makes them.
extern TSubEngine* SubEngine;
void CreateSubEngine();
void DestroySubEngine();

// Frees a bus whose deferred add was dropped (it is in no list): out of the editor idle list,
// then the bus with its plug-in. The free routine of an insert's add.
void FreeDroppedBus(void* Bus);

// Frees the insert buses of an output slot (renderer held while they leave the list).
void FreeSlotInserts(TSoftOut& Slot);

// The arrange window's text for a track's output.
void TrackOutputText(const _TTrack& Track, std::string& S);
// Softsynth Index's name in the output menus: its plug-in's name, numbered " (n)" when another
// loaded softsynth has the same name (n = 1 + the namesakes at lower indexes).
std::string SoftsynthItemName(int Index);

// Removes the automation entries of Plugin from every parameter track with their events
// (renderer held by the caller: it reads the entries through the plug-in's link).
void DropAutomationOf(const TMFX* Plugin);
