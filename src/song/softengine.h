#pragma once
// The softsynth engine's mixer side: mute and solo of every output slot that sounds.

class TSoftEngine {
public:
    // Every slot's Gain from its own switches and the solos of the others: softsynth outputs,
    // the active slots of audio tracks with sample slots, the active disk outputs.
    static void UpdateMuteSolo();
};
