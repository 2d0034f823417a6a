#pragma once
// Disk samples: WAV files a disk track plays straight from disk, and the short-lived voices a
// block makes for the parts that sound in it.
//
// The files are open for reading only (a read-only file plays) and read, not mapped: a file that
// another program shortens while it plays reads as far as it goes now, the rest is silence.
//
// Threads: samples are made, opened and added on the GUI thread while the song is paused. The
// disk step of a block (TSong::ScheduleDiskBlock) and the purge (a deferred action) run on the
// renderer's thread while audio runs: the purge there only renumbers and detaches; closing,
// deleting files and freeing follow on the GUI thread (TSong::FinishDiskPurge).

#include "platform/core/files.h"

#include <cstdint>
#include <string>

class TDiskSample {
public:
    TDiskSample();  // Create: closed, no file name, no data
    ~TDiskSample(); // Destroy
    TDiskSample(const TDiskSample&) = delete;
    TDiskSample& operator=(const TDiskSample&) = delete;

    std::uint8_t Used = 0;
    std::uint8_t Opened = 0;
    std::int32_t Internal = 0; // the file belongs to the song
    std::int32_t NewIndex = -1;
    std::string FileName;
    std::int64_t DataStart = 0; // file offset of the "data" chunk's first byte; 0 when closed
    std::int32_t Channels = 0;
    std::int32_t Rate = 0;
    std::int32_t Bits = 0;
    std::int32_t DataSize = 0; // bytes of whole frames inside the file when it was opened
    std::int32_t Frames = 0;

    // Opens the file and finds its format and data; True when open afterwards. A file that is
    // missing, not a regular file, not PCM of 1 or more channels at 8 bits or more, or without
    // data stays closed.
    bool Open();
    void Close();
    // Reads frames First to First + Count - 1 into Out (Count x Channels x Bits / 8 bytes) and
    // returns how many whole frames of them the file holds now: fewer once it was shortened.
    // Any thread; allocates nothing.
    int ReadFrames(std::int64_t First, int Count, std::uint8_t* Out) const;

private:
    platform::TFileReader file_;
};

// True when a disk sample other than number Index names the same file (the same device and
// inode; the same name for a file that is not there).
bool DiskFileInUse(int Index, const std::string& FileName);

// One block's voice of a disk part.
struct _TDiskVoice {
    const TDiskSample* Sample = nullptr;
    std::int64_t FirstFrame = 0; // the file's frame the voice starts with
    std::int32_t FramesLeft = 0;
    std::int32_t Channels = 0;
    std::int32_t Bits = 0;
    std::int32_t StartFrame = 0;
    std::int32_t Output = 0;
};

constexpr int MaxDiskVoices = 1024; // voices of one block; more parts in a block play nothing
