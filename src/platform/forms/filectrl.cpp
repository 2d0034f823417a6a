#include "platform/forms/filectrl.h"

#include "platform/core/nocase.h"
#include "platform/core/paths.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

// The names in a folder, folders or files, sorted without regard to case; hidden ones left out.
std::vector<std::string> ListFolder(const std::string& dir, bool folders) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code ec2;
        if (it->is_directory(ec2) != folders) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    return names;
}

// A mount point as the mounts file writes it: blanks and backslashes as octal escapes.
std::string Unescape(const std::string& s) {
    std::string r;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1]))) {
            r += char(std::stoi(s.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            r += s[i];
        }
    }
    return r;
}

std::string Normal(const std::string& dir) {
    std::string d = dir.empty() ? "/" : std::filesystem::path(dir).lexically_normal().string();
    if (d.size() > 1 && d.back() == '/') d.pop_back();
    return d;
}

} // namespace

std::vector<std::string> MountPoints(const std::string& mounts) {
    std::vector<std::string> r{"/"};
    std::istringstream in(mounts);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string device, point, type;
        if (!(f >> device >> point >> type)) continue;
        const bool block = device.rfind("/dev/", 0) == 0 && device.rfind("/dev/loop", 0) != 0;
        const bool share = type == "nfs" || type == "nfs4" || type == "cifs" || type == "smb3" ||
                           type == "fuseblk";
        point = Unescape(point);
        if ((block || share) && std::find(r.begin(), r.end(), point) == r.end()) r.push_back(point);
    }
    return r;
}

// ---- TDriveComboBox

TDriveComboBox::TDriveComboBox(TComponent* AOwner) : TComboBox(AOwner) {
    SetStyle(csDropDownList);
    BuildList();
}

void TDriveComboBox::BuildList() {
    std::ifstream f("/proc/self/mounts");
    std::stringstream text;
    text << f.rdbuf();
    Items.BeginUpdate();
    Items.Clear();
    for (const std::string& p : MountPoints(text.str()))
        Items.Add(p);
    Items.EndUpdate();
    SetItemIndex(Items.IndexOf(drive_));
}

void TDriveComboBox::SetDrive(const std::string& v) {
    const int i = Items.IndexOf(v);
    if (i < 0) return;
    drive_ = v;
    SetItemIndex(i);
    if (DirList) DirList->SetDirectory(drive_);
}

void TDriveComboBox::Change() {
    if (GetItemIndex() >= 0 && Items[GetItemIndex()] != drive_) SetDrive(Items[GetItemIndex()]);
    TComboBox::Change();
}

// ---- TDirectoryListBox

TDirectoryListBox::TDirectoryListBox(TComponent* AOwner) : TListBox(AOwner) {
    std::error_code ec;
    directory_ = Normal(std::filesystem::current_path(ec).string());
    BuildList();
}

std::string TDirectoryListBox::GetItemPath(int index) const {
    if (index < 0 || index >= Items.Count()) return {};
    if (index > depth_) return Normal(directory_ + "/" + Items[index]);
    std::filesystem::path p("/");
    for (int i = 1; i <= index; ++i)
        p /= Items[i];
    return Normal(p.string());
}

void TDirectoryListBox::BuildList() {
    Items.BeginUpdate();
    Items.Clear();
    Items.Add("/");
    for (const auto& part : std::filesystem::path(directory_).relative_path())
        if (!part.empty()) Items.Add(part.string());
    depth_ = Items.Count() - 1;
    for (const std::string& name : ListFolder(directory_, true))
        Items.Add(name);
    Items.EndUpdate();
    SetItemIndex(depth_);
}

void TDirectoryListBox::SetDirectory(const std::string& v) {
    const std::string d = Normal(v);
    if (d == directory_) return;
    directory_ = d;
    BuildList();
    if (FileList) FileList->SetDirectory(directory_);
    Fire(OnChange, this);
}

void TDirectoryListBox::Update() {
    BuildList();
    TListBox::Update();
}

void TDirectoryListBox::OpenCurrent() {
    const std::string p = GetItemPath(GetItemIndex());
    if (!p.empty()) SetDirectory(p);
}

LRESULT TDirectoryListBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    HWND h = ExistingHandle();
    const LRESULT r = TListBox::WndProc(msg, w, l);
    // Opened once the list has taken the double click, so that it lands on the old items.
    if (msg == WM_LBUTTONDBLCLK && IsWindow(h)) Guarded([this] { OpenCurrent(); });
    return r;
}

// ---- TFileListBox

TFileListBox::TFileListBox(TComponent* AOwner) : TListBox(AOwner) {
    std::error_code ec;
    directory_ = Normal(std::filesystem::current_path(ec).string());
    Update();
}

void TFileListBox::Update() {
    Items.BeginUpdate();
    Items.Clear();
    for (const std::string& name : ListFolder(directory_, false))
        if (MatchesMask(name, mask_)) Items.Add(name);
    Items.EndUpdate();
    TListBox::Update();
}

void TFileListBox::SetDirectory(const std::string& v) {
    directory_ = Normal(v);
    Update();
}

void TFileListBox::SetMask(const std::string& v) {
    mask_ = v;
    Update();
}

std::string TFileListBox::GetFileName() const {
    const int i = GetItemIndex();
    if (i < 0 || i >= Items.Count()) return {};
    return Normal(directory_ + "/" + Items[i]);
}

void TFileListBox::SetFileName(const std::string& v) {
    const std::filesystem::path p(v);
    if (p.has_parent_path() && Normal(p.parent_path().string()) != directory_)
        SetDirectory(p.parent_path().string());
    SetItemIndex(Items.IndexOf(p.filename().string()));
}

void TFileListBox::BeginDrag(bool immediate) {
    ::platform::BeginDrag(Handle(), immediate);
}

LRESULT TFileListBox::WndProc(UINT msg, WPARAM w, LPARAM l) {
    const LRESULT r = TListBox::WndProc(msg, w, l);
    if (msg == WM_LBUTTONDOWN && DragMode == dmAutomatic && IsWindow(ExistingHandle()) &&
        ItemAtPos({std::int16_t(LOWORD(l)), std::int16_t(HIWORD(l))}, true) >= 0)
        BeginDrag(false);
    return r;
}

} // namespace platform
