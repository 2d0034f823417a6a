// songdump: prints a song as canonical text.
//   songdump --new            the song that the New command makes, and what it sent
//   songdump --events FILE    one line per event of tracks 0-127
#include "devices/midi.h"
#include "platform/core/fpu.h"
#include "song/song.h"
#include "songdump/dump.h"

#include <fstream>
#include <iostream>
#include <string>

namespace {

int Usage() {
    std::cerr << "usage: songdump --new | songdump --events FILE\n";
    return 2;
}

// Reads a song file into the song, or answers the program's message. Readers of the file
// formats join here as they are built.
bool LoadSong(const std::string& path, std::string& message) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        message = "Open file error";
        return false;
    }
    message = "Invalid file format (1)";
    return false;
}

} // namespace

int main(int argc, char** argv) {
    platform::MaskFloatingPointExceptions();
    std::string mode = argc > 1 ? argv[1] : "";
    if (!(mode == "--new" && argc == 2) && !(mode == "--events" && argc == 3)) return Usage();

    TMIDI midi;
    Midi = &midi;
    Song = new TSong;
    int rc = 0;
    if (mode == "--new") {
        Song->Clear();
        std::cout << DumpSong(*Song);
        for (const TMidiSent& m : midi.Sent)
            std::cout << "sent " << m.Port << " " << DecodeMessage(m.Msg) << "\n";
    } else {
        std::string message;
        if (LoadSong(argv[2], message)) {
            std::cout << DumpEvents(*Song);
        } else {
            std::cerr << argv[2] << ": " << message << "\n";
            rc = 1;
        }
    }
    delete Song;
    Song = nullptr;
    Midi = nullptr;
    return rc;
}
