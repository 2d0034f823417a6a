/* The audio-system driver interface: a library in the program's "system" folder that exports
   one entry "Properties" and calls the program's audio callback from its own thread. */
#ifndef TOLVERN_AUDIO_H
#define TOLVERN_AUDIO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Buffer: Frames interleaved stereo float frames (left, right). Flag: 0 for the first block
   after command 3 and after command 11, non-zero otherwise. The result carries nothing.
   Buffer null: the device played Frames frames without asking for them (it missed the
   program's turn); the song moves on by them. */
typedef void (*TvAudioCallback)(float* Buffer, int32_t Frames, int32_t Flag);

/* Properties(Cmd, A, B); arguments are pointer-sized because some carry addresses. */
typedef int32_t (*TvAudioProperties)(int32_t Cmd, intptr_t A, intptr_t B);

enum {
    TV_AUDIO_OPEN = 0,          /* A: the callback, B: the window handle; 0 = success */
    TV_AUDIO_SELECT_DEVICE = 1, /* A: device index; 0 = success */
    TV_AUDIO_CLOSE = 2,         /* no more callbacks afterwards */
    TV_AUDIO_START = 3,         /* callbacks begin, the first with flag 0 */
    TV_AUDIO_STOP = 4,          /* callbacks end */
    TV_AUDIO_UNLOAD = 5,        /* before the library is freed */
    TV_AUDIO_SETTINGS = 6,      /* -1: no dialog of its own */
    TV_AUDIO_DEVICE_COUNT = 7,
    TV_AUDIO_DEVICE_NAME = 8,   /* A: index, B: 132-byte buffer for a zero-terminated name */
    TV_AUDIO_BLOCK_SIZE = 9,    /* A: frames to use or 0 to ask; answers the size in effect */
    TV_AUDIO_SAMPLE_RATE = 10,  /* A: float* rate to use or 0; B: float* receiving the rate, or 0 */
    TV_AUDIO_TRANSPORT_START = 11, /* the next block comes with flag 0 */
    TV_AUDIO_RECORDING = 12     /* A: 1 recording starts, 0 playback pauses or stops */
};

#define TV_AUDIO_NAME_BYTES 132

#ifdef __cplusplus
}
#endif

#endif
