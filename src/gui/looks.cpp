#include "gui/looks.h"

#include "platform/core/streams.h"
#include "platform/gdi/gdi.h"

#include <cstring>

using namespace platform;

TXGuiLooks* GuiLooks = nullptr;

const char* const TranspImageNames[TranspImageCount] = {
    "transp_play", "transp_play_active", "transp_stop", "transp_stop_active",
    "transp_rec",  "transp_rec_active",  "transp_home", "transp_home_active",
    "transp_rew",  "transp_rew_active",  "transp_fwd",  "transp_fwd_active",
    "transp_end",  "transp_end_active",  "transp_loop", "transp_loop_active",
    "transp_beep", "transp_beep_active",
};

int TXGuiLooks::Add(std::unique_ptr<TBitmap> Bitmap, std::string Name) {
    auto item = std::make_unique<TXGuiLooksItem>();
    item->Name = std::move(Name);
    item->Bitmap = std::move(Bitmap);
    Items.push_back(std::move(item));
    return Count() - 1;
}

int TXGuiLooks::IndexOf(std::string_view Name) const {
    for (int i = 0; i < Count(); ++i)
        if (Items[std::size_t(i)]->Name == Name) return i;
    return -1;
}

void TXGuiLooks::Draw(HDC DC, int X, int Y, int Index) {
    if (Index < 0 || Index >= Count()) return;
    TBitmap* b = Items[std::size_t(Index)]->Bitmap.get();
    if (!b || b->Empty()) return;
    BitBlt(DC, X, Y, b->Width(), b->Height(), b->Canvas().Handle(), 0, 0, SRCCOPY);
}

void TXGuiLooks::GetSize(int Index, TSize& Size) const {
    Size = {};
    if (Index < 0 || Index >= Count()) return;
    const TBitmap* b = Items[std::size_t(Index)]->Bitmap.get();
    if (b) Size = {b->Width(), b->Height()};
}

void TXGuiLooks::Replace(std::unique_ptr<TBitmap>& Bitmap, int Index) {
    if (Index < 0 || Index >= Count() || !Bitmap) return;
    Items[std::size_t(Index)]->Bitmap = std::move(Bitmap);
}

namespace {

// Little-endian, as the looks file is.
void PutInt32(std::vector<std::uint8_t>& out, std::int32_t v) {
    const auto u = std::uint32_t(v);
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(u >> (8 * i)));
}

void PutString(std::vector<std::uint8_t>& out, std::string_view s) {
    PutInt32(out, std::int32_t(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

void PutChunk(std::vector<std::uint8_t>& out, std::string_view tag,
              const std::vector<std::uint8_t>& payload) {
    PutString(out, tag);
    PutInt32(out, std::int32_t(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
}

// Every read stays inside the file: a length that is negative or runs past the end is a read
// error, as a short read of the original stream would be.
class TChunkReader {
public:
    TChunkReader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    bool AtEnd() const { return p_ >= end_; }
    std::size_t Remaining() const { return std::size_t(end_ - p_); }

    std::int32_t Int32() {
        Need(4);
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(p_[i]) << (8 * i);
        p_ += 4;
        return std::int32_t(v);
    }
    // A length just read: never negative, never past the end.
    std::size_t Length(std::int32_t n) {
        if (n < 0) Fail();
        Need(std::size_t(n));
        return std::size_t(n);
    }
    std::string Chars(std::size_t n) {
        Need(n);
        std::string s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }
    const std::uint8_t* Take(std::size_t n) {
        Need(n);
        const std::uint8_t* at = p_;
        p_ += n;
        return at;
    }

    [[noreturn]] static void Fail() { throw EReadError(std::string(SReadError)); }

private:
    void Need(std::size_t n) const {
        if (n > Remaining()) Fail();
    }
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

} // namespace

std::vector<std::uint8_t> TXGuiLooks::SaveToBytes() const {
    std::vector<std::uint8_t> out;
    for (const auto& item : Items) {
        PutChunk(out, "Bitmap", {});
        std::vector<std::uint8_t> id;
        PutString(id, item->Name);
        PutChunk(out, "BitmapId", id);
        std::vector<std::uint8_t> data;
        if (item->Bitmap) data = item->Bitmap->SaveToBytes();
        PutChunk(out, "BitmapData", data);
    }
    return out;
}

void TXGuiLooks::SaveToFile(const std::string& Name) {
    const std::vector<std::uint8_t> bytes = SaveToBytes();
    TMemoryStream file;
    file.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    file.SaveToFile(Name); // through a temporary: the old file stays until this one is whole
    FileName = Name;
}

void TXGuiLooks::LoadFromBytes(const std::uint8_t* Data, std::size_t Size) {
    TChunkReader r(Data, Size);
    int current = -1;
    while (!r.AtEnd()) {
        const std::string tag = r.Chars(r.Length(r.Int32()));
        const std::int32_t size = r.Int32();
        if (tag == "Bitmap") {
            // Starts an entry; its size is not skipped (the writer always writes 0).
            continue;
        }
        const std::size_t s = r.Length(size);
        if (tag == "BitmapId") {
            const std::int32_t n = r.Int32();
            if (n < 0 || std::size_t(n) + 4 != s) TChunkReader::Fail();
            current = IndexOf(r.Chars(std::size_t(n)));
        } else if (tag == "BitmapData") {
            // Each image decodes into a bitmap of its own: the set takes it, or it goes at once.
            auto bitmap = std::make_unique<TBitmap>();
            bitmap->LoadFromBytes(r.Take(s), s);
            Replace(bitmap, current);
        } else {
            r.Take(s);
        }
    }
}

void TXGuiLooks::LoadFromFile(const std::string& Name) {
    TMemoryStream file;
    file.LoadFromFile(Name);
    LoadFromBytes(file.Bytes().data(), file.Bytes().size());
    FileName = Name;
}
