#include "devices/dxsounds.h"

#include "devices/compstream.h"

#include <cstring>
#include <string>
#include <strings.h>

using platform::EReadError;
using platform::TMemoryStream;
using platform::TStream;

namespace {

constexpr std::string_view kCarrierClass = "TWaveCollectionComponent";

bool SameText(std::string_view A, std::string_view B) {
    return A.size() == B.size() && strncasecmp(A.data(), B.data(), A.size()) == 0;
}

[[noreturn]] void UnknownProperty(const std::string& Name) {
    throw EReadError("Property " + Name + " does not exist");
}

// The carrier through which a collection is streamed: one component whose only property,
// List, is the collection.
class TWaveCollectionComponent {
public:
    explicit TWaveCollectionComponent(TWaveCollection& List) : List(List) {}

    void Write(TStream& S) const {
        TCompWriter w(S);
        w.WriteSignature();
        w.WriteStr(kCarrierClass);
        w.WriteStr(""); // no component name
        w.WriteStr("List");
        w.WriteValue(vaCollection);
        for (int i = 0; i < List.Count(); ++i) {
            const TWaveCollectionItem& item = *List.GetItem(i);
            w.WriteListBegin();
            if (!item.Name().empty()) {
                w.WriteStr("Name");
                w.WriteString(item.Name());
            }
            w.WriteStr("Looped");
            w.WriteBoolean(item.Looped);
            w.WriteStr("MaxPlayingCount");
            w.WriteInteger(item.MaxPlayingCount() < 0 ? 0 : item.MaxPlayingCount());
            w.WriteStr("Wave.WAVE");
            TMemoryStream wave;
            item.Wave.SaveToStream(wave);
            w.WriteBinary(wave.View());
            w.WriteListEnd();
        }
        w.WriteListEnd(); // end of the collection
        w.WriteListEnd(); // end of the properties
        w.WriteListEnd(); // end of the children
    }

    void Read(TStream& S) {
        TCompReader r(S);
        r.ReadSignature();
        r.ReadPrefix();
        r.ReadStr(); // the class name: the carrier is given
        r.ReadStr(); // the component name
        while (!r.EndOfList()) {
            std::string name = r.ReadStr();
            if (!SameText(name, "List")) UnknownProperty(name);
            ReadCollection(r);
        }
        r.ReadListEnd();
        // The carrier has no child classes.
        if (!r.EndOfList()) {
            r.ReadPrefix();
            throw EReadError("Class " + r.ReadStr() + " not found");
        }
        r.ReadListEnd();
    }

private:
    void ReadCollection(TCompReader& r) {
        r.CheckValue(vaCollection);
        while (!r.EndOfList()) {
            TValueType v = r.NextValue();
            if (v == vaInt8 || v == vaInt16 || v == vaInt32) r.ReadInteger(); // the order
            TWaveCollectionItem* item = List.Add();
            try {
                r.ReadListBegin();
                while (!r.EndOfList())
                    ReadItemProperty(r, *item);
                r.ReadListEnd();
            } catch (...) {
                List.Delete(List.Count() - 1); // only completed items stay
                throw;
            }
        }
        r.ReadListEnd();
    }

    static void ReadItemProperty(TCompReader& r, TWaveCollectionItem& Item) {
        std::string name = r.ReadStr();
        if (SameText(name, "Name")) {
            Item.SetName(r.ReadString());
        } else if (SameText(name, "Looped")) {
            Item.Looped = r.ReadBoolean();
        } else if (SameText(name, "MaxPlayingCount")) {
            Item.SetMaxPlayingCount(r.ReadInteger());
        } else if (SameText(name, "Wave.WAVE")) {
            TMemoryStream block;
            r.ReadBinary(block);
            Item.Wave.LoadFromStream(block);
        } else {
            UnknownProperty(name);
        }
    }

    TWaveCollection& List;
};

void WriteResHeader(TStream& S, std::uint32_t Length) {
    std::uint8_t h[WaveBankHeaderSize] = {0xFF, 10, 0};
    std::memcpy(h + 3, WaveCollectionResName.data(), WaveCollectionResName.size());
    const std::size_t at = 3 + WaveCollectionResName.size() + 1;
    h[at] = 0x30;
    h[at + 1] = 0x10;
    for (int i = 0; i < 4; ++i)
        h[at + 2 + i] = static_cast<std::uint8_t>(Length >> (8 * i));
    S.WriteBuffer(h, sizeof h);
}

// The name is not compared; reading goes on right after the header.
void ReadResHeader(TStream& S) {
    const std::int64_t start = S.Position();
    char h[80] = {};
    S.Read(h, 79);
    if (static_cast<std::uint8_t>(h[0]) != 0xFF || h[1] != 10 || h[2] != 0)
        throw platform::EInvalidImage(std::string(platform::SInvalidImage));
    S.SetPosition(start + static_cast<std::int64_t>(std::strlen(h + 3)) + 10);
}

} // namespace

TWaveCollectionItem* TWaveCollection::GetItem(int Index) const {
    return static_cast<TWaveCollectionItem*>(Item(Index));
}

TWaveCollectionItem* TWaveCollection::Add() {
    return static_cast<TWaveCollectionItem*>(AddItem(std::make_unique<TWaveCollectionItem>()));
}

void TWaveCollection::LoadFromFile(std::string_view FileName) {
    TMemoryStream m;
    m.LoadFromFile(FileName);
    LoadFromStream(m);
}

void TWaveCollection::LoadFromStream(TStream& Stream) {
    Clear();
    ReadResHeader(Stream);
    TWaveCollectionComponent(*this).Read(Stream);
}

void TWaveCollection::SaveToFile(std::string_view FileName) const {
    TMemoryStream m;
    SaveToStream(m);
    m.SaveToFile(FileName);
}

void TWaveCollection::SaveToStream(TStream& Stream) const {
    const std::int64_t header = Stream.Position();
    WriteResHeader(Stream, 0);
    const std::int64_t start = Stream.Position();
    TWaveCollectionComponent(const_cast<TWaveCollection&>(*this)).Write(Stream);
    const std::int64_t end = Stream.Position();
    Stream.SetPosition(header);
    WriteResHeader(Stream, static_cast<std::uint32_t>(end - start));
    Stream.SetPosition(end);
}
