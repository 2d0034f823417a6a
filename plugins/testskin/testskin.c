/* A skin for the tests: it answers the paint request for the type names a test chose, fills
 * the given rectangle in one colour through the program's drawing functions, and records
 * every call. */
#include "testskin.h"

#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))
#define MAX_CALLS 4096

static char answerTypes[256];
static TvColor answerColor = 0x00FF00;
static TestSkinCall calls[MAX_CALLS];
static int32_t callCount;

static int Answers(const char* type) {
    size_t n = strlen(type);
    const char* p = answerTypes;
    while (*p) {
        const char* end = strchr(p, ',');
        size_t len = end ? (size_t)(end - p) : strlen(p);
        if (len == n && strncmp(p, type, n) == 0) return 1;
        if (!end) break;
        p = end + 1;
    }
    return 0;
}

static const char* TailText(const char* type, const TvSkinPaintRec* rec) {
    if (!strcmp(type, "fader")) return rec->Tail.Fader.Text;
    if (!strcmp(type, "combo")) return rec->Tail.Combo.Text;
    if (!strcmp(type, "imagebutton")) return rec->Tail.Image.Glyph;
    if (!strcmp(type, "border") || !strcmp(type, "scrollbar")) return 0;
    return rec->Tail.Text.Text;
}

static intptr_t Dispatch(TvSkin* skin, intptr_t op, intptr_t a, intptr_t b, intptr_t c) {
    (void)skin;
    TestSkinCall* call = callCount < MAX_CALLS ? &calls[callCount++] : 0;
    if (call) {
        memset(call, 0, sizeof *call);
        call->Op = op;
        call->A = a;
        call->B = b;
        call->C = c;
        call->BIsNull = b == 0;
        if ((op == TV_SKIN_PAINT || op == TV_SKIN_DIALOG) && b)
            strncpy(call->Type, (const char*)b, sizeof call->Type - 1);
    }
    if (op != TV_SKIN_PAINT || !b || !c) return 0;
    const TvSkinPaintRec* rec = (const TvSkinPaintRec*)c;
    const char* type = (const char*)b;
    if (call) {
        call->Rec = *rec;
        const char* text = TailText(type, rec);
        if (text) strncpy(call->Text, text, sizeof call->Text - 1);
    }
    if (!Answers(type) || tv_gdi_version() < TOLVERN_GDI_VERSION) return 0;
    TvHandle brush = tv_CreateSolidBrush(answerColor);
    TvRect r = rec->Rect;
    tv_FillRect((TvHandle)a, &r, brush);
    tv_DeleteObject(brush);
    if (call) call->Answer = 1;
    return 1;
}

static TvSkin skinObject = {Dispatch};

EXPORT TvSkin* SkinConnect(void) {
    return &skinObject;
}

EXPORT void TestSkinAnswer(const char* types, TvColor color) {
    strncpy(answerTypes, types ? types : "", sizeof answerTypes - 1);
    answerColor = color;
}

EXPORT int32_t TestSkinCallCount(void) {
    return callCount;
}

EXPORT int32_t TestSkinGetCall(int32_t index, TestSkinCall* out) {
    if (index < 0 || index >= callCount || !out) return 0;
    *out = calls[index];
    return 1;
}

EXPORT void TestSkinReset(void) {
    callCount = 0;
}
