#include "song/subengine.h"

#include "song/render.h"

TSubEngine* SubEngine = nullptr;

TSub::TSub() : Buffer(2 * MaxBlockFrames, 0.0f) {}

TSub* TSubEngine::GetSub(int Index) const {
    return Index >= 0 && Index < Count() ? Buses[static_cast<std::size_t>(Index)] : nullptr;
}
