#pragma once
// The process-wide random numbers: one linear congruential generator whose seed starts at 0
// and is never reseeded, so every run draws the same sequence.

#include <cstdint>

// A uniform integer 0 .. N - 1 (0 when N is 0 or less).
int RandomInt(int N);
// The generator's seed, for tests that need a known starting point.
std::uint32_t RandomSeed();
void SetRandomSeed(std::uint32_t Seed);
