#pragma once
// What the main window's shared edit commands ask of the windows that show parts and events,
// and of the tool dialogs they open. An empty member means the window does not exist (or the
// dialog is not built yet): the command leaves it out. Each window fills its members when it is
// made and empties them when it goes.

#include <functional>
#include <string>

namespace platform {
class TForm;
}

struct TEditCommandSeams {
    // Key editor: note grid, controller lane, event list (RefreshEventList), grid caption panel
    // and solo button.
    std::function<void()> KeyGrid, KeyLane, KeyEventList;
    std::function<void(const std::string& Caption)> KeyGridCaption;
    std::function<void(bool Down)> KeySolo;
    // Sample-part editor: its view, its sample list, grid caption panel and solo button.
    std::function<void()> SampleView, SampleList;
    std::function<void(const std::string& Caption)> SampleGridCaption;
    std::function<void(bool Down)> SampleSolo;
    // Automation editor: grid caption panel.
    std::function<void(const std::string& Caption)> AutomationGridCaption;
    // The appearance dialog on its first page (0 Global, 1 Song edit) and the groove window;
    // the editors' and the arrange window's menus call them.
    std::function<void(int FirstPage)> ShowCustomize;
    std::function<void()> ShowGrooves;
    // The arrange window's solo button.
    std::function<void(bool Down)> ArrangeSolo;

    // The time-scale dialog, shown modally.
    std::function<void()> ShowTimeScale;

    // Tool dialogs, made on first use. The transpose and compose-notes dialogs are handed back
    // to be shown with the MIDI message window (ShowModalWithMidiWindow); the compose-notes
    // dialog is given the target's kind (0 MIDI, 1 sample notes) and the sample to preselect
    // before it is handed back. The others show themselves modally; the echo dialog answers
    // True when it closed with OK.
    std::function<platform::TForm*()> TransposeDialog;
    std::function<platform::TForm*(int Mode, int Sample)> ComposeNotesDialog;
    std::function<void()> ShowComposeControllers, ShowComposeAweNrpn, ShowUserBank;
    std::function<bool()> ShowEcho;
    // The velocity dialog, made on first use and shown modally.
    std::function<void()> ShowVelocity;
};
TEditCommandSeams& EditCommandSeams();
