#pragma once
// The sample pool: an ordered collection of named samples, each holding one wave, saved and
// loaded as a sample bank (".dxg"): a resource header, then the collection as a component
// stream. Audio tracks and sample notes name the samples by their position.

#include "devices/dxclass.h"
#include "devices/wave.h"

#include <cstdint>
#include <string_view>

class TWaveCollectionItem : public THashCollectionItem {
public:
    bool Looped = false; // kept with the bank; nothing else reads it
    TWave Wave;

    std::int32_t MaxPlayingCount() const { return maxPlayingCount_; }
    void SetMaxPlayingCount(std::int32_t Value) { maxPlayingCount_ = Value < 0 ? 0 : Value; }
    // Copies the wave (nil empties it).
    void SetWave(const TWave* Value) { Wave.Assign(Value); }

private:
    std::int32_t maxPlayingCount_ = 0;
};

class TCustomDXWaveList;

class TWaveCollection : public THashCollection {
public:
    explicit TWaveCollection(TCustomDXWaveList* Owner = nullptr) : owner_(Owner) {}
    TCustomDXWaveList* Owner() const { return owner_; }

    // The item at Index; EListError outside the collection.
    TWaveCollectionItem* GetItem(int Index) const;
    // A new empty item at the end.
    TWaveCollectionItem* Add();

    // A sample bank replaces the contents. After a failure the items completed before it
    // stay. EFOpenError, EInvalidImage, EReadError, EWaveStreamError.
    void LoadFromFile(std::string_view FileName);
    void LoadFromStream(platform::TStream& Stream);
    // Through a temporary file beside the target; EFCreateError.
    void SaveToFile(std::string_view FileName) const;
    void SaveToStream(platform::TStream& Stream) const;

private:
    TCustomDXWaveList* owner_;
};

// Holder of a sample pool: the song's, and the main window's scratch bank.
class TCustomDXWaveList {
public:
    TCustomDXWaveList() : Items(this) {}
    virtual ~TCustomDXWaveList() = default;
    TCustomDXWaveList(const TCustomDXWaveList&) = delete;
    TCustomDXWaveList& operator=(const TCustomDXWaveList&) = delete;

    TWaveCollection Items;
};

class TDXWaveList : public TCustomDXWaveList {};

// The name the bank's resource header carries, in upper case.
constexpr std::string_view WaveCollectionResName = "QUORVEXWAVECOLLECTION";
constexpr int WaveBankHeaderSize = 31;
