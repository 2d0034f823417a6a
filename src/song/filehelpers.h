#pragma once
// The binary file helpers every file format is read and written with: one memory-mapped input
// file read from a cursor, and one shared output file that counts what it writes. Integers are
// big-endian unless the name says otherwise; strings are short strings (length byte, then the
// characters); variable-length numbers are those of Standard MIDI Files.
//
// Reads never leave the mapped view, nor the item window a reader has opened (TMapItem): a read
// that needs more bytes than are left gives zeros, consumes what it asked for and sets
// MapTruncated, so the callers' "while MapRemaining > 0" loops end.

#include <cstdint>
#include <string>
#include <string_view>

struct _TEvent;
namespace platform {
class TFileStream;
}

// ---- reader --------------------------------------------------------------------------------

extern const std::uint8_t* MapBase;   // first byte of the view
extern const std::uint8_t* MapCursor; // next byte to read
extern std::int32_t MapRemaining;     // bytes of the file not yet consumed; may go below 0
extern std::uint16_t MapReadCount;    // bytes consumed by the byte, integer and double readers
extern bool MapTruncated;             // a read wanted more than the file (or the item) had left

// Maps the whole file read-only; False, with nothing open, when it does not exist, cannot be
// read, is empty or too big for the reader's 32-bit counts. Resets MapTruncated.
bool MapFileOpen(std::string_view FileName);
// Reads Size bytes at Bytes as MapFileOpen reads a file of them; the caller keeps them until
// MapFileClose. False, with nothing open, when they are empty or too many.
bool MapBytesOpen(const std::uint8_t* Bytes, std::size_t Size);
void MapFileClose();

std::uint8_t MapReadByte();
void MapReadString(std::string& S);
std::int32_t MapReadInt32BE();
std::int32_t MapReadInt32LE();
std::uint16_t MapReadInt16BE();
std::uint16_t MapReadInt16LE();
double MapReadDouble();
std::uint32_t MapReadVarLen();
// New events; the block of a status 0xF0 event is allocated only when the file holds all of it.
_TEvent* MapReadEvent();
_TEvent* MapReadEventSysex();
_TEvent* MapReadEventEx();
// A negative N skips nothing.
void MapSkip(std::int32_t N);
// Bytes that can still be read: up to the end of the open item, else of the file.
std::int32_t MapAvailable();

// An item of Size bytes starting at the cursor: while it lives no read goes beyond the item,
// and when it ends the cursor stands at the item's start plus Size, whatever was read of it.
class TMapItem {
public:
    explicit TMapItem(std::int32_t Size);
    ~TMapItem();
    TMapItem(const TMapItem&) = delete;
    TMapItem& operator=(const TMapItem&) = delete;
    // Bytes of the item not yet read.
    std::int32_t Left() const;

private:
    const std::uint8_t* start_;
    const std::uint8_t* outerLimit_;
    std::int32_t startRemaining_;
    std::int32_t size_;
};

// ---- writer --------------------------------------------------------------------------------

// The shared output file: the caller points it at a stream it has created (for a save, the
// stream of a platform::TAtomicFile), and checks the stream's Ok() when done; errors are sticky.
extern platform::TFileStream* OutFile;
extern std::int32_t OutFileCount; // bytes of the integer, byte and variable-length writers
// When set, the writers append to these bytes instead of writing to OutFile.
extern std::string* OutBytes;

void FileWriteInt32BE(std::int32_t N);
void FileWriteInt24BE(std::int32_t N); // the low three bytes
void FileWriteInt16BE(std::int32_t N); // the low two bytes
void FileWriteByte(std::uint8_t B);
void FileWriteVarLen(std::uint32_t N);    // at most four bytes: values from 2^28 write 2^28 - 1
void FileWriteString(std::string_view S); // at most 255 characters are written; not counted
