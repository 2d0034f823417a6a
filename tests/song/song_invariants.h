#pragma once
// Invariants of a song's tracks, parts and events, for tests of anything that changes them.
// Note pairing is separate: some operations hand a note off to the following part by design.

#include "song/song.h"

#include <gtest/gtest.h>

// Tracks 0-127: parts sorted by start, no two at one tick, none overlapping the next, each
// with Length > 0 and its own track index; events in time order within the part's length,
// EndTime the sum of the deltas; active output slots from slot 0 without gaps.
testing::AssertionResult CheckSongInvariants(const TSong& S);
testing::AssertionResult CheckPartInvariants(const _TPart& P);
// Every note on (or sample note on) has a later note off of the same key (or slot) in the
// part, at Length - 1 at the latest.
testing::AssertionResult CheckNotePairing(const _TPart& P);
testing::AssertionResult CheckSongNotePairing(const TSong& S);
