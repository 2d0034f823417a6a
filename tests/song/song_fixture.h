#pragma once
// A song made the way the main window makes it, with settings in a temporary folder and the
// MIDI object's recording sink.

#include "devices/midi.h"
#include "song/song.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <string_view>

class SongTest : public testing::Test {
protected:
    // Settings written before the song is made.
    virtual std::string_view Ini() const { return ""; }

    void SetUp() override {
        if (!Ini().empty()) settings.WriteIni(Ini());
        Midi = &midi;
        Song = new TSong;
    }
    void TearDown() override {
        delete Song;
        Song = nullptr;
        Midi = nullptr;
    }

    TempSettings settings;
    TMIDI midi;
};
