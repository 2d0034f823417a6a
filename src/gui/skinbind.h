#pragma once
// The skin-library binding: at most one connected skin library whose object the main window
// keeps and hands to the control hosts of the editor windows. The main window owns one
// TSkinBinding (SkinBinding()); the windows fill its host slots when they are built.
// GUI thread only.

#include "gui/mscroll.h"
#include "platform/core/dynlib.h"

#include <string>

// The main window re-applies the skin when it receives this message.
inline constexpr platform::UINT WM_APPLYSKIN = platform::WM_USER + 100;

// The eleven hosts ApplySkin refreshes; each is nil until its window builds it.
struct TSkinHosts {
    // The arrange window's strips.
    TMScroll* ArrangeScrolly = nullptr;
    TMScroll* ArrangeScrollx = nullptr;
    TMScroll* ArrangeColumns = nullptr;
    TMScroll* ArrangeMixer = nullptr;
    // The key editor's strips (while the key editor exists).
    TMScroll* KeyScrolly = nullptr;
    TMScroll* KeyScrollx = nullptr;
    TMScroll* KeyColumns = nullptr;
    // The sample-part editor's strips (while it exists).
    TMScroll* AudioScrolly = nullptr;
    TMScroll* AudioScrollx = nullptr;
    TMScroll* AudioColumns = nullptr;
    // The MIDI-faders window's host.
    TMScroll* MidiFaders = nullptr;
};

class TSkinBinding {
public:
    TSkinBinding() = default;
    ~TSkinBinding();
    TSkinBinding(const TSkinBinding&) = delete;
    TSkinBinding& operator=(const TSkinBinding&) = delete;

    TSkinObject Skin = nullptr;
    platform::HMODULE SkinLibrary = 0;
    bool SkinLoaded = false;
    // The last requested file, without its path.
    std::string SkinFileName;
    TSkinHosts Hosts;

    // Connects the skin of FileName (empty: drops the connected one), then with Apply hands
    // it to the hosts.
    void LoadSkinPlugin(const std::string& FileName, bool Apply);
    // Copies Skin into the eleven hosts and repaints each.
    void ApplySkin();
    // WM_APPLYSKIN.
    void WMApplySkin() { ApplySkin(); }
    // Start-up: no skin, then the one named by [skin] filename, not applied.
    void LoadSkinFromSettings();
    // Shut-down: drops a loaded skin and repaints the hosts without it.
    void UnloadSkin();

private:
    void Free();
};

// The main window's binding.
TSkinBinding& SkinBinding();
