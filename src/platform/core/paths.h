#pragma once
// The program folder, lookups of installation files without regard to case, path helpers
// for stored paths ("\", "/" and ":" all separate), and folder listings.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ---- program folder ----------------------------------------------------------------------

// Folder of the executable, with a trailing '/'.
std::string ProgramFolder();
// Tests point it at a temporary folder; "" returns to the executable's folder.
void SetProgramFolder(std::string folder);

// Finds `relative` below `folder`, each part matched without regard to case (an exact match
// wins). Parts are separated by '\\', '/' or ':'; ".." is refused. "" when there is none.
std::string FindFileNoCase(std::string_view folder, std::string_view relative);
// The same below the program folder.
std::string FindInstallFile(std::string_view relative);

// ---- path text ---------------------------------------------------------------------------

constexpr bool IsPathDelimiter(char c) {
    return c == '\\' || c == '/' || c == ':';
}
std::string ExtractFileName(std::string_view path); // after the last delimiter
std::string ExtractFilePath(std::string_view path); // up to and with the last delimiter
std::string ExtractFileDir(std::string_view path);  // ExtractFilePath without it
std::string ExtractFileExt(std::string_view path);  // ".ext" of the name, or ""
std::string ChangeFileExt(std::string_view path, std::string_view ext);
std::string IncludeTrailingPathDelimiter(std::string_view path); // adds '/' if needed
std::string ExcludeTrailingPathDelimiter(std::string_view path);
// Stored paths use backslashes; the file system uses '/'.
std::string ToNativePath(std::string_view stored);
std::string ToStoredPath(std::string_view native);

// Wildcards '*' and '?', without regard to case; several masks separated by ';'
// ("*.seq;*.mid"); "*.*" and "" match every name.
bool MatchesMask(std::string_view name, std::string_view mask);

// ---- files and folders (native paths) ----------------------------------------------------

bool FileExists(std::string_view path); // an existing file that is not a folder
bool DirectoryExists(std::string_view path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool ForceDirectories(std::string_view path, std::string* error = nullptr);
bool DeleteFile(std::string_view path, std::string* error = nullptr);
bool RenameFile(std::string_view from, std::string_view to, std::string* error = nullptr);

struct TDirEntry {
    std::string Name;
    std::uint64_t Size = 0;
    bool IsDir = false;
    bool IsLink = false;
    std::int64_t Time = 0; // last modification, seconds since 1970 UTC
};

// The entries of one folder matching `mask` (without "." and ".."), sorted by name without
// regard to case. Links are described by what they point to.
bool ListDirectory(std::string_view folder, std::vector<TDirEntry>& entries,
                   std::string_view mask = "", std::string* error = nullptr);

// Every file below `root` whose name matches `mask`, as full paths, folders in name order.
// Linked folders are followed but each folder is visited once, so link loops end.
std::vector<std::string> FindFilesRecursive(std::string_view root, std::string_view mask = "");

} // namespace platform
