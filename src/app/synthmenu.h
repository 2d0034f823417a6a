#pragma once
// The softsynth menu (a tree of the plug-in libraries below the softsynth folder, and the
// recently used softsynths), loading a softsynth for the current track, and the GUI side of the
// plug-ins: editor idle calls, tempo and softsynth-count commands.

#include "platform/forms/controls.h"
#include "platform/menus/menus.h"

#include <functional>
#include <string>
#include <vector>

// The library behind every item of the softsynth menu; an item's Tag is its index here.
extern std::vector<std::string> SynthMenuPaths;

// Adds Folder's sub-folders (each a submenu, left out when nothing is below it) and then its
// plug-in libraries (".so" in any case; caption the name without extension) under Parent, both
// in the folder listing's order; every library's path is appended to Paths, its item's Tag is
// its index there and OnClick is its click. Every 30th item of a menu starts a new column. A
// folder already being walked higher up the same path (a linked loop) is not entered again.
// Returns the number of items added to Parent.
int ScanLibraryFolder(platform::TMenuItem* Parent, const std::string& Folder,
                      std::vector<std::string>& Paths,
                      const std::function<void(platform::TMenuItem*)>& OnClick);
// The softsynth menu's walk: SynthMenuPaths, and a click loads the softsynth.
int ScanSynthFolder(platform::TMenuItem* Parent, const std::string& Folder);

// Loads a softsynth for the current track (inside the edit guard; nothing when refused).
void InsertSoftsynth(const std::string& FileName);

// The application's idle handler: editor idle calls to the open VST editors.
void VstEditorIdle(platform::TObject* Sender, bool& Done);
// Follows every plug-in dispatcher call; a place for a tracer to hook.
void EmptyHook();
