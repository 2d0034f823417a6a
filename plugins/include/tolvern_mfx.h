/* The program's own effect interface: a library that exports "MFXConnect", which answers the
   address of its interface record. Every entry takes the record as its first argument; values
   that carry an address or a size are pointer-sized (the program is 64-bit). */
#ifndef TOLVERN_MFX_H
#define TOLVERN_MFX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TMfxInterface TMfxInterface;

struct TMfxInterface {
    int32_t NumParams;
    /* Writes the name / the value as text, zero-terminated, into a 32-byte buffer. */
    void (*GetParamName)(TMfxInterface* Self, int32_t Index, char* Buffer);
    void (*GetParamDisplay)(TMfxInterface* Self, int32_t Index, char* Buffer);
    void (*SetParameter)(TMfxInterface* Self, int32_t Index, double Value); /* 0..1 */
    double (*GetParameter)(TMfxInterface* Self, int32_t Index);
    /* Interleaved stereo float frames, in place. */
    void (*Process)(TMfxInterface* Self, float* Buffer, int32_t Frames);
    intptr_t (*Command)(TMfxInterface* Self, int32_t Cmd, intptr_t A, intptr_t B);
    void* Reserved;
    int32_t Kind; /* 2: an audio encoder */
};

typedef TMfxInterface* (*TMfxConnect)(void);

/* A MIDI event of a block (commands 8 and 14). */
typedef struct TMfxEvent {
    int32_t Frame;    /* within the block */
    uint32_t Message; /* packed: status, data 1 << 8, data 2 << 16 */
    int32_t Synth;    /* 0 from the host; in events handed back, the softsynth to receive it */
    struct TMfxEvent* Next;
} TMfxEvent;

/* A point of a block's automation (command 10 with A 0): parameter Param takes Value at frame
   Offset of the block and changes by Slope per frame after it. The list is sorted by Offset. */
typedef struct TMfxAutoPoint {
    int32_t Param;
    int32_t Offset;
    float Value;
    float Slope;
    struct TMfxAutoPoint* Next;
} TMfxAutoPoint;

/* The host's service (command 15): Cmd 1 stores in *Name the zero-terminated display name of
   loaded softsynth number Index and answers 1; -1 otherwise. */
typedef int32_t (*TMfxHostCallback)(void* Context, int32_t Cmd, int32_t Index, const char** Name);

enum {
    MFX_UNLOAD = 2,          /* release everything */
    MFX_TEMPO = 3,           /* A: BPM */
    MFX_EDITOR = 4,          /* A: parent window, B: int32_t[2] width, height; -1: no editor */
    MFX_SAMPLE_RATE = 5,     /* A: const float* rate, valid for the whole run */
    MFX_OUTPUTS = 6,         /* answers the number of outputs; -1 counts as 1 */
    MFX_FILE_NAME = 7,       /* encoders: A: the target file name */
    MFX_EVENTS = 8,          /* A: first TMfxEvent of the block, or 0 */
    MFX_OUTPUT_BUFFER = 9,   /* A: output buffer (stereo floats), B: output index */
    MFX_AUTOMATION = 10,     /* A 1: B parameter, answers 2 or 3 when automatable;
                                A 0: B first automation point of the block */
    MFX_STATE = 11,          /* A -1: B void** receives the state, answers its size;
                                else A size, B data */
    MFX_POSITION = 12,       /* A 1: B song position in samples; A 0: all notes off */
    MFX_BLOCK_SIZE = 13,     /* A: frames */
    MFX_EMITTED_EVENTS = 14, /* A: TMfxEvent** to fill */
    MFX_HOST_CALLBACK = 15,  /* A: TMfxHostCallback */
    MFX_SOFTSYNTH_COUNT = 16 /* A: number of loaded softsynths */
};

#define MFX_TEXT_BYTES 32

#ifdef __cplusplus
}
#endif

#endif
