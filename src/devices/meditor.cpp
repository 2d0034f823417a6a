#include "devices/meditor.h"

#include "devices/mfx.h"
#include "platform/core/messages.h"
#include "platform/core/paths.h"

#include <algorithm>

TSoftsynths* FxFiles = nullptr;
TSoftsynths* EditorFiles = nullptr;
TEditorEngine* EditorEngine = nullptr;

namespace {

TEditorFormFactory formFactory = nullptr;

// What the audio thread may reach: the editors that asked for blocks, and how many block
// broadcasts run now. The GUI thread replaces the list only after unpublishing the old one and
// seeing no broadcast run.
std::atomic<const std::vector<TMEditor*>*> blockTargets{nullptr};
std::atomic<int> blockUses{0};

void WaitForBlockBroadcasts() {
    if (blockUses.load(std::memory_order_seq_cst) == 0) return;
    platform::WaitWhile([] { return blockUses.load(std::memory_order_seq_cst) != 0; });
}

// A folder under the program folder, found without regard to case.
std::string ProgramSubFolder(std::string_view Name) {
    std::string found = platform::FindInstallFile(Name);
    return found.empty() ? platform::ProgramFolder() + std::string(Name) : found;
}

} // namespace

// ---- folder lists ----

TSoftsynths::TSoftsynths(std::string_view AFolder) : Folder(AFolder) {
    if (!Folder.empty()) Folder = platform::IncludeTrailingPathDelimiter(Folder);
    std::vector<platform::TDirEntry> entries;
    if (Folder.empty() || !platform::ListDirectory(Folder, entries, "*.so")) return;
    for (const platform::TDirEntry& e : entries)
        Files.push_back(Folder + e.Name);
}

void TSoftsynths::GetName(int Index, std::string& Name) const {
    Name.clear();
    if (Index < 0 || Index >= Count()) return;
    const std::string file = platform::ExtractFileName(Files[static_cast<std::size_t>(Index)]);
    Name = platform::ChangeFileExt(file, "");
}

void CreatePluginFileLists() {
    DestroyPluginFileLists();
    FxFiles = new TSoftsynths(ProgramSubFolder("fx"));
    EditorFiles = new TSoftsynths(ProgramSubFolder("editor"));
}

void DestroyPluginFileLists() {
    delete FxFiles;
    FxFiles = nullptr;
    delete EditorFiles;
    EditorFiles = nullptr;
}

// ---- one editor plug-in ----

void SetEditorFormFactory(TEditorFormFactory Factory) {
    formFactory = Factory;
}

TMEditor::TMEditor() = default;

TMEditor::~TMEditor() {
    if (Loaded.load()) {
        Command(ME_DESTROY, 0, 0);
        Loaded.store(false);
        Interface = nullptr;
    }
    if (Dll) platform::FreeLibrary(Dll);
    Dll = 0;
    Form.reset();
}

std::int32_t TMEditor::Command(int Cmd, std::intptr_t A, std::intptr_t B) {
    if (!Loaded.load(std::memory_order_acquire) || !Interface || !Interface->Command) return 0;
    return Interface->Command(Interface, Cmd, A, B);
}

int TMEditor::Capabilities() const {
    return Loaded.load() && Interface ? Interface->Capabilities : 0;
}

void TMEditor::Open(TMeHostCallback HostCallback) {
    if (!platform::FileExists(Path)) return;
    if (Loaded.load()) {
        if (Form && Form->FormVisible())
            Form->BringToFront();
        else if (Form)
            Form->ShowForm();
        return;
    }
    if (!formFactory) return; // no windows to host it
    if (!Dll) {
        Dll = platform::LoadLibrary(Path);
        if (!Dll) return;
    }
    auto connect = reinterpret_cast<TMeConnect>(platform::GetProcAddress(Dll, "MEConnect"));
    if (!connect) {
        platform::FreeLibrary(Dll);
        Dll = 0;
        return;
    }
    Interface = connect();
    if (!Interface) return; // the library stays loaded; the next open asks again
    if (!Form) Form = formFactory(*this);
    if (!Form) return;
    Loaded.store(true, std::memory_order_release);
    // Without a window of the display (offscreen) the plug-in has nothing to build in.
    if (const std::uintptr_t parent = Form->ParentId())
        Command(ME_OPEN, static_cast<std::intptr_t>(parent), reinterpret_cast<std::intptr_t>(&Size));
    else
        NoNativeWindowNotice();
    Command(ME_CALLBACK, reinterpret_cast<std::intptr_t>(HostCallback), 0);
    if (EditorEngine) EditorEngine->PublishBlockTargets();
    // A form without a size the plug-in asked for keeps its own.
    if (Size.Width > 0 && Size.Height > 0) Form->SetClientSize(Size.Width, Size.Height);
    Form->ShowForm();
}

// ---- the engine ----

TEditorEngine::TEditorEngine() = default;

TEditorEngine::~TEditorEngine() {
    Unpublish();
    Editors.clear();
}

TMEditor* TEditorEngine::AddEditor(std::string_view Path) {
    auto e = std::make_unique<TMEditor>();
    e->Path = std::string(Path);
    Editors.push_back(std::move(e));
    return Editors.back().get();
}

void TEditorEngine::Broadcast(int Cmd, std::intptr_t A, std::intptr_t B) {
    int bit = 0;
    switch (Cmd) {
    case ME_PART:
        bit = ME_WANTS_PART;
        break;
    case ME_AUDIO:
        BroadcastEditorBlock(reinterpret_cast<float*>(A), static_cast<int>(B));
        return;
    case ME_TRANSPORT:
        bit = ME_WANTS_TRANSPORT;
        break;
    case ME_TRACK:
        bit = ME_WANTS_TRACK;
        break;
    default:
        return;
    }
    for (auto& e : Editors)
        if (e->Loaded.load() && (e->Capabilities() & bit)) e->Command(Cmd, A, B);
}

void TEditorEngine::PublishBlockTargets() {
    auto* targets = new std::vector<TMEditor*>;
    for (auto& e : Editors)
        if (e->Capabilities() & ME_WANTS_AUDIO) targets->push_back(e.get());
    const std::vector<TMEditor*>* old = published_;
    published_ = targets;
    blockTargets.store(targets, std::memory_order_seq_cst);
    WaitForBlockBroadcasts();
    delete old;
}

void TEditorEngine::Unpublish() {
    if (!published_) return;
    const std::vector<TMEditor*>* expected = published_;
    blockTargets.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst);
    WaitForBlockBroadcasts();
    delete published_;
    published_ = nullptr;
}

void CreateEditorEngine() {
    DestroyEditorEngine();
    EditorEngine = new TEditorEngine;
}

void DestroyEditorEngine() {
    delete EditorEngine;
    EditorEngine = nullptr;
}

void BuildEditorSlots() {
    if (!EditorEngine || !EditorFiles) return;
    for (const std::string& path : EditorFiles->Files)
        EditorEngine->AddEditor(path);
}

void BroadcastEditorBlock(float* Buffer, int Frames) {
    blockUses.fetch_add(1, std::memory_order_seq_cst);
    if (const std::vector<TMEditor*>* targets = blockTargets.load(std::memory_order_seq_cst))
        for (TMEditor* e : *targets)
            if (e->Loaded.load(std::memory_order_acquire) &&
                e->FormVisible.load(std::memory_order_acquire))
                e->Interface->Command(e->Interface, ME_AUDIO, reinterpret_cast<std::intptr_t>(Buffer),
                                      Frames);
    blockUses.fetch_sub(1, std::memory_order_release);
}
