/* Editor plug-ins: a library in the program's "editor" folder that exports "MEConnect", which
   answers the address of its interface record. The host sends the plug-in commands through the
   record's Command entry and lends it a host callback (command 6) through which it drives the
   transport, sends MIDI and writes events into the song's parts.

   Values that carry an address or a size (a and b of a command, A and B of the callback) are
   pointer-sized; results are 32-bit. */
#ifndef TOLVERN_EDITOR_H
#define TOLVERN_EDITOR_H

#include <stdint.h>

/* Raised when a field or a meaning changes. */
#define TOLVERN_EDITOR_VERSION 1

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TMeInterface TMeInterface;

typedef int32_t (*TMeCommandFn)(TMeInterface* Self, int32_t Cmd, intptr_t A, intptr_t B);

struct TMeInterface {
    int32_t Reserved0;     /* not read by the host */
    int32_t WindowStyle;   /* ME_STYLE_* bits of the host form */
    int32_t Capabilities;  /* ME_WANTS_* bits: the broadcasts the plug-in wants */
    int32_t Reserved1[4];  /* not read by the host */
    TMeCommandFn Command;
};

typedef TMeInterface* (*TMeConnect)(void);

/* Host form styles. The system menu comes only together with the caption. */
enum {
    ME_STYLE_SIZEABLE = 1,
    ME_STYLE_CAPTION = 2,
    ME_STYLE_BORDER = 4,
    ME_STYLE_SYSMENU = 8
};

/* Broadcasts a plug-in asks for. */
enum {
    ME_WANTS_PART = 1,      /* command 5 */
    ME_WANTS_AUDIO = 2,     /* command 7, while the form is visible */
    ME_WANTS_TRANSPORT = 4, /* command 8 */
    ME_WANTS_TRACK = 8      /* command 9 */
};

/* Commands the host sends. Answers are not read. */
enum {
    ME_DESTROY = 1,   /* end of the run; the library is released right after */
    ME_OPEN = 2,      /* A: the X11 window id to create the editor in (0: none), B: TMeSize* */
    ME_TITLE = 3,     /* A: char[256] to write the zero-terminated title into */
    ME_RESIZE = 4,    /* A: client width, B: client height */
    ME_PART = 5,      /* A: the current part (TMePart*) or 0, B: 0 MIDI events, 1 otherwise */
    ME_CALLBACK = 6,  /* A: the host callback (TMeHostCallback) */
    ME_AUDIO = 7,     /* A: the block just rendered (interleaved stereo floats), B: frames;
                         sent on the audio thread, the buffer valid only during the call */
    ME_TRANSPORT = 8, /* A: 1 stop, 2 start, 3 continue; B: the song position in ticks */
    ME_TRACK = 9      /* A: the current track (opaque), B: 0 MIDI events, 1 otherwise */
};

#define ME_TITLE_BYTES 256

/* The client size the plug-in wants (command 2). */
typedef struct TMeSize {
    int32_t Width;
    int32_t Height;
} TMeSize;

/* The head of a song event as the host keeps it; the rest of the record is the host's. Delta
   counts ticks from the event before (from the part start for the first). */
typedef struct TMeSongEvent {
    int32_t Delta;
    uint32_t Message; /* packed: status, data 1 << 8, data 2 << 16 */
    uint32_t Flags;   /* 1 selected */
    struct TMeSongEvent* Next;
} TMeSongEvent;

/* The head of a part (command 5); the rest of the record is the host's. */
typedef struct TMePart {
    TMeSongEvent* Events;
    int32_t Length; /* ticks */
} TMePart;

/* An event a plug-in hands the host (operations 5 and 8). The host copies it; the nodes stay
   the plug-in's. */
typedef struct TMeEvent {
    int32_t Delta;    /* operation 5: ticks from the part start */
    uint32_t Message; /* packed message */
    uint32_t Flags;   /* not read */
    struct TMeEvent* Next;
    union {
        const uint8_t* Bytes; /* status 0xF0, data 1 = 0: the system-exclusive bytes */
        intptr_t Value;       /* status 0xF0, data 1 = 1: the 32-bit value */
    } Data;
    int32_t Length; /* bytes at Data.Bytes */
} TMeEvent;

/* The host callback. Context is not read. Every operation but 9 must be called on the thread
   the host sent the command on (the GUI thread); others answer -1 and do nothing. */
typedef int32_t (*TMeHostCallback)(void* Context, int32_t Op, intptr_t A, intptr_t B);

enum {
    ME_OP_TRANSPORT = 1, /* A 1 stop, 2 play, 3 locate to B (-1 left locator, -2 right locator,
                            -3 start, -4 end, -5 fast forward, -6 rewind, -7 stop winding, else
                            tick B), 4 record */
    ME_OP_EDIT = 2,      /* A 1 opens an edit (answers 1 when granted), 2 closes it */
    ME_OP_FOCUS = 3,     /* the main window takes the focus */
    ME_OP_SEND = 4,      /* A: a packed message sent at once on the current track's output */
    ME_OP_INSERT = 5,    /* A: a part, B: the first TMeEvent */
    ME_OP_UNDO = 6,      /* A 0: opens the undo step "Undo " + the text at B (answers 1);
                            A 1: undo */
    ME_OP_DELETE = 7,    /* A: a part; B 0 every event, 1 the selected ones, else repaint */
    ME_OP_RECORD = 8,    /* A: the first TMeEvent, at the current position of the recording */
    ME_OP_POSITION = 9   /* A 0: the position in ticks, 1 in milliseconds */
};

#ifdef __cplusplus
}
#endif

#endif
