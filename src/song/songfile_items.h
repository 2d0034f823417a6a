#pragma once
// The song file's item writers and the reader's state and tag table, shared by the writer and
// reader of every record group.

#include <cstdint>
#include <string>
#include <string_view>

struct _TEvent;
struct _TPart;
class TMapItem;
namespace platform {
class TFileStream;
}

// Our own item: the whole of a string that a short string had to cut at 255 bytes, for the
// string field just before it. Other readers skip it by its size.
constexpr std::string_view LongStringTag = "LongString";

// The item writers, appending to the song stream.
class TSongWriter {
public:
    explicit TSongWriter(platform::TFileStream& Stream) : out_(Stream) {}

    void WriteTag(std::string_view S); // a short string
    void WriteInt32BE(std::int32_t N);
    void WriteDouble(double D);
    void WriteEventRecord(const _TEvent& Event);

    // Whole items.
    void Marker(std::string_view Tag);
    void Int(std::string_view Tag, std::int32_t N);
    void Flag(std::string_view Tag, bool B);
    void Double(std::string_view Tag, double D);
    // A string beyond 255 bytes is cut there and followed by a "LongString" item.
    void String(std::string_view Tag, std::string_view S);
    // The events of a part, with the size the records take.
    void Events(std::string_view Tag, const _TPart& Part);

private:
    platform::TFileStream& out_;
};

// The bytes one event record takes.
std::int64_t EventRecordSize(const _TEvent& Event);

// What the reader keeps between items: the current object of each kind.
struct TSongReader {
    std::string FileName; // the file being read
    int TrackIndex = -1;
    _TPart* Part = nullptr;  // the current part; owned by the reader until linked
    bool PartLinked = false; // "PartEnd" linked it into its track
    std::int32_t EventCount = 0;
    std::int32_t ParamCount = 0;
    int DiskOutputSlot = -1;
    int OutputSlot = -1; // of the current track or softsynth
    int SendIndex = -1;
    std::string* LastString = nullptr; // the string field the item before filled
    std::string* JustRead = nullptr;   // LastString as it stood before the present item
    bool Damaged = false;              // something did not match its size or was cut off
};

// An item's action: reads its payload (bounded by Item) into the reader's current objects.
using TSongTagAction = void (*)(TSongReader& R, TMapItem& Item);
struct TSongTag {
    std::string_view Tag;
    TSongTagAction Action;
};

// Payload readers for the field actions; a payload shorter than its kind reads zeros.
std::int32_t ReadIntItem();
bool ReadFlagItem(); // exactly 1 is true
double ReadDoubleItem();
// Also makes Field the one a following "LongString" item completes.
void ReadStringItem(TSongReader& R, std::string& Field);
