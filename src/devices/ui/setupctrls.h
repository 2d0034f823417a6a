#pragma once
// Pieces the setup dialogs share: labels, link labels (underlined, hand cursor), and the plug-in
// folder choice both the audio options and the plug-in dialog offer.

#include "platform/forms/edit.h"
#include "platform/forms/label.h"

#include <string>

// A plain label at (X, Y) sized to its text.
platform::TLabel* AddSetupLabel(platform::TWinControl* Parent, const std::string& Caption, int X,
                                int Y);
// A label that acts as a link: blue, underlined, the hand cursor; OnClick is the caller's.
platform::TLabel* AddLinkLabel(platform::TWinControl* Parent, const std::string& Caption, int X,
                               int Y);
// A read-only edit showing a folder.
platform::TEdit* AddFolderEdit(platform::TWinControl* Parent, int X, int Y, int Width);
// A folder row: its caption, the folder's edit under it and the "Browse" and "Use default"
// links below; 64 pixels high.
struct TFolderRow {
    platform::TEdit* Edit;
    platform::TLabel* Browse;
    platform::TLabel* UseDefault;
};
TFolderRow AddFolderRow(platform::TWinControl* Parent, const std::string& Caption, int X, int Y,
                        int Width);

// The folder picker for the softsynth (Effect false) or effect folder: on OK the edit and the
// song's folder take the choice with a trailing backslash (the stored form of a folder), and a
// new softsynth folder rebuilds the softsynth menu. True when a folder was chosen.
bool BrowsePluginFolder(bool Effect, platform::TEdit* Edit);
// The default folder again: the song's folder and the edit emptied, the softsynth menu rebuilt
// for the softsynth folder.
void UseDefaultPluginFolder(bool Effect, platform::TEdit* Edit);
// The stored form of a chosen folder: a trailing backslash added when missing.
std::string StoredFolder(std::string Folder);
