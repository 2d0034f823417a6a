#pragma once
// What every song reader must leave, whatever its input: parts in order on their own track,
// none overlapping, each with a length, and end times that are the sum of their deltas.
#include "devices/midi.h"
#include "platform/core/dialogs.h"
#include "song/song.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

// The first call makes a scratch folder (its settings stay there), answers every message box
// and creates the MIDI object and the song; every call returns the folder with a trailing "/".
// The folder, named with the process id, goes at the program's exit (a crash may leave it).
inline const std::string& SongFuzzFolder() {
    static std::string folder;
    if (!folder.empty()) return folder;
    // A memory file system where there is one: the readers and writers sync what they save,
    // which on a disk would cost more than reading an input.
    static const std::string dir = [] {
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::string d =
                std::string(base) + "/tolvern-fuzz-" + std::to_string(getpid()) + "-XXXXXX";
            if (mkdtemp(d.data())) return d;
        }
        std::abort();
    }();
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    });
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    platform::TDialogHooks hooks;
    hooks.MessageBox = [](std::string_view, std::string_view, unsigned) { return 1; };
    platform::SetDialogHooks(hooks);
    Midi = new TMIDI;
    Song = new TSong;
    folder = dir + "/";
    return folder;
}

inline void CheckSong() {
    for (int i = 0; i < TrackCount; ++i) {
        const _TPart* prev = nullptr;
        for (const _TPart* p = Song->Tracks[i]->Parts; p; p = p->Next) {
            if (p->Length <= 0 || p->Track != i) std::abort();
            if (prev && static_cast<std::int64_t>(prev->Start) + prev->Length > p->Start)
                std::abort();
            std::int64_t end = 0;
            for (const _TEvent* e = p->Events; e; e = e->Next)
                end += e->Delta;
            if (end != p->EndTime) std::abort();
            prev = p;
        }
    }
}
