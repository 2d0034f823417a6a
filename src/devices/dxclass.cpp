#include "devices/dxclass.h"

#include "platform/core/streams.h"

#include <string>

void THashCollectionItem::SetName(std::string_view Value) {
    if (Value != name_) name_ = Value;
}

int THashCollectionItem::Index() const {
    if (!collection_) return -1;
    const auto& items = collection_->items_;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].get() == this) return static_cast<int>(i);
    return -1;
}

THashCollection::~THashCollection() {
    Clear();
}

THashCollectionItem* THashCollection::Item(int Index) const {
    if (Index < 0 || Index >= Count())
        throw platform::EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return items_[static_cast<std::size_t>(Index)].get();
}

void THashCollection::Clear() {
    // Latest first, as a collection frees its items.
    while (!items_.empty())
        items_.pop_back();
}

void THashCollection::Delete(int Index) {
    Item(Index); // range check
    items_.erase(items_.begin() + Index);
}

THashCollectionItem* THashCollection::AddItem(std::unique_ptr<THashCollectionItem> Item) {
    Item->collection_ = this;
    items_.push_back(std::move(Item));
    return items_.back().get();
}
