// Song files: reading any bytes must not crash nor read outside the file, and whatever it
// keeps must be a well-formed song (parts in order, none overlapping, end times that are the
// sum of their deltas).
#include "song/songfile.h"
#include "devices/midi.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "song/song.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string g_path;

void SetUpOnce() {
    if (!g_path.empty()) return;
    char dir[] = "/tmp/tolvern-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    g_path = std::string(dir) + "/in.seq";
    setenv("XDG_CONFIG_HOME", dir, 1); // settings of a run stay in its folder
    platform::TDialogHooks hooks;
    hooks.MessageBox = [](std::string_view, std::string_view, unsigned) { return 1; };
    platform::SetDialogHooks(hooks);
    Midi = new TMIDI;
    Song = new TSong;
}

void CheckSong() {
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetUpOnce();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    platform::TFileStream f(g_path, platform::TFileMode::Create); // no sync: speed matters here
    if (!f.Write(bytes) || !f.Close()) std::abort();
    LoadSongFile(g_path);
    CheckSong();
    Midi->Sent.clear();
    return 0;
}
