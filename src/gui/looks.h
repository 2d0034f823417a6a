#pragma once
// The looks: one process-wide set of named bitmaps that windows draw instead of fixed artwork
// (the transport bar's buttons), and the looks file (".gui") that restyles them by name.
// GUI thread only.

#include "platform/gdi/graphics.h"
#include "platform/gdi/types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One entry: the name is the key (case matters), the entry owns its bitmap.
class TXGuiLooksItem {
public:
    std::string Name;
    std::unique_ptr<platform::TBitmap> Bitmap;
};

class TXGuiLooks {
public:
    TXGuiLooks() = default;
    TXGuiLooks(const TXGuiLooks&) = delete;
    TXGuiLooks& operator=(const TXGuiLooks&) = delete;

    // The looks file last loaded or saved; empty for the built-in set.
    std::string FileName;
    // Registration order; an entry's index is its identity.
    std::vector<std::unique_ptr<TXGuiLooksItem>> Items;

    int Count() const { return int(Items.size()); }
    // Appends an entry that takes the bitmap; returns its index.
    int Add(std::unique_ptr<platform::TBitmap> Bitmap, std::string Name);
    // The first entry of exactly that name, -1 when none.
    int IndexOf(std::string_view Name) const;
    // Plain copy of the whole bitmap to (X, Y); nothing for an index outside the set.
    void Draw(platform::HDC DC, int X, int Y, int Index);
    // (0, 0) for an index outside the set.
    void GetSize(int Index, platform::TSize& Size) const;
    // A valid index takes the bitmap (freeing its old one); otherwise the caller keeps it.
    void Replace(std::unique_ptr<platform::TBitmap>& Bitmap, int Index);

    // The file error when it cannot be written; FileName is set once the file is complete.
    void SaveToFile(const std::string& Name);
    // The file error when it cannot be read; EReadError for a chunk that runs past the end or
    // disagrees with its size, the image error for bad BMP data. Entries replaced before the
    // failure stay replaced; FileName changes only when the whole file was read.
    void LoadFromFile(const std::string& Name);
    // The same on bytes already in memory (the file reader and the fuzzer).
    void LoadFromBytes(const std::uint8_t* Data, std::size_t Size);
    std::vector<std::uint8_t> SaveToBytes() const;
};

// Created by the main window's InitLooks and kept for the whole run.
extern TXGuiLooks* GuiLooks;

// The eighteen built-in images, in registration order (image list index = position).
inline constexpr int TranspImageCount = 18;
extern const char* const TranspImageNames[TranspImageCount];
