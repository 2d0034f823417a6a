// Song files: reading any bytes must not crash nor read outside the file, and whatever it
// keeps must be a well-formed song (parts in order, none overlapping, end times that are the
// sum of their deltas). The files the song names (samples, banks, plug-ins) are opened only
// inside the fuzzer's own folder.
#include "song/songfile.h"
#include "devices/midi.h"
#include "platform/core/files.h"
#include "song/song.h"
#include "song_check.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

bool InsideFuzzFolder(std::string_view Path) {
    std::string p = std::filesystem::path(Path).lexically_normal().string();
    return p.rfind(SongFuzzFolder(), 0) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = SongFuzzFolder() + "in.seq";
    platform::SetFileOpenHook(&InsideFuzzFolder);
    std::string bytes(reinterpret_cast<const char*>(data), size);
    platform::TFileStream f(path, platform::TFileMode::Create); // no sync: speed matters here
    if (!f.Write(bytes) || !f.Close()) std::abort();
    LoadSongFile(path);
    CheckSong();
    Midi->Sent.clear();
    return 0;
}
