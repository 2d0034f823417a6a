#pragma once
// Plug-in parameter automation: the entries of parameter tracks, the place codes that name a
// plug-in in a song file, and the point lists a block hands to automated plug-ins.
//
// The points of a block come from a pool of the entry, made with it, so the renderer never
// allocates. A block that needs more points than the pool holds keeps the points it made
// first: the parameters listed first keep their ramps, the rest keep their last values for
// that block.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class TMFX;
class TSong;
struct TAutoPoint;
struct _TEvent;
struct _TPart;
struct _TTrack;

struct TPlugId {
    std::string Code; // "mas", "grp", "syn", "sci", "aci" or "dci"
    std::int32_t Ind1 = 0, Ind2 = 0, Ind3 = 0;
};

struct TAutoParam {
    std::int32_t Param = 0;
    std::int32_t Kind = 0;
};

constexpr int MaxAutoParams = 128;
constexpr int AutoPointPoolSize = 2048;

// Where the walk for one parameter stood after a block: the next event to read (in Part; Part
// nil past the last part) with the time before it, and the last value passed. The next block
// resumes there when it starts later in the song and nothing of the events changed since
// (EventListEpoch); a locate, a loop jump or a change starts the walk again at the track's first
// part. Every matching event before the place lies at or before Tick.
struct TAutoCursor {
    bool Valid = false;
    std::uint64_t Epoch = 0;
    const _TTrack* Track = nullptr;
    std::int32_t Param = 0, Channel = 0;
    std::int64_t Tick = 0; // the last tick at or before the start of the block that left it
    _TPart* Part = nullptr;
    const _TEvent* Next = nullptr;
    std::int64_t Before = 0;
    const _TEvent* Last = nullptr;
    std::int64_t LastTime = 0;
};

class TAutoPlug {
public:
    TAutoPlug(); // Create
    ~TAutoPlug();
    TAutoPlug(const TAutoPlug&) = delete;
    TAutoPlug& operator=(const TAutoPlug&) = delete;

    std::int32_t Track = -1;
    std::int32_t Slot = 0;
    TPlugId Id;
    TMFX* Plugin = nullptr;
    std::array<TAutoParam, MaxAutoParams> Params{};
    std::int32_t ParamCount = 0;

    // Renderer: the pool the block's points are taken from; Reset gives them all back.
    TAutoPoint* NewPoint();
    void ResetPoints() { used_ = 0; }
    // Renderer: one walk position for each parameter of Params.
    std::array<TAutoCursor, MaxAutoParams> Cursors{};
    void ResetCursors() {
        for (TAutoCursor& c : Cursors)
            c.Valid = false;
    }

private:
    std::unique_ptr<TAutoPoint[]> pool_;
    int used_ = 0;
};

// Data 1 of an automation event's message, and its value (bits 16-31 / 32768).
float AutoEventValue(const _TEvent& Event);

// Fills the engine's default automation step: command 10 with the block's points to every
// automated plug-in that is linked to an entry.
void AutomatePlugin(TSong& S, TMFX* Plugin, int Frames);
// Track, list position and plug-in link of every automation entry (at a locate).
void LinkAutomationEntries(TSong& S);
// Entries automating Plugin automate nothing from now on: called before the plug-in is freed,
// with the renderer held.
void UnlinkAutomationEntries(TSong& S, const TMFX* Plugin);
