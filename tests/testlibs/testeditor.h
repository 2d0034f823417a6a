#pragma once
// The editor plug-in of the tests (TestEditor.so): what a test sets before the host opens it,
// and the entries through which the test reads what the plug-in received and calls the host.
// A test loads the library itself (the host then shares its instance) and finds these by name.

#include "tolvern_editor.h"

#include <cstdint>

struct TTestEditorSetup {
    std::int32_t WindowStyle = ME_STYLE_CAPTION | ME_STYLE_SYSMENU;
    std::int32_t Capabilities = 0;
    TMeSize Size{300, 200}; // answered to command 2
    std::uint32_t Colour = 0x3070C0; // 0xRRGGBB of the X11 child
    char Title[300] = "Test editor";
    // Bytes of Title copied into the title buffer of command 3; -1: up to and with its zero.
    std::int32_t TitleBytes = -1;
    bool NullRecord = false; // MEConnect answers nil
};

struct TTestEditorEntry {
    std::int32_t Cmd = 0;
    std::intptr_t A = 0, B = 0;
};

// void TestEditorSetup(const TTestEditorSetup*): takes effect at the next MEConnect; clears the
// log.
using TTestEditorSetupFn = void (*)(const TTestEditorSetup*);
// int TestEditorLog(TTestEditorEntry* Out, int Max): the commands received on the GUI thread,
// oldest first; answers how many there are.
using TTestEditorLogFn = int (*)(TTestEditorEntry*, int);
// int TestEditorBlocks(int* LastFrames): commands 7 received so far.
using TTestEditorBlocksFn = int (*)(int*);
// std::int32_t TestEditorCall(Op, A, B): the host callback of command 6 (-2 before it came).
using TTestEditorCallFn = std::int32_t (*)(std::int32_t, std::intptr_t, std::intptr_t);
// unsigned long TestEditorWindow(): the X11 child window, 0 while there is none.
using TTestEditorWindowFn = unsigned long (*)();
