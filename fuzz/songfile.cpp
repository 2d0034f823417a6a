// Song files: reading any bytes must not crash nor read outside the file, and whatever it
// keeps must be a well-formed song (parts in order, none overlapping, end times that are the
// sum of their deltas).
#include "song/songfile.h"
#include "devices/midi.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "song/song.h"
#include "song_check.h"

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
