// The looks file reader: whatever it reads stays inside the file and leaves every entry with
// one bitmap of its own; a set it loaded saves, reloads and saves again to the same bytes.
#include "gui/looks.h"
#include "platform/core/streams.h"
#include "platform/gdi/graphics.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>

namespace {

// The built-in names, each with a small image of its own.
std::unique_ptr<TXGuiLooks> BuiltIn() {
    auto looks = std::make_unique<TXGuiLooks>();
    for (int i = 0; i < TranspImageCount; ++i) {
        auto bmp = std::make_unique<platform::TBitmap>();
        bmp->SetSize(2, 2);
        looks->Add(std::move(bmp), TranspImageNames[i]);
    }
    return looks;
}

bool Load(TXGuiLooks& looks, const std::uint8_t* data, std::size_t size) {
    try {
        looks.LoadFromBytes(data, size);
        return true;
    } catch (const platform::EReadError&) {
    } catch (const platform::EInvalidGraphic&) {
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto looks = BuiltIn();
    const bool whole = Load(*looks, data, size);
    if (looks->Count() != TranspImageCount) std::abort();
    std::set<const platform::TBitmap*> owners;
    for (const auto& item : looks->Items)
        if (!item->Bitmap || !owners.insert(item->Bitmap.get()).second) std::abort();
    if (!whole) return 0;
    const std::vector<std::uint8_t> saved = looks->SaveToBytes();
    auto again = BuiltIn();
    if (!Load(*again, saved.data(), saved.size())) std::abort();
    if (again->SaveToBytes() != saved) std::abort();
    return 0;
}
