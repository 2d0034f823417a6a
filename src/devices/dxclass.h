#pragma once
// An ordered collection of named items whose positions are dense: removing an item moves every
// later one down by one. Items are owned by their collection.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class THashCollection;

class THashCollectionItem {
public:
    virtual ~THashCollectionItem() = default;
    const std::string& Name() const { return name_; }
    void SetName(std::string_view Value);
    THashCollection* Collection() const { return collection_; }
    // Position in the collection, -1 when in none.
    int Index() const;

private:
    friend class THashCollection;
    std::string name_;
    THashCollection* collection_ = nullptr;
};

class THashCollection {
public:
    THashCollection() = default;
    virtual ~THashCollection();
    THashCollection(const THashCollection&) = delete;
    THashCollection& operator=(const THashCollection&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // The item at Index; EListError "List index out of bounds (Index)" outside 0..Count-1.
    THashCollectionItem* Item(int Index) const;
    // Frees every item.
    void Clear();
    // Frees the item at Index; later items move down.
    void Delete(int Index);

protected:
    THashCollectionItem* AddItem(std::unique_ptr<THashCollectionItem> Item);

private:
    friend class THashCollectionItem;
    std::vector<std::unique_ptr<THashCollectionItem>> items_;
};
