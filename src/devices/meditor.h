#pragma once
// Editor plug-ins: libraries of the program's "editor" folder (entry "MEConnect") that show a
// window of their own in a stay-on-top host form and work on the song through the host
// callback. Here: the folder lists of plug-in libraries (TSoftsynths, FxFiles, EditorFiles),
// one editor plug-in (TMEditor) and the list of them (TEditorEngine, the global EditorEngine)
// with the broadcasts of the current part, the current track, the transport and the audio
// blocks. The host form itself belongs to the windows (TEditorHostForm below).
//
// Threads: everything runs on the GUI thread except the audio block broadcast (command 7),
// which the audio callback sends. It reads only what was published for it: the editors that
// asked for blocks and their loaded and form-visible flags; editors are freed only when no
// block broadcast runs.

#include "platform/core/dynlib.h"
#include "tolvern_editor.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The plug-in libraries of one folder: every file matching "*.so" (any case), sorted.
class TSoftsynths {
public:
    explicit TSoftsynths(std::string_view Folder); // Create
    std::string Folder;              // with a trailing delimiter (unless empty)
    std::vector<std::string> Files;  // full paths

    int Count() const { return static_cast<int>(Files.size()); }
    // The file name of entry Index without folder and extension; empty outside the list.
    void GetName(int Index, std::string& Name) const;
};

// The song's lists of the program folder's "fx" and "editor" libraries, made and freed with the
// song; nil without a song.
extern TSoftsynths* FxFiles;
extern TSoftsynths* EditorFiles;
void CreatePluginFileLists();
void DestroyPluginFileLists();

class TMEditor;

// The host form of one editor plug-in as the engine sees it. The windows make it (see
// SetEditorFormFactory); it sends command 3 when shown and command 4 when resized, and keeps
// TMEditor::FormVisible up to date.
class TEditorHostForm {
public:
    virtual ~TEditorHostForm() = default;
    // The X11 window the plug-in creates its editor in (command 2); 0 where there is none, and
    // then the plug-in gets no command 2.
    virtual std::uintptr_t ParentId() = 0;
    virtual void SetClientSize(int Width, int Height) = 0;
    virtual void ShowForm() = 0;
    virtual bool FormVisible() = 0;
    virtual void BringToFront() = 0;
};
using TEditorFormFactory = std::unique_ptr<TEditorHostForm> (*)(TMEditor& Editor);
// The windows install the maker of host forms; without one no editor plug-in opens.
void SetEditorFormFactory(TEditorFormFactory Factory);

class TMEditor {
public:
    TMEditor();  // Create: not loaded, no path, no interface, no form
    ~TMEditor(); // Destroy: command 1 and the library released when loaded; then the form
    TMEditor(const TMEditor&) = delete;
    TMEditor& operator=(const TMEditor&) = delete;

    std::atomic<bool> Loaded{false};
    TMeSize Size{0, 0};
    platform::HMODULE Dll = 0;
    TMeInterface* Interface = nullptr;
    std::string Path;
    std::unique_ptr<TEditorHostForm> Form;
    // The host form is shown; the audio thread reads it.
    std::atomic<bool> FormVisible{false};

    // The one user action: loads and shows the plug-in on the first call, shows or fronts its
    // form on later ones. Failures show nothing and leave it unloaded.
    void Open(TMeHostCallback HostCallback);
    // The plug-in's Command entry; 0 when not loaded.
    std::int32_t Command(int Cmd, std::intptr_t A, std::intptr_t B);
    // Capabilities as the plug-in's record gives them now (0 when not loaded).
    int Capabilities() const;
};

class TEditorEngine {
public:
    TEditorEngine(); // Create: no editors
    ~TEditorEngine();
    TEditorEngine(const TEditorEngine&) = delete;
    TEditorEngine& operator=(const TEditorEngine&) = delete;

    std::vector<std::unique_ptr<TMEditor>> Editors;

    // A new slot for the library at Path, appended (the engine half of the Editors menu).
    TMEditor* AddEditor(std::string_view Path);
    // Commands 5, 7, 8 and 9 to the loaded plug-ins that asked for them (7 only while the form
    // is visible); any other command reaches nobody. 7 may come from any thread, the others
    // from the GUI thread.
    void Broadcast(int Cmd, std::intptr_t A, std::intptr_t B);
    // A plug-in was loaded: its block broadcasts begin when it asked for them.
    void PublishBlockTargets();

private:
    void Unpublish();
    const std::vector<TMEditor*>* published_ = nullptr;
};

// One per song, made with it (nil without a song).
extern TEditorEngine* EditorEngine;
void CreateEditorEngine();
void DestroyEditorEngine();

// The engine half of the Editors menu: a slot per entry of EditorFiles, in order.
void BuildEditorSlots();

// Command 7 from the audio callback: the block just rendered to the editors that asked for it.
// Reads only published atomics; allocates nothing.
void BroadcastEditorBlock(float* Buffer, int Frames);
