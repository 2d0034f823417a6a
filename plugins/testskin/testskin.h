/* The test skin's record of the calls it received (tests only). */
#ifndef TOLVERN_TESTSKIN_H
#define TOLVERN_TESTSKIN_H

#include "tolvern_skin.h"

typedef struct TestSkinCall {
    intptr_t Op, A, B, C;
    char Type[32];          /* Op 3: the type name; Op 4: the string B pointed to */
    int32_t BIsNull;        /* Op 4: B was 0 */
    TvSkinPaintRec Rec;     /* Op 3: the record as received (its pointers are stale later) */
    char Text[64];          /* Op 3: the tail's first string, where the type has one */
    int32_t Answer;         /* what the skin answered */
} TestSkinCall;

/* Exports besides "SkinConnect":
 *   void TestSkinAnswer(const char* types, TvColor color)  answer 1 for these comma-separated
 *                                                           type names, filling Rect in color
 *   int32_t TestSkinCallCount(void)
 *   int32_t TestSkinGetCall(int32_t index, TestSkinCall* out)
 *   void TestSkinReset(void)                                 forget the calls */
typedef void (*TestSkinAnswerFn)(const char*, TvColor);
typedef int32_t (*TestSkinCallCountFn)(void);
typedef int32_t (*TestSkinGetCallFn)(int32_t, TestSkinCall*);
typedef void (*TestSkinResetFn)(void);

#endif
