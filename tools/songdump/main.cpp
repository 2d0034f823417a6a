// songdump: prints a song as canonical text.
//   songdump FILE             the song a song file (or a Standard MIDI File) holds
//   songdump --new            the song that the New command makes, and what it sent
//   songdump --events FILE    one line per event of tracks 0-127
#include "devices/midi.h"
#include "platform/core/fpu.h"
#include "song/filehelpers.h"
#include "song/smf.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/songreaders.h"
#include "songdump/dump.h"

#include <iostream>
#include <string>

namespace {

int Usage() {
    std::cerr << "usage: songdump FILE | songdump --new | songdump --events FILE\n";
    return 2;
}

// Reads a song file into the song, or answers the program's message. Readers of the file
// formats join here as they are built. A damaged file is read as far as it goes: its reader
// says so, and the tool fails after printing it.
bool LoadSong(const std::string& path, std::string& message, bool& complete) {
    if (!MapFileOpen(path)) {
        message = "Open file error";
        return false;
    }
    std::string magic;
    MapReadString(magic);
    MapFileClose();
    if (TSongReader reader = SongReaderFor(magic)) { // the native format and its older versions
        complete = reader(path);
        return true;
    }
    MapFileOpen(path);
    bool midi = MapReadInt32BE() == 0x4D546864; // "MThd"
    MapFileClose();
    if (midi) {
        // A header we cannot read leaves the song empty; the reader has said why.
        complete = ReadSmfSong(path);
        return true;
    }
    message = "Invalid file format (1)";
    return false;
}

} // namespace

int main(int argc, char** argv) {
    platform::MaskFloatingPointExceptions();
    std::string mode = argc > 1 ? argv[1] : "";
    bool dump = argc == 2 && !mode.empty() && mode[0] != '-';
    if (!dump && !(mode == "--new" && argc == 2) && !(mode == "--events" && argc == 3))
        return Usage();

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
        std::string path = dump ? argv[1] : argv[2];
        std::string message;
        bool complete = true;
        if (LoadSong(path, message, complete)) {
            std::cout << (dump ? DumpSong(*Song) : DumpEvents(*Song));
            if (!complete) rc = 1;
        } else {
            std::cerr << path << ": " << message << "\n";
            rc = 1;
        }
    }
    delete Song;
    Song = nullptr;
    Midi = nullptr;
    return rc;
}
