#pragma once
// Messages sent at once to the instrument a track plays: a MIDI track's output port, or the
// plug-in of the softsynth a softsynth track plays. Audio, parameter and disk tracks have no
// instrument to send to. Every window that sends a message to a track goes through here.

#include <cstdint>

struct _TTrack;

// Flags of SendToTrack.
constexpr int tsQueued = 1;   // a MIDI track's message goes through TMIDI::QueueMidiOut
constexpr int tsMidiOnly = 2; // the sound card's bank and program: MIDI tracks only

// Sends Msg as it is (its own channel). Sound-card messages (status $10 + channel) reach MIDI
// tracks only, as does anything sent with tsMidiOnly.
void SendToTrack(const _TTrack* Track, std::uint32_t Msg, int Flags = 0);
// The channel a message "on the track's channel" takes: the track's, 0 for a track without one.
int TrackSendChannel(const _TTrack* Track);
// Msg with its channel replaced by the track's (TrackSendChannel).
void SendOnTrackChannel(const _TTrack* Track, std::uint32_t Msg, int Flags = 0);
// All notes off on the track's channel: on the port of a MIDI track (TMIDI::AllNotesOff), as
// controllers 123 and 120 to a softsynth.
void TrackAllNotesOff(const _TTrack* Track);
