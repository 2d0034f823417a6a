#pragma once
// Dynamic libraries. Stored names keep the program's form ("fx\Reverb.dll", "synth\organ"):
// each part is matched without regard to case below the folder looked in, and the library
// is the ".so" of the name, with or without ".dll". Tests install fake libraries (a table
// of symbols) under a name; loading finds those before the file system.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace platform {

using HMODULE = std::intptr_t; // 0: none

// The file name a stored library name stands for: separators become '/', a trailing ".dll"
// (any case) becomes ".so", and a name without ".so" gets it. "sub\Name.DLL" -> "sub/Name.so"
std::string LibraryFileName(std::string_view stored);
// The library file for `stored` below `folder` (the program folder when empty); an absolute
// name is looked up from the root. "" when there is none.
std::string ResolveLibraryPath(std::string_view stored, std::string_view folder = {});

// Loads a library (counting repeated loads of the same one); 0 and LibraryError() on failure.
HMODULE LoadLibrary(std::string_view stored, std::string_view folder = {});
void* GetProcAddress(HMODULE module, std::string_view symbol); // nullptr when missing
bool FreeLibrary(HMODULE module);
// Why the calling thread's last LoadLibrary or GetProcAddress failed.
std::string LibraryError();
// The file a module was loaded from ("" for a fake).
std::string ModuleFileName(HMODULE module);

// Fake libraries for tests. `name` is matched like a stored name, by its tail: "reverb"
// stands for any ".../reverb(.dll|.so)", "fx\reverb" only for one in an "fx" folder.
using TSymbolTable = std::map<std::string, void*, std::less<>>;
void RegisterFakeLibrary(std::string_view name, TSymbolTable symbols);
void UnregisterFakeLibrary(std::string_view name);
bool IsFakeLibrary(HMODULE module);
// A fake registered under exactly this name (a bare "recvst" or "recvst.so", not a path that
// ends in it): it stands for a library file of that name that exists.
bool IsFakeLibraryName(std::string_view stored);

} // namespace platform
