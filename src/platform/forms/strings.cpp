#include "platform/forms/strings.h"

#include "platform/core/nocase.h"

namespace platform {

void TStrings::Check(int i, bool forInsert) const {
    const int last = forInsert ? Count() : Count() - 1;
    if (i < 0 || i > last)
        throw EStringListError("List index out of bounds (" + std::to_string(i) + ")");
}

const std::string& TStrings::Strings(int i) const {
    Check(i);
    return items_[std::size_t(i)].text;
}

TObject* TStrings::Objects(int i) const {
    Check(i);
    return items_[std::size_t(i)].object;
}

void TStrings::Put(int i, const std::string& s) {
    Check(i);
    items_[std::size_t(i)].text = s;
    Changed(Change::Put, i);
}

void TStrings::PutObject(int i, TObject* o) {
    Check(i);
    items_[std::size_t(i)].object = o;
    Changed(Change::Object, i);
}

int TStrings::AddObject(const std::string& s, TObject* o) {
    InsertObject(Count(), s, o);
    return Count() - 1;
}

void TStrings::InsertObject(int i, const std::string& s, TObject* o) {
    Check(i, true);
    items_.insert(items_.begin() + i, Item{s, o});
    Changed(Change::Insert, i);
}

void TStrings::Delete(int i) {
    Check(i);
    items_.erase(items_.begin() + i);
    Changed(Change::Delete, i);
}

void TStrings::Clear() {
    if (items_.empty()) return;
    items_.clear();
    Changed(Change::Reset, -1);
}

void TStrings::Exchange(int a, int b) {
    Check(a);
    Check(b);
    std::swap(items_[std::size_t(a)], items_[std::size_t(b)]);
    BeginUpdate();
    Changed(Change::Put, a);
    Changed(Change::Put, b);
    EndUpdate();
}

void TStrings::Assign(const TStrings& other) {
    if (&other == this) return;
    items_.clear();
    for (const Item& it : other.items_)
        items_.push_back(it);
    Changed(Change::Reset, -1);
}

void TStrings::AddStrings(const TStrings& other) {
    BeginUpdate();
    for (int i = 0; i < other.Count(); ++i)
        AddObject(other.Strings(i), other.Objects(i));
    EndUpdate();
}

int TStrings::IndexOf(std::string_view s) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i].text, s)) return int(i);
    return -1;
}

int TStrings::IndexOfObject(const TObject* o) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].object == o) return int(i);
    return -1;
}

std::string TStrings::GetText() const {
    std::string r;
    for (const Item& it : items_) {
        r += it.text;
        r += "\r\n";
    }
    return r;
}

void TStrings::SetText(std::string_view text) {
    items_.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t e = text.find_first_of("\r\n", i);
        if (e == std::string_view::npos) e = text.size();
        items_.push_back(Item{std::string(text.substr(i, e - i)), nullptr});
        if (e < text.size() && text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n') ++e;
        i = e + 1;
    }
    Changed(Change::Reset, -1);
}

void TStrings::BeginUpdate() {
    ++updating_;
}

void TStrings::EndUpdate() {
    if (updating_ > 0 && --updating_ == 0 && pending_) {
        pending_ = false;
        if (OnListChange) OnListChange(Change::Reset, -1);
        Fire(OnChange, nullptr);
    }
}

void TStrings::Changed(Change c, int index) {
    if (updating_ > 0) {
        pending_ = true;
        return;
    }
    if (OnListChange) OnListChange(c, index);
    Fire(OnChange, nullptr);
}

} // namespace platform
