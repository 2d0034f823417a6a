// The two entries of a VST 2 example library: "VSTPluginMain" and, for older hosts, "main".
#pragma once

#include "devices/vst2.h"

#define TV_EXPORT extern "C" __attribute__((visibility("default")))

AEffect* CreateEffect(audioMasterCallback Host);

TV_EXPORT AEffect* VSTPluginMain(audioMasterCallback Host) { return CreateEffect(Host); }
// "main" cannot be declared by name in C++; the assembler name gives the export.
TV_EXPORT AEffect* vst_main_entry(audioMasterCallback Host) __asm__("main");
TV_EXPORT AEffect* vst_main_entry(audioMasterCallback Host) { return CreateEffect(Host); }

// The record fields every example fills alike.
inline void InitEffect(AEffect& E, void* Object, AEffectDispatcherProc Dispatcher,
                       AEffectProcessProc Process, AEffectProcessProc Replacing,
                       AEffectSetParameterProc Set, AEffectGetParameterProc Get) {
    E.magic = kEffectMagic;
    E.dispatcher = Dispatcher;
    E.process = Process;
    E.processReplacing = Replacing;
    E.setParameter = Set;
    E.getParameter = Get;
    E.object = Object;
    E.version = 1;
}

// Copies Text into a plug-in text field of Size bytes, zero-terminated.
inline void CopyText(void* Ptr, const char* Text, int Size) {
    char* d = static_cast<char*>(Ptr);
    int i = 0;
    for (; Text[i] && i < Size - 1; ++i) d[i] = Text[i];
    d[i] = 0;
}
