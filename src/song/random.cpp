#include "song/random.h"

namespace {

// Drawn on the GUI thread only (the compose generators and the song's random velocities).
std::uint32_t seed = 0;

} // namespace

int RandomInt(int N) {
    seed = seed * 134775813u + 1u;
    if (N <= 0) return 0;
    return static_cast<int>((static_cast<std::uint64_t>(seed) * static_cast<std::uint32_t>(N)) >>
                            32);
}

std::uint32_t RandomSeed() {
    return seed;
}
void SetRandomSeed(std::uint32_t Seed) {
    seed = Seed;
}
