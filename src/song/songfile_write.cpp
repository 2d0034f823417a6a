#include "devices/dxsounds.h"
#include "devices/mfx.h"
#include "devices/midi.h"
#include "devices/midimsg.h"
#include "devices/sblive.h"
#include "platform/core/dialogs.h"
#include "platform/core/files.h"
#include "platform/core/ini.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"
#include "platform/core/streams.h"
#include "song/automation.h"
#include "song/disk.h"
#include "song/seams.h"
#include "song/sidefile.h"
#include "song/smf.h"
#include "song/softengine.h"
#include "song/song.h"
#include "song/songfile.h"
#include "song/songfile_items.h"
#include "song/subengine.h"
#include "song/todo.h"

#include <climits>
#include <cstring>

// ---- item writers --------------------------------------------------------------------------

void TSongWriter::WriteTag(std::string_view S) {
    if (S.size() > 255) S = S.substr(0, 255);
    char len = static_cast<char>(static_cast<std::uint8_t>(S.size()));
    out_.Write(&len, 1);
    out_.Write(S);
}

void TSongWriter::WriteInt32BE(std::int32_t N) {
    std::uint32_t u = static_cast<std::uint32_t>(N);
    const char b[4] = {static_cast<char>(u >> 24), static_cast<char>(u >> 16),
                       static_cast<char>(u >> 8), static_cast<char>(u)};
    out_.Write(b, 4);
}

void TSongWriter::WriteDouble(double D) {
    char b[8];
    std::memcpy(b, &D, 8); // the machine's own order, little-endian on every target we build
    out_.Write(b, 8);
}

namespace {

bool IsValueEvent(const _TEvent& E) {
    return MidiData1(E.Msg) == 1;
}

} // namespace

std::int64_t EventRecordSize(const _TEvent& E) {
    if (MidiStatus(E.Msg) != msSysex) return 8;
    if (IsValueEvent(E)) return 16;
    return 12 + (EventBlock(E) ? E.DataLen : 0);
}

void TSongWriter::WriteEventRecord(const _TEvent& E) {
    WriteInt32BE(E.Delta);
    WriteInt32BE(static_cast<std::int32_t>(E.Msg));
    if (MidiStatus(E.Msg) != msSysex) return;
    if (IsValueEvent(E)) {
        WriteInt32BE(4);
        WriteInt32BE(static_cast<std::int32_t>(EventValue(E)));
        return;
    }
    // Data 1 = 0, and any other data 1 as well: the reader takes those as blocks too.
    const std::uint8_t* block = EventBlock(E);
    int len = block ? E.DataLen : 0;
    WriteInt32BE(len);
    if (len > 0) out_.Write(block, static_cast<std::size_t>(len));
}

void TSongWriter::Marker(std::string_view Tag) {
    WriteTag(Tag);
    WriteInt32BE(0);
}

void TSongWriter::Int(std::string_view Tag, std::int32_t N) {
    WriteTag(Tag);
    WriteInt32BE(4);
    WriteInt32BE(N);
}

void TSongWriter::Flag(std::string_view Tag, bool B) {
    Int(Tag, B ? 1 : 0);
}

void TSongWriter::Double(std::string_view Tag, double D) {
    WriteTag(Tag);
    WriteInt32BE(8);
    WriteDouble(D);
}

void TSongWriter::String(std::string_view Tag, std::string_view S) {
    std::string_view head = S.size() > 255 ? S.substr(0, 255) : S;
    WriteTag(Tag);
    WriteInt32BE(static_cast<std::int32_t>(head.size() + 1));
    WriteTag(head);
    if (head.size() == S.size()) return;
    WriteTag(LongStringTag);
    WriteInt32BE(static_cast<std::int32_t>(S.size()));
    out_.Write(S);
}

void TSongWriter::Events(std::string_view Tag, const _TPart& Part) {
    // The records' size is known beforehand, so it is written in place, not patched.
    std::int64_t size = 0;
    for (const _TEvent* e = Part.Events; e; e = e->Next)
        size += EventRecordSize(*e);
    WriteTag(Tag);
    WriteInt32BE(size > INT_MAX ? INT_MAX : static_cast<std::int32_t>(size));
    for (const _TEvent* e = Part.Events; e; e = e->Next)
        WriteEventRecord(*e);
}

void TSongWriter::Doubles(std::string_view Tag, const std::vector<double>& Values) {
    WriteTag(Tag);
    WriteInt32BE(static_cast<std::int32_t>(Values.size() * 8));
    for (double d : Values)
        WriteDouble(d);
}

void TSongWriter::Block(std::string_view Tag, const void* Data, std::size_t Size) {
    WriteTag(Tag);
    WriteInt32BE(static_cast<std::int32_t>(Size));
    if (Size) out_.Write(Data, Size);
}

// ---- plug-in records -------------------------------------------------------------------------

std::string StoredPluginName(std::string_view Path, bool Effect) {
    std::string folder;
    if (Song) {
        if (Effect)
            Song->FxFolder(folder);
        else
            Song->SynthFolder(folder);
    }
    std::string name = platform::ToStoredPath(Path);
    name.resize(name.size() - platform::ExtractFileExt(name).size());
    folder = platform::ToStoredPath(folder);
    if (!folder.empty() && name.size() > folder.size() &&
        platform::SameText(std::string_view(name).substr(0, folder.size()), folder))
        name.erase(0, folder.size());
    return name;
}

namespace {

std::vector<double> PluginParameters(TMFX& Plugin) {
    std::vector<double> values(static_cast<std::size_t>(Plugin.NumParams()));
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = Plugin.GetParameter(static_cast<int>(i));
    return values;
}

// The state of an own-interface plug-in, or of a loaded VST plug-in that keeps its programs as
// chunks; nothing for any other.
void WritePluginState(TSongWriter& W, std::string_view Tag, TMFX& Plugin) {
    if (!Plugin.Loaded) return;
    void* data = nullptr;
    std::intptr_t size = 0;
    if (Plugin.Kind == 0)
        size = Plugin.Command(MFX_STATE, -1, reinterpret_cast<std::intptr_t>(&data));
    else if (Plugin.Effect && (Plugin.Effect->flags & effFlagsProgramChunks))
        size = Plugin.Dispatch(effGetChunk, 0, 0, &data);
    if (size <= 0 || !data || size > INT_MAX) return;
    W.Block(Tag, data, static_cast<std::size_t>(size));
}

void WriteSlot(TSongWriter& W, const std::string& Family, const TSoftOut& Slot);

} // namespace

void WriteSubRecords(TSongWriter& W, const TSub& Bus) {
    TMFX& plug = *Bus.Plugin;
    W.Marker("Sub");
    W.Int("SubStyle", Bus.Kind);
    W.String("SubName", StoredPluginName(plug.Path, true));
    std::vector<double> params = PluginParameters(plug);
    W.Int("SubNumParams", static_cast<std::int32_t>(params.size()));
    W.Doubles("SubParams", params);
    if (plug.Kind == 0) WritePluginState(W, "SubData", plug); // a VST bus keeps parameters only
    W.Int("SubOutput", Bus.Output);
    W.Int("SubDock", Bus.Docked);
    W.Int("SubEditor", Bus.EditorShown);
    if (Bus.HasPlugin()) W.Int("SubActive", plug.Enabled);
    if (Bus.Kind == skGroupVolume) W.Double("SubVolume", Bus.Volume);
    if (Bus.Channel) W.Int("SubShow", Bus.Channel->Show);
}

void WriteSoftsynthRecords(TSongWriter& W, TSoftItem& Item) {
    TMFX& plug = *Item.Plugin;
    W.Marker("Softsynth");
    W.String("SoftsynthName", StoredPluginName(plug.Path, false));
    if (plug.Kind == 1)
        W.Int("SoftsynthVSTProgram", static_cast<std::int32_t>(plug.Dispatch(effGetProgram)));
    W.Int("SoftsynthShow", Item.Channel ? Item.Channel->Show : 0);
    TEditorPlacement place = SoftsynthWindows().Placement(Item);
    if (place.Visible) W.Int("SoftsynthVisible", 1);
    W.Int("SoftsynthLeft", place.Left);
    W.Int("SoftsynthTop", place.Top);
    if (place.RolledUp) W.Int("SoftsynthMinimized", 1);
    W.Int("SoftsynthWidth", place.Width);
    W.Int("SoftsynthHeight", place.Height);
    std::vector<double> params = PluginParameters(plug);
    W.Int("SoftsynthNumParams", static_cast<std::int32_t>(params.size()));
    W.Doubles("SoftsynthParams", params);
    WritePluginState(W, "SoftsynthData", plug);
    W.Int("SoftsynthOutputCount", Item.OutputCount);
    for (int i = 0; i < Item.OutputCount; ++i)
        WriteSlot(W, "SoftsynthOutput", Item.Outputs[static_cast<std::size_t>(i)]);
}

// ---- the song --------------------------------------------------------------------------------

namespace {

TSongFileHost headlessHost;
TSongFileHost* host = &headlessHost;

int StoredMode(int Mode) {
    return Mode >= 1 && Mode <= 4 ? Mode : 0;
}

void WriteSlot(TSongWriter& W, const std::string& Family, const TSoftOut& Slot) {
    W.Marker(Family);
    W.Int(Family + "Active", Slot.Active);
    W.Double(Family + "Volume", Slot.Volume);
    W.Double(Family + "Pan", Slot.Pan);
    W.Int(Family + "Bus", Slot.Bus);
    W.Int(Family + "Mute", Slot.Mute);
    W.Int(Family + "Solo", Slot.Solo);
    const std::size_t sends = SubEngine ? SubEngine->SendBuses.size() : 0;
    for (std::size_t j = 0; j < sends && j < static_cast<std::size_t>(SendCount); ++j)
        W.Double(Family + "Send", Slot.Sends[j]);
    for (const TSub* bus : Slot.Inserts)
        WriteSubRecords(W, *bus);
}

// Slots 0 up to the first that is not active.
void WriteActiveSlots(TSongWriter& W, const std::string& Family, const TSoftOuts& Slots) {
    for (const TSoftOut& slot : Slots) {
        if (slot.Active != 1) break;
        WriteSlot(W, Family, slot);
    }
}

void WriteSamples(TSongWriter& W, const _TTrack& T) {
    for (const auto& sp : T.Samples) {
        const TSample& s = *sp;
        W.Marker("Sample");
        W.Int("SampleIndex", s.Index);
        W.Double("SampleVolume2", s.Volume);
        W.Int("SamplePan", s.Pan);
        W.Flag("SampleMute", s.Mute);
        W.Flag("SampleFR", s.FR);
        W.Int("SampleBus", s.Bus);
    }
    if (!T.Samples.empty()) WriteActiveSlots(W, "TrackBus", T.Outputs);
}

void WriteAutomation(TSongWriter& W, const _TTrack& T) {
    for (const TAutoPlug* entry : T.AutoPlugs) {
        TPlugId id; // zeroed: the index a code does not use is written as 0
        if (!SubEngine || !SubEngine->MakePlugId(entry->Plugin, id)) continue;
        W.Marker("AutoFX");
        W.String("AutoFXId", id.Code);
        W.Int("AutoFXInd1", id.Ind1);
        W.Int("AutoFXInd2", id.Ind2);
        W.Int("AutoFXInd3", id.Ind3);
        for (int i = 0; i < entry->ParamCount && i < MaxAutoParams; ++i) {
            W.Int("AutoFXParam", entry->Params[static_cast<std::size_t>(i)].Param);
            W.Int("AutoFXParamRamp", entry->Params[static_cast<std::size_t>(i)].Kind);
        }
    }
}

// A file beside the song, put in place only after it; one that cannot be written ends the save
// before anything is replaced.
void WriteBeside(TSideFiles& Side, std::string_view Path, std::string_view Ext,
                 std::string_view Bytes) {
    if (!Side.Write(SideFilePath(Path, Ext), Bytes)) throw platform::EFCreateError(Side.Error());
}

void WriteSamplePool(TSongWriter& W, std::string_view Path, TSideFiles& Side) {
    if (!Song->SamplePool || Song->SamplePool->Items.Count() == 0) return;
    W.Marker("SampleDXG");
    platform::TMemoryStream bank;
    Song->SamplePool->Items.SaveToStream(bank);
    WriteBeside(Side, Path, ".dxg", bank.View());
}

void WriteSongRecords(TSongWriter& W, std::string_view Path, TSideFiles& Side) {
    for (const TDiskSample* d : Song->DiskSamples) {
        W.String("DiskFileName", d->FileName);
        W.Int("DiskInternal", d->Internal);
    }
    WriteActiveSlots(W, "DiskOutput", Song->DiskOutputs);
    for (const TSongArea& a : host->Areas()) {
        W.Marker("Area");
        W.String("AreaName", a.Name);
        W.Int("AreaLeft", a.Left);
        W.Int("AreaRight", a.Right);
    }
    TMidiEditorsSeam& editors = MidiEditors();
    if (AweAvailable) {
        W.Int("AWEReverb", editors.AweListIndex(aweReverb));
        W.Int("AWEChorus", editors.AweListIndex(aweChorus));
        W.Int("AWEBass", editors.AweListIndex(aweBass));
        W.Int("AWETreble", editors.AweListIndex(aweTreble));
    }
    W.Marker("MIDIFaders");
    for (int controller : editors.FaderControllers())
        W.Int("MIDIFader", controller);
    WriteSamplePool(W, Path, Side);
    if (SubEngine) {
        for (const TSub* bus : SubEngine->Buses)
            WriteSubRecords(W, *bus);
        for (const TSub* bus : SubEngine->MasterBuses)
            WriteSubRecords(W, *bus);
    }
    if (SoftEngine)
        for (TSoftItem* item : SoftEngine->Items)
            WriteSoftsynthRecords(W, *item);
    W.Double("MasterOutputVolume", Song->MasterOut.Volume);
    W.Int("MasterOutputShow", Song->MasterChannel ? Song->MasterChannel->Show : 0);
}

void WriteTrack(TSongWriter& W, const _TTrack& T) {
    W.Marker("Track");
    W.String("TrackName", T.Name);
    W.Int("TrackCh", T.Channel);
    W.Int("TrackOutput", T.Output);
    W.Int("TrackMode", StoredMode(T.Mode));
    W.Int("TrackBank", T.Bank);
    W.Int("TrackProgram", T.Program);
    W.Int("TrackVolume", T.Volume);
    W.Int("TrackPan", T.Pan);
    W.Int("TrackReverb", T.Reverb);
    W.Int("TrackChorus", T.Chorus);
    W.Int("TrackTranspose", T.Transpose);
    W.Flag("TrackMute", T.Mute != 0);
    W.Int("TrackLayout", T.Layout);
    W.Int("TrackOffset", T.Offset);
    if (T.Layout & 4096) W.String("TrackUserFile", T.UserFile);
    for (const _TPart* p = T.Parts; p; p = p->Next) {
        W.Marker("Part");
        W.String("PartName", p->Name);
        W.Int("PartStyle", static_cast<std::int32_t>(p->Flags));
        W.Int("PartStart", p->Start);
        W.Int("PartLength", p->Length);
        if (T.Mode == tmDisk) W.Int("PartSample", p->Sample);
        W.Marker("PartEnd");
        int count = 0;
        for (const _TEvent* e = p->Events; e; e = e->Next)
            ++count;
        W.Int("PartNumEvents", count);
        W.Events("PartEvents", *p);
    }
    if (T.Mode == tmAudio) WriteSamples(W, T);
    if (T.Mode == tmParameter) WriteAutomation(W, T);
}

// Path: where the song file goes; the files beside it are named after it.
void WriteSong(TSongWriter& W, std::string_view Name, std::string_view Path, TSideFiles& Side) {
    W.WriteTag(SongFileMagic);
    W.String("SeqName", Name);
    W.Int("SeqTempo", Midi ? Midi->GetTempo() : 120);
    W.Int("SeqBeatsInBar", Song->BeatsPerBar);
    W.Int("SeqLeft", Song->LeftLocator);
    W.Int("SeqRight", Song->RightLocator);
    W.Int("SeqPos", Song->Position);
    for (const std::string& line : host->TempoLines())
        W.Int("SeqTempoItem", platform::StrToIntDef(line, 120));
    for (int i = 0; i < TrackCount; ++i)
        WriteTrack(W, *Song->Tracks[i]);
    WriteSongRecords(W, Path, Side);
    // Last: the SoundFont banks, listed in a file beside the song.
    if (SBLive && SBLive->Available && SBLive->AutoOpenSave) {
        W.Marker("SFBank");
        WriteBeside(Side, Path, ".sfs", BankListText(*SBLive));
    }
}

} // namespace

TSongFileHost& SongFileHost() {
    return *host;
}

void SetSongFileHost(TSongFileHost* Host) {
    host = Host ? Host : &headlessHost;
}

void TSongFileHost::ClearSamplePool() {
    if (Song && Song->SamplePool) Song->SamplePool->Items.Clear();
}

int TSongFileHost::TodoCount() {
    return Song && Song->Todos ? Song->Todos->Count() : 0;
}

bool TSongFileHost::AudioRunning() {
    return Song && Song->Todos && Song->Todos->AudioConsumes();
}

void TSongFileHost::RunTodos() {
    if (!Song || !Song->Todos) return;
    Song->RunTodos();
    Song->FinishDiskPurge();
}

void TSongFileHost::AddTodo(int Kind) {
    if (Song && Song->Todos) Song->AddTodo(Kind, -1, nullptr, nullptr);
}

std::string SongFileTarget(std::string_view FileName) {
    std::string folder = platform::ExtractFilePath(FileName);
    std::string name = platform::ExtractFileName(FileName);
    if (std::size_t mid = name.find(".mid"); mid != std::string::npos) name.erase(mid);
    if (name.find(".seq") == std::string::npos) name += ".seq";
    return folder + name;
}

bool SaveSongFile(std::string_view FileName) {
    if (int todos = host->TodoCount(); todos > 0) {
        if (!host->AudioRunning())
            host->RunTodos();
        else
            platform::MessageBox(std::to_string(todos) + " actions left in queue", "Warning",
                                 platform::MB_OK | platform::MB_ICONWARNING);
    }
    std::string path = SongFileTarget(FileName);
    std::string folder = platform::ExtractFilePath(path);
    std::string name = platform::ExtractFileName(path);

    // The song takes its new name only once the file is complete.
    platform::TAtomicFile file(path);
    TSideFiles side; // put in place only after the song
    std::string error;
    bool ok = file.Open();
    if (ok) {
        try {
            TSongWriter writer(file.Stream());
            WriteSong(writer, name, path, side);
            ok = file.Commit();
        } catch (const std::exception& e) { // a file beside the song could not be written
            ok = false;
            error = e.what();
            file.Discard();
        }
    }
    if (!ok) {
        platform::MessageBox((error.empty() ? file.Error() : error) + "\nThe song was not saved.",
                             "Save song", platform::MB_OK | platform::MB_ICONERROR);
        return false;
    }
    // The song is in place: a file beside it that is not (its rename failed) leaves the song
    // unsaved in part, which the user is told, and it stays marked as changed.
    std::vector<std::string> besides = side.Commit();
    for (const std::string& e : besides)
        platform::MessageBox(e + "\nThe song was saved, but not this file beside it.", "Save song",
                             platform::MB_OK | platform::MB_ICONERROR);

    Song->Folder = folder;
    Song->FileName = name;
    Song->Modified = besides.empty() ? 0 : 1;
    Song->Untitled = 0;
    Song->IsMidiFile = 0;
    host->SetArrangeCaption(name);
    platform::TIniFile("tolvern.ini").WriteString("Autoload", "Song", folder + name);
    host->AddRecentFile(folder + name);
    host->AddTodo(2); // purge the disk samples no part uses
    SongEngines().BeginUndo(*Song, 0, "Undo");
    return besides.empty();
}

bool SaveSong() {
    if (Song->Untitled) return host->SaveAs();
    std::string path = Song->Folder + Song->FileName;
    return Song->IsMidiFile ? WriteSmfFile(path) : SaveSongFile(path);
}
