#pragma once
// Bank files (".fxb", every program of a VST plug-in) and program files (".fxp", its current
// program) in the published layouts: made from a loaded plug-in into a byte buffer and applied
// from one. A plug-in with effFlagsProgramChunks goes as an opaque chunk, any other as its
// parameter values; the kind a file stores is not consulted. GUI thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TMFX;

enum class TFxFile { Bank, Program };

// Offsets and sizes of the layouts.
constexpr std::size_t FxBankHeaderSize = 156;   // up to the programs or the chunk size
constexpr std::size_t FxProgramHeaderSize = 56; // up to the values or the chunk size
constexpr std::size_t FxNameSize = 28;

enum class TFxResult {
    Done,
    NotLoaded,  // nothing made or applied; a save writes an empty file
    IdMismatch, // the file is another plug-in's: nothing applied
    Refused,    // the file is shorter than its header, counts or sizes say: nothing applied
    NoChunk     // the plug-in named a chunk size but gave no address: nothing to write
};

struct TFxOutcome {
    TFxResult Result = TFxResult::Done;
    std::int32_t FileId = 0, PluginId = 0; // with IdMismatch
    // The plug-in's programs or values changed (a load, or the walk of a bank save): the editor
    // window refreshes its title and faders.
    bool Refresh = false;
};

// Saving: Data gets the whole file.
TFxOutcome SaveFxFile(TMFX& Plugin, TFxFile Kind, std::vector<std::uint8_t>& Data);
// Loading: the file is checked whole before the plug-in is called.
TFxOutcome LoadFxFile(TMFX& Plugin, TFxFile Kind, const std::uint8_t* Data, std::size_t Size);
