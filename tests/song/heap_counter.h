#pragma once
// Counts the heap calls (allocations and frees) of the calling thread between Start and Stop,
// for code that must not touch the heap, such as what the audio thread runs.

namespace heapcounter {

void Start();
// Heap calls since Start on this thread.
int Stop();

} // namespace heapcounter
