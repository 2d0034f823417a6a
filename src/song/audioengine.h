#pragma once
// The audio engine's block clock: where the run started and how much it has rendered since.
// The sample voices that play audio tracks live here too.

#include <atomic>
#include <cstdint>

class TAudioEngine {
public:
    std::atomic<std::uint8_t> Empty{1};
    std::atomic<std::int32_t> StartSamples{0};    // the locate tick in samples
    std::atomic<std::int32_t> RenderedSamples{0}; // samples rendered since the locate while running
    std::atomic<std::int32_t> PrecountTicks{0};
};
