#pragma once
// The song file's item writers and the reader's state and tag table, shared by the writer and
// reader of every record group.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct _TEvent;
struct _TPart;
class TMapItem;
class TAutoPlug;
class TDiskSample;
class TSample;
class TSoftItem;
class TSub;
struct TSoftOut;
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
    // One double per value (plug-in parameters).
    void Doubles(std::string_view Tag, const std::vector<double>& Values);
    // Opaque bytes (plug-in state).
    void Block(std::string_view Tag, const void* Data, std::size_t Size);

private:
    platform::TFileStream& out_;
};

// A bus's or softsynth's plug-in path as stored: without its extension, and relative to the
// effect (Effect) or synth folder when it lies below it, with backslashes.
std::string StoredPluginName(std::string_view Path, bool Effect);
// One bus group; one softsynth group with its output slots and their insert buses.
void WriteSubRecords(TSongWriter& W, const TSub& Bus);
void WriteSoftsynthRecords(TSongWriter& W, TSoftItem& Item);

// The bytes one event record takes.
std::int64_t EventRecordSize(const _TEvent& Event);

// What the reader keeps between items: the current object of each kind.
struct TSongReader {
    std::string FileName;   // the file being read
    std::string StoredName; // "SeqName": the files beside the song are looked up under it
    int TrackIndex = -1;
    _TPart* Part = nullptr;  // the current part; owned by the reader until linked
    bool PartLinked = false; // "PartEnd" linked it into its track
    std::int32_t EventCount = 0;
    std::int32_t ParamCount = 0;
    int DiskOutputSlot = -1;
    int OutputSlot = -1; // of the current track or softsynth
    int SendIndex = -1;
    // The current output slot of any owner (nil beyond the last slot): its fields, sends and
    // the insert buses that follow it.
    TSoftOut* Slot = nullptr;
    TSample* Sample = nullptr;         // of the current track
    TSub* Bus = nullptr;               // made by the last "SubName"
    int BusKind = 0;                   // "SubStyle", for the next "SubName"
    TSoftItem* Softsynth = nullptr;    // made by the last "SoftsynthName"
    TAutoPlug* Entry = nullptr;        // of the current track
    TDiskSample* DiskSample = nullptr; // the last "DiskFileName"
    int Area = -1;                     // in the song-file host's area list
    // What a name item makes (a bus, a softsynth, a disk sample) is made at the next item
    // that is not a "LongString", which may complete the name first.
    void (*Pending)(TSongReader&) = nullptr;
    std::string PendingName;
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
