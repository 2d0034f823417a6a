#include "gui/skinbind.h"

#include "platform/core/ini.h"
#include "platform/core/paths.h"

using namespace platform;

TSkinBinding& SkinBinding() {
    static TSkinBinding binding;
    return binding;
}

// At the end of the process the libraries go with it; nothing is called any more.
TSkinBinding::~TSkinBinding() = default;

void TSkinBinding::Free() {
    if (Skin) {
        Skin->Dispatch(Skin, TV_SKIN_DISCONNECT, 0, 0, 0);
        // Every host that copied the object lets go of it before its library goes: the strips
        // that copied it when built, and an open list.
        for (TMScroll* host : TMScroll::Hosts())
            if (host->Skin == Skin) host->Skin = nullptr;
    }
    if (SkinLibrary) FreeLibrary(SkinLibrary);
    SkinLibrary = 0;
    Skin = nullptr;
    SkinLoaded = false;
}

void TSkinBinding::LoadSkinPlugin(const std::string& FileName, bool Apply) {
    if (FileName.empty() && SkinLoaded) {
        Free();
    } else if (!FileName.empty()) {
        // A skin connected before stays loaded and connected; its hosts keep it.
        HMODULE lib = LoadLibrary(FileName);
        SkinLibrary = lib;
        if (lib) {
            auto connect = reinterpret_cast<TvSkinConnect>(GetProcAddress(lib, "SkinConnect"));
            TvSkin* skin = connect ? connect() : nullptr;
            if (skin && skin->Dispatch) {
                Skin = skin;
                Skin->Dispatch(Skin, TV_SKIN_CONNECT, 0, 0, 0);
                SkinLoaded = true;
            } else {
                // Nothing to call: the library goes, the former skin stays in use.
                FreeLibrary(lib);
                SkinLibrary = 0;
            }
        }
    }
    if (Apply) ApplySkin();
    SkinFileName = ExtractFileName(FileName);
}

void TSkinBinding::ApplySkin() {
    for (TMScroll* host :
         {Hosts.ArrangeScrolly, Hosts.ArrangeScrollx, Hosts.ArrangeColumns, Hosts.ArrangeMixer,
          Hosts.KeyScrolly, Hosts.KeyScrollx, Hosts.KeyColumns, Hosts.AudioScrolly,
          Hosts.AudioScrollx, Hosts.AudioColumns, Hosts.MidiFaders}) {
        if (!host) continue;
        host->Skin = Skin;
        host->Paint();
    }
}

void TSkinBinding::LoadSkinFromSettings() {
    Skin = nullptr;
    SkinLoaded = false;
    TIniFile ini("tolvern.ini");
    LoadSkinPlugin(ini.ReadString("skin", "filename", ""), false);
}

void TSkinBinding::UnloadSkin() {
    if (SkinLoaded) LoadSkinPlugin("", true);
}
