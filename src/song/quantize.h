#pragma once
// Quantize and groove: note ons to the nearest grid point, or to the grid and then by a
// template's per-step offsets, each note off moving along. Notes pushed past a part's end grow
// the part or go to a part that follows closely.

#include "song/song.h"

#include <array>
#include <cstdint>
#include <string>

struct TGrooveStep {
    std::int32_t Time = 0;     // hundredths of a grid step, negative earlier
    std::int32_t Velocity = 0; // given to the step's notes when UseVelocity is set
};

struct _TGroovesItem {
    std::string Name;
    std::int32_t Count = 1; // steps in use, 1-8
    std::array<TGrooveStep, 8> Steps{};
    bool UseVelocity = true;
    _TGroovesItem* Next = nullptr;
};

// The song's groove templates.
class TGroove {
public:
    TGroove() = default;
    ~TGroove();
    TGroove(const TGroove&) = delete;
    TGroove& operator=(const TGroove&) = delete;

    _TGroovesItem* First = nullptr;

    // Index places from the head; nil past the end.
    _TGroovesItem* GetItem(int Index) const;
    void Delete(int Index);
};

// True when a note was pushed past the part's end.
bool QuantizePart(_TPart* Part, int Grid, bool SelectedNotesOnly);
bool GroovePart(_TPart* Part, int Grid, const _TGroovesItem* Groove, bool SelectedNotesOnly);
