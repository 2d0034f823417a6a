/* The skin interface: what Tolvern passes to a skin library and what it relies on. A skin is
 * a library in the program's "skin" folder that exports one entry, "SkinConnect", returning
 * a pointer to the skin's object (or NULL when it cannot serve). The object's first field is
 * the skin's dispatch function; the rest of the object is the skin's own. The program calls
 *
 *     Dispatch(Skin, Op, A, B, C)
 *
 * on its GUI thread. A skin draws with the program's exported drawing functions
 * (tolvern_gdi.h) into the device context it is given.
 *
 *   Op 1 connect     A, B, C 0; right after "SkinConnect".
 *   Op 2 disconnect  A, B, C 0; before the library is freed.
 *   Op 3 paint       A the device context (TvHandle), B the control's type name (a
 *                    NUL-terminated string), C a TvSkinPaintRec*. Return exactly 1 when the
 *                    skin painted the control; anything else makes the program draw its
 *                    built-in look. The record is valid only during the call.
 *   Op 4 dialog      A a window handle, B an empty string or 0, C 0: restyle a whole window.
 *
 * Version 1. */
#ifndef TOLVERN_SKIN_H
#define TOLVERN_SKIN_H

#include "tolvern_gdi.h"

#include <stddef.h>
#include <stdint.h>

#define TOLVERN_SKIN_VERSION 1

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TvSkin TvSkin;
typedef intptr_t (*TvSkinDispatch)(TvSkin* skin, intptr_t op, intptr_t a, intptr_t b, intptr_t c);
struct TvSkin {
    TvSkinDispatch Dispatch;
    /* the skin's own data follows */
};
/* The one export, "SkinConnect". */
typedef TvSkin* (*TvSkinConnect)(void);

enum {
    TV_SKIN_CONNECT = 1,
    TV_SKIN_DISCONNECT = 2,
    TV_SKIN_PAINT = 3,
    TV_SKIN_DIALOG = 4
};

/* Flag bits of a paint record; only the bits listed for a type are ever set for it. */
enum {
    TV_SKIN_HOT = 0x1,           /* mouse over the control (labels) */
    TV_SKIN_PRESSED = 0x2,       /* left button held on the control */
    TV_SKIN_FOCUSED = 0x4,       /* edit control has the focus */
    TV_SKIN_DISABLED = 0x8,      /* disabled fader, or a scroll bar with nothing to scroll */
    TV_SKIN_VERTICAL = 0x10,     /* vertical scroll bar */
    TV_SKIN_UNDERLINE = 0x20,    /* label that underlines its text on hover */
    TV_SKIN_MENUFOCUS = 0x80,    /* menu entry or menu that holds the capture */
    TV_SKIN_PART1 = 0x100,       /* scroll bar part held: first arrow */
    TV_SKIN_PART2 = 0x200,       /* second arrow */
    TV_SKIN_PART3 = 0x400,       /* thumb */
    TV_SKIN_PART4 = 0x800,       /* page before the thumb */
    TV_SKIN_PART5 = 0x1000,      /* page after the thumb */
    TV_SKIN_TOPMENU = 0x2000,    /* top-level menu (drop-down title) */
    TV_SKIN_SUBMENU = 0x4000,    /* sub-menu entry */
    TV_SKIN_DOWN = 0x8000,       /* image button latched down */
    TV_SKIN_TRANSPARENT = 0x10000 /* transparent label */
};

/* The type-specific tails. Type names: "fader", "combo", "label", "menuitem", "edit",
 * "imagebutton", "bkgnd", "border", "caption", "scrollbar". */
typedef struct TvSkinFaderTail {
    const char* Text; /* the value text */
    int32_t Min, Max, Position;
} TvSkinFaderTail;

typedef struct TvSkinComboTail {
    const char* Text; /* current entry's name */
    int32_t Zero;
    int32_t Zones; /* 1 or 2 arrow zones */
    TvRect Zone1;
    TvRect Zone2; /* only with 2 zones */
} TvSkinComboTail;

typedef struct TvSkinTextTail { /* "label", "menuitem", "edit", "caption", "bkgnd" */
    const char* Text;
    int32_t Zero;
} TvSkinTextTail;

typedef struct TvSkinImageTail { /* "imagebutton" */
    const char* Glyph;   /* "close", "zoomin", ..., "sizebottomright" for a size grip */
    const char* Caption;
    TvRect Rect;      /* (0, 0, width, height) */
    TvRect Rect2;     /* the same rectangle again */
    int32_t One;      /* 1 for an image button, 0 for a size grip */
} TvSkinImageTail;

typedef struct TvSkinBorderTail { /* "border" */
    int32_t Style; /* 2 */
    int32_t Zero;
} TvSkinBorderTail;

typedef struct TvSkinScrollTail { /* "scrollbar" */
    TvRect Arrow1, Arrow2, Thumb;
} TvSkinScrollTail;

typedef struct TvSkinPaintRec {
    TvRect Rect;   /* the area to paint in the given device context */
    int32_t X, Y;  /* the control's position in its host (per type) */
    uint32_t Flags;
    const char* Empty; /* always an empty string */
    uint8_t Unfilled[64]; /* never filled; never read back */
    union {
        TvSkinFaderTail Fader;
        TvSkinComboTail Combo;
        TvSkinTextTail Text;
        TvSkinImageTail Image;
        TvSkinBorderTail Border;
        TvSkinScrollTail Scroll;
    } Tail;
} TvSkinPaintRec;

#ifdef __cplusplus
}
#define TV_SKIN_ASSERT(e, m) static_assert(e, m)
#else
#define TV_SKIN_ASSERT(e, m) _Static_assert(e, m)
#endif

/* The layout both sides rely on (64-bit). */
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinPaintRec, X) == 16, "X at 16");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinPaintRec, Y) == 20, "Y at 20");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinPaintRec, Flags) == 24, "Flags at 24");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinPaintRec, Empty) == 32, "Empty at 32");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinPaintRec, Unfilled) == 40, "64 bytes at 40");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinPaintRec, Tail) == 104, "tail at 104");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinFaderTail, Min) == 8, "fader Min");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinFaderTail, Position) == 16, "fader Position");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinComboTail, Zones) == 12, "combo zones");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinComboTail, Zone1) == 16, "combo zone 1");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinComboTail, Zone2) == 32, "combo zone 2");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinTextTail, Zero) == 8, "text zero");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinImageTail, Caption) == 8, "image caption");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinImageTail, Rect) == 16, "image rect");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinImageTail, Rect2) == 32, "image rect 2");
TV_SKIN_ASSERT(sizeof(void*) != 8 || offsetof(TvSkinImageTail, One) == 48, "image value");
TV_SKIN_ASSERT(offsetof(TvSkinScrollTail, Thumb) == 32, "scroll thumb");

#endif
