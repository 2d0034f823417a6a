#include "song/filehelpers.h"

#include "devices/midimsg.h"
#include "platform/core/filemap.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "song/primitives.h"
#include "song/song.h"

#include <bit>
#include <climits>
#include <cstring>

const std::uint8_t* MapBase = nullptr;
const std::uint8_t* MapCursor = nullptr;
std::int32_t MapRemaining = 0;
std::uint16_t MapReadCount = 0;
bool MapTruncated = false;

platform::TFileStream* OutFile = nullptr;
std::int32_t OutFileCount = 0;
std::string* OutBytes = nullptr;

namespace {

platform::TFileMap g_map;
// No read goes at or beyond this byte: the end of the view, or of the open item.
const std::uint8_t* g_limit = nullptr;

std::int32_t Available() {
    if (!MapCursor || !g_limit || MapCursor >= g_limit) return 0;
    return static_cast<std::int32_t>(g_limit - MapCursor);
}

// Adds N to the count of bytes read; it keeps 16 bits and wraps, whatever a length says.
void Count(std::int32_t N) {
    MapReadCount = static_cast<std::uint16_t>(MapReadCount + static_cast<std::uint32_t>(N));
}

void Consume(std::int32_t N) {
    std::int64_t r = static_cast<std::int64_t>(MapRemaining) - N;
    MapRemaining = r < INT_MIN ? INT_MIN : static_cast<std::int32_t>(r);
}

// Copies N bytes from the cursor into Out, or zeros when fewer are left; consumes N either way.
void Take(void* Out, std::int32_t N) {
    if (N <= Available()) {
        std::memcpy(Out, MapCursor, static_cast<std::size_t>(N));
        MapCursor += N;
    } else {
        std::memset(Out, 0, static_cast<std::size_t>(N));
        MapTruncated = true;
        if (MapCursor < g_limit) MapCursor = g_limit;
    }
    Consume(N);
    Count(N);
}

std::uint32_t TakeBE(int Bytes) {
    std::uint8_t b[4];
    Take(b, Bytes);
    std::uint32_t v = 0;
    for (int i = 0; i < Bytes; ++i)
        v = (v << 8) | b[i];
    return v;
}

std::uint32_t TakeLE(int Bytes) {
    std::uint8_t b[4];
    Take(b, Bytes);
    std::uint32_t v = 0;
    for (int i = Bytes - 1; i >= 0; --i)
        v = (v << 8) | b[i];
    return v;
}

// The block of a status 0xF0 event: a length, then that many bytes. A length the file cannot
// hold allocates nothing and consumes the rest.
void ReadBlock(_TEvent& E) {
    std::int32_t len = MapReadInt32BE();
    if (len <= 0) return;
    if (len > Available()) {
        MapTruncated = true;
        MapCursor = g_limit;
        Consume(len);
        Count(len);
        return;
    }
    SetEventBlock(E, MapCursor, len);
    MapCursor += len;
    Consume(len);
    Count(len);
}

std::uint32_t FromBE(std::uint32_t V) {
    if constexpr (std::endian::native == std::endian::little) return __builtin_bswap32(V);
    return V;
}

_TEvent* ReadEventHead() {
    if (Available() >= 8) { // at once: the time and the message
        std::uint32_t w[2];
        std::memcpy(w, MapCursor, 8);
        MapCursor += 8;
        Consume(8);
        MapReadCount = static_cast<std::uint16_t>(MapReadCount + 8);
        return NewReadEvent(static_cast<std::int32_t>(FromBE(w[0])), FromBE(w[1]));
    }
    std::int32_t delta = MapReadInt32BE();
    std::uint32_t msg = static_cast<std::uint32_t>(MapReadInt32BE());
    return NewReadEvent(delta, msg);
}

} // namespace

bool MapFileOpen(std::string_view FileName) {
    MapFileClose();
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    MapTruncated = false;
    if (!platform::FileExists(FileName)) return false;
    platform::TFileMap map;
    if (!map.Open(FileName, platform::TFileMap::Access::ReadThrough)) return false;
    if (map.Size() == 0 || map.Size() > static_cast<std::size_t>(INT32_MAX)) return false;
    g_map = std::move(map);
    MapBase = MapCursor = g_map.Data();
    g_limit = MapBase + g_map.Size();
    MapRemaining = static_cast<std::int32_t>(g_map.Size());
    return true;
}

bool MapBytesOpen(const std::uint8_t* Bytes, std::size_t Size) {
    MapFileClose();
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    MapTruncated = false;
    if (!Bytes || Size == 0 || Size > static_cast<std::size_t>(INT32_MAX)) return false;
    MapBase = MapCursor = Bytes;
    g_limit = MapBase + Size;
    MapRemaining = static_cast<std::int32_t>(Size);
    return true;
}

void MapFileClose() {
    EventListEpoch.fetch_add(1, std::memory_order_relaxed);
    g_map.Close();
    // Cursor and remaining keep their values; nothing can be read through them any more.
    g_limit = nullptr;
}

std::int32_t MapAvailable() {
    return Available();
}

std::uint8_t MapReadByte() {
    return static_cast<std::uint8_t>(TakeBE(1));
}

void MapReadString(std::string& S) {
    std::int32_t len = MapReadByte();
    std::int32_t n = len <= Available() ? len : Available();
    S.assign(reinterpret_cast<const char*>(MapCursor), static_cast<std::size_t>(n));
    if (n < len) MapTruncated = true;
    MapCursor += n;
    Consume(len);
}

std::int32_t MapReadInt32BE() {
    return static_cast<std::int32_t>(TakeBE(4));
}

std::int32_t MapReadInt32LE() {
    return static_cast<std::int32_t>(TakeLE(4));
}

std::uint16_t MapReadInt16BE() {
    return static_cast<std::uint16_t>(TakeBE(2));
}

std::uint16_t MapReadInt16LE() {
    return static_cast<std::uint16_t>(TakeLE(2));
}

double MapReadDouble() {
    std::uint8_t b[8];
    Take(b, 8);
    double d;
    std::memcpy(&d, b, sizeof d);
    return d;
}

std::uint32_t MapReadVarLen() {
    std::uint32_t value = MapReadByte();
    if (value & 0x80) {
        value &= 0x7F;
        std::uint8_t b;
        do {
            b = MapReadByte(); // a cut-off file reads 0 and ends the number
            value = (value << 7) + (b & 0x7F);
        } while (b & 0x80);
    }
    return value;
}

_TEvent* MapReadEvent() {
    return ReadEventHead();
}

_TEvent* MapReadEventSysex() {
    _TEvent* e = ReadEventHead();
    if (MidiStatus(e->Msg) == 0xF0) ReadBlock(*e);
    return e;
}

_TEvent* MapReadEventEx() {
    _TEvent* e = ReadEventHead();
    if (MidiStatus(e->Msg) != 0xF0) return e;
    if (MidiData1(e->Msg) == 1) {
        MapReadInt32BE(); // the length, always 4
        SetEventValue(*e, static_cast<std::uint32_t>(MapReadInt32BE()));
    } else {
        ReadBlock(*e);
    }
    return e;
}

void MapSkip(std::int32_t N) {
    if (N <= 0) return;
    if (N <= Available()) {
        MapCursor += N;
    } else {
        MapTruncated = true;
        if (MapCursor < g_limit) MapCursor = g_limit;
    }
    Consume(N);
}

TMapItem::TMapItem(std::int32_t Size)
    : start_(MapCursor), outerLimit_(g_limit), startRemaining_(MapRemaining),
      size_(Size < 0 ? 0 : Size) {
    if (size_ < Available())
        g_limit = MapCursor + size_;
    else if (size_ > Available())
        MapTruncated = true; // the file ends inside the item
}

TMapItem::~TMapItem() {
    g_limit = outerLimit_;
    std::int32_t inFile = start_ < g_limit ? static_cast<std::int32_t>(g_limit - start_) : 0;
    MapCursor = start_ + (size_ < inFile ? size_ : inFile);
    MapRemaining = startRemaining_;
    Consume(size_);
}

std::int32_t TMapItem::Left() const {
    return Available();
}

// ---- writer --------------------------------------------------------------------------------

namespace {

void Put(const std::uint8_t* Bytes, int N) {
    if (OutBytes)
        OutBytes->append(reinterpret_cast<const char*>(Bytes), static_cast<std::size_t>(N));
    else if (OutFile)
        OutFile->Write(Bytes, static_cast<std::size_t>(N));
}

void PutBE(std::uint32_t N, int Bytes) {
    std::uint8_t b[4];
    for (int i = 0; i < Bytes; ++i)
        b[i] = static_cast<std::uint8_t>(N >> (8 * (Bytes - 1 - i)));
    Put(b, Bytes);
    OutFileCount += Bytes;
}

} // namespace

void FileWriteInt32BE(std::int32_t N) {
    PutBE(static_cast<std::uint32_t>(N), 4);
}

void FileWriteInt24BE(std::int32_t N) {
    PutBE(static_cast<std::uint32_t>(N), 3);
}

void FileWriteInt16BE(std::int32_t N) {
    PutBE(static_cast<std::uint32_t>(N), 2);
}

void FileWriteByte(std::uint8_t B) {
    PutBE(B, 1);
}

void FileWriteVarLen(std::uint32_t N) {
    if (N > 0x0FFFFFFF) N = 0x0FFFFFFF;
    std::uint32_t buffer = N & 0x7F;
    while ((N >>= 7) != 0)
        buffer = (buffer << 8) | (N & 0x7F) | 0x80;
    for (;;) {
        FileWriteByte(static_cast<std::uint8_t>(buffer));
        if (!(buffer & 0x80)) break;
        buffer >>= 8;
    }
}

void FileWriteString(std::string_view S) {
    if (S.size() > 255) S = S.substr(0, 255);
    std::uint8_t len = static_cast<std::uint8_t>(S.size());
    Put(&len, 1);
    Put(reinterpret_cast<const std::uint8_t*>(S.data()), static_cast<int>(S.size()));
}
