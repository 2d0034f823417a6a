/* Services that Tolvern exports to its MIDI engine library: the MIDI clock, waiting on it,
 * posting window messages, the MIDI output ports and the flat address of 16-bit memory. The
 * functions are those of the program's platform layer with C linkage and a tv_ prefix; every
 * one may be called from any thread.
 *
 * Version 1. A library checks tv_midi_version() >= the version it was built for. */
#ifndef TOLVERN_MIDI_H
#define TOLVERN_MIDI_H

#include <stdint.h>

#define TOLVERN_MIDI_VERSION 1

#ifdef __cplusplus
extern "C" {
#endif

int32_t tv_midi_version(void);

/* The MIDI clock in microseconds (the program's virtual clock while its tests run). */
int64_t tv_MidiClockUs(void);
/* A waker ends a thread's wait early. */
uintptr_t tv_CreateWaker(void);
void tv_DestroyWaker(uintptr_t waker);
void tv_Wake(uintptr_t waker);
/* Blocks until the clock reaches us or the waker is woken; the wake is used up on return.
 * 1 when the time was reached. */
int32_t tv_MidiClockSleepUntil(int64_t us, uintptr_t waker);
/* 1 once some thread sleeps on the clock with a deadline at or before us. */
int32_t tv_MidiClockSleeperBy(int64_t us);

/* PostMessage to a window of the program; 0 when it could not be posted. */
int32_t tv_PostMessage(uintptr_t window, uint32_t msg, uintptr_t wparam, intptr_t lparam);

/* MIDI outputs by device index. A handle is 0 when the output could not be opened. */
uint32_t tv_midiOutGetNumDevs(void);
uintptr_t tv_midiOutOpen(uint32_t device);
void tv_midiOutClose(uintptr_t out);
/* A short message: only real MIDI messages go out; 0 when refused. */
int32_t tv_midiOutShortMsg(uintptr_t out, uint32_t msg);
/* A block of bytes as it stands (system exclusive). */
int32_t tv_midiOutLongMsg(uintptr_t out, const uint8_t* data, uint32_t length);

/* The flat address of a 16:16 pointer into 16-bit memory; 0 for none. */
void* tv_MapSL(uint32_t address);

#ifdef __cplusplus
}
#endif

#endif
