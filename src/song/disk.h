#pragma once
// Disk samples: WAV files a disk track plays straight from their memory mapping, and the
// short-lived voices a block makes for the parts that sound in it.
//
// Threads: samples are made, opened and added on the GUI thread while the song is paused. The
// disk step of a block (TSong::ScheduleDiskBlock) and the purge (a deferred action) run on the
// renderer's thread while audio runs: the purge there only renumbers and detaches; closing,
// deleting files and freeing follow on the GUI thread (TSong::FinishDiskPurge).

#include "platform/core/filemap.h"

#include <cstdint>
#include <string>

class TDiskSample {
public:
    TDiskSample();  // Create: closed, no file name, no data
    ~TDiskSample(); // Destroy
    TDiskSample(const TDiskSample&) = delete;
    TDiskSample& operator=(const TDiskSample&) = delete;

    void* View = nullptr; // the mapped file, while open
    std::uint8_t Used = 0;
    std::uint8_t Opened = 0;
    std::int32_t Internal = 0; // the file belongs to the song
    std::int32_t NewIndex = -1;
    std::string FileName;
    std::uint8_t* Data = nullptr; // first byte of the "data" chunk; nil when closed
    std::int32_t Channels = 0;
    std::int32_t Rate = 0;
    std::int32_t Bits = 0;
    std::int32_t DataSize = 0; // bytes of whole frames inside the file
    std::int32_t Frames = 0;

    // Maps the file and finds its format and data; True when open afterwards. A file that is
    // missing, read-only, not PCM of 1 to 255 channels at 8 bits or more, or without data
    // stays closed.
    bool Open();
    void Close();

private:
    platform::TFileMap map_;
};

// Maps FileName whole for reading and writing; False when it does not exist or cannot be
// opened so (a device, a FIFO, a read-only file).
bool MapWholeFile(const std::string& FileName, platform::TFileMap& Map);

// True when a disk sample other than number Index names the same file (the same device and
// inode; the same name for a file that is not there).
bool DiskFileInUse(int Index, const std::string& FileName);

// One block's voice of a disk part.
struct _TDiskVoice {
    const std::uint8_t* Data16 = nullptr;
    const std::uint8_t* Data24 = nullptr;
    const std::uint8_t* Data32 = nullptr;
    std::int32_t FramesLeft = 0;
    std::int32_t Channels = 0;
    std::int32_t Bits = 0;
    std::int32_t StartFrame = 0;
    std::int32_t Output = 0;
};

constexpr int MaxDiskVoices = 1024; // voices of one block; more parts in a block play nothing
