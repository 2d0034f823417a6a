#pragma once
// The string list of the controls' items and lines: strings with an object each. A control
// that shows a list watches its strings and follows every change.

#include "platform/forms/controls.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class TStrings {
public:
    TStrings() = default;
    virtual ~TStrings() = default;
    TStrings(const TStrings&) = delete;
    TStrings& operator=(const TStrings&) = delete;

    int Count() const { return int(items_.size()); }
    // Out-of-range indexes raise EStringListError.
    const std::string& Strings(int i) const;
    const std::string& operator[](int i) const { return Strings(i); }
    void Put(int i, const std::string& s);
    TObject* Objects(int i) const;
    void PutObject(int i, TObject* o);

    int Add(const std::string& s) { return AddObject(s, nullptr); }
    int AddObject(const std::string& s, TObject* o);
    void Insert(int i, const std::string& s) { InsertObject(i, s, nullptr); }
    void InsertObject(int i, const std::string& s, TObject* o);
    void Delete(int i);
    void Clear();
    void Exchange(int a, int b);
    void Assign(const TStrings& other);
    void AddStrings(const TStrings& other);
    // Case-insensitive, as the framework's lists compare; -1 when none.
    int IndexOf(std::string_view s) const;
    int IndexOfObject(const TObject* o) const;

    // The lines joined with CR LF after each; setting splits at CR LF, LF or CR.
    std::string GetText() const;
    void SetText(std::string_view text);

    // Changes between BeginUpdate and the matching EndUpdate are reported once, at the end.
    void BeginUpdate();
    void EndUpdate();

    // What changed, for the control that shows the list. Index -1: everything.
    enum class Change { Insert, Delete, Put, Object, Reset };
    std::function<void(Change change, int index)> OnListChange;
    // Raised after any change (also for a whole batch), for the program.
    TNotifyEvent OnChange;

private:
    void Changed(Change c, int index);
    void Check(int i, bool forInsert = false) const;

    struct Item {
        std::string text;
        TObject* object = nullptr;
    };
    std::vector<Item> items_;
    int updating_ = 0;
    bool pending_ = false;
};

// Carries a change of a string list over to a view of it, through the view's own insert,
// remove, set and clear operations (index, text).
template <class Insert, class Remove, class Set, class ClearAll>
void MirrorListChange(const TStrings& s, TStrings::Change change, int index, Insert insert,
                      Remove remove, Set set, ClearAll clear) {
    switch (change) {
    case TStrings::Change::Insert:
        insert(index, s[index]);
        break;
    case TStrings::Change::Delete:
        remove(index);
        break;
    case TStrings::Change::Put:
        set(index, s[index]);
        break;
    case TStrings::Change::Object:
        break;
    case TStrings::Change::Reset:
        clear();
        for (int i = 0; i < s.Count(); ++i)
            insert(i, s[i]);
        break;
    }
}

// Raised by an index outside the list.
class EStringListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

} // namespace platform
