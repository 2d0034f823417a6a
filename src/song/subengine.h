#pragma once
// Effect buses: stereo mix points that output slots feed, and the lists the renderer walks.
// Bus numbers are positions in Buses; send level j of a slot feeds SendBuses[j].

#include <atomic>
#include <cstdint>
#include <vector>

class TMFX;

// Bus kinds.
constexpr int skGroupEffect = 1, skSendEffect = 2, skGroupVolume = 3, skMasterEffect = 4,
              skInsertEffect = 5;

class TSub {
public:
    TSub();
    std::int32_t Kind = 0;
    TMFX* Plugin = nullptr;
    std::vector<float> Buffer; // 22,050 stereo frames: the bus's input, cleared every block
    std::atomic<float> Volume{1.0f};
    std::atomic<std::int32_t> Output{-1}; // -1 the master mix, else another bus
    std::atomic<float> PeakLeft{0.0f};
    std::atomic<float> PeakRight{0.0f};
};

class TSubEngine {
public:
    std::vector<TSub*> Buses;
    std::vector<TSub*> GroupBuses;
    std::vector<TSub*> SendBuses;
    std::vector<TSub*> VolumeBuses;
    std::vector<TSub*> MasterBuses;
    std::vector<TSub*> VstBuses;

    int Count() const { return static_cast<int>(Buses.size()); }
    TSub* GetSub(int Index) const;
};

// The program's buses; nil until the song makes them.
extern TSubEngine* SubEngine;
