#pragma once
// The file controls: a drive list (on Linux "/" and the mount points of real file systems)
// that drives a folder list, which drives a file list showing the files that match its masks
// ("*.seq;*.mid"). A double click in the folder list opens that folder; the file list can be
// the source of a drag (its FileName is what is dragged).

#include "platform/forms/combobox.h"
#include "platform/forms/listbox.h"

#include <string>
#include <vector>

namespace platform {

class TDirectoryListBox;
class TFileListBox;

// "/" first, then the mount points of block devices and network shares, as /proc/self/mounts
// lists them (mounts: that file's text).
std::vector<std::string> MountPoints(const std::string& mounts);

class TDriveComboBox : public TComboBox {
public:
    explicit TDriveComboBox(TComponent* AOwner);
    std::string_view ClassName() const override { return "TDriveComboBox"; }

    // The chosen drive's root; setting it moves the linked folder list there.
    const std::string& GetDrive() const { return drive_; }
    void SetDrive(const std::string& v);
    TProperty<TDriveComboBox, std::string, &TDriveComboBox::GetDrive, &TDriveComboBox::SetDrive>
        Drive{this};
    TDirectoryListBox* DirList = nullptr;
    // Reads the drives again.
    void BuildList();

protected:
    void Change() override;

private:
    std::string drive_ = "/";
};

class TDirectoryListBox : public TListBox {
public:
    explicit TDirectoryListBox(TComponent* AOwner);
    std::string_view ClassName() const override { return "TDirectoryListBox"; }

    // The open folder (a native path); the list shows its ancestors, itself and its
    // subfolders. Setting it raises OnChange and moves the linked file list there.
    const std::string& GetDirectory() const { return directory_; }
    void SetDirectory(const std::string& v);
    TProperty<TDirectoryListBox, std::string, &TDirectoryListBox::GetDirectory,
              &TDirectoryListBox::SetDirectory>
        Directory{this};
    TFileListBox* FileList = nullptr;
    // The folder of an item.
    std::string GetItemPath(int index) const;
    // Opens the chosen item's folder (a double click).
    void OpenCurrent();
    // Reads the folder again.
    void Update() override;

    TNotifyEvent OnChange;

protected:
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    void BuildList();
    std::string directory_;
    int depth_ = 0; // the open folder's item
};

enum TDragMode { dmManual, dmAutomatic };

class TFileListBox : public TListBox {
public:
    explicit TFileListBox(TComponent* AOwner);
    std::string_view ClassName() const override { return "TFileListBox"; }

    const std::string& GetDirectory() const { return directory_; }
    void SetDirectory(const std::string& v);
    TProperty<TFileListBox, std::string, &TFileListBox::GetDirectory,
              &TFileListBox::SetDirectory>
        Directory{this};
    // Masks joined with ";".
    const std::string& GetMask() const { return mask_; }
    void SetMask(const std::string& v);
    TProperty<TFileListBox, std::string, &TFileListBox::GetMask, &TFileListBox::SetMask> Mask{
        this};
    // The chosen file's full path, "" when none; setting it chooses that file.
    std::string GetFileName() const;
    void SetFileName(const std::string& v);
    TProperty<TFileListBox, std::string, &TFileListBox::GetFileName, &TFileListBox::SetFileName>
        FileName{this};
    // Reads the folder again.
    void Update() override;

    // dmAutomatic: a press on a file starts a drag once the pointer moves.
    TDragMode DragMode = dmManual;
    void BeginDrag(bool immediate);

protected:
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    std::string directory_;
    std::string mask_ = "*.*";
};

} // namespace platform
