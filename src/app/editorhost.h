#pragma once
// The host side of editor plug-ins in the main window: the host callback every editor plug-in
// receives when it is opened, and what it reaches of other windows until they exist.

#include "tolvern_editor.h"

#include <cstdint>
#include <functional>

extern "C" std::int32_t EditorHostCallback(void* Context, std::int32_t Op, std::intptr_t A,
                                           std::intptr_t B);

// What the callback reaches through windows that fill these in when they exist; each has a
// default (see editorhost.cpp) while it is empty.
struct TEditorHostSeams {
    // The arrange window's undo with its repaints (operation 6 with A = 1); the default undoes
    // inside the edit guard and repaints the parts and the key editor.
    std::function<void()> UndoAndRepaint;
    // Tests: runs inside operation 7 just before the part's events are freed.
    std::function<void()> BeforeDelete;
};
TEditorHostSeams& EditorHostSeams();

// A pause that an editor plug-in took with operation 2 is in force.
bool EditorPluginPaused();

// At the main window's creation: the host forms, the editor slots at the arrange window's
// creation and the audio blocks to the plug-ins.
void InstallEditorPlugins();
