#include "platform/core/dynlib.h"

#include "platform/core/files.h"
#include "platform/core/nocase.h"
#include "platform/core/paths.h"

#include <dlfcn.h>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

namespace {

struct TModule {
    void* Dl = nullptr;
    std::shared_ptr<const TSymbolTable> Fake;
    std::string File;
    int Refs = 0;
};

std::mutex g_mutex;
std::map<std::string, std::shared_ptr<const TSymbolTable>> g_fakes; // by FakeKey
std::map<HMODULE, TModule> g_modules;
HMODULE g_nextHandle = 1;
thread_local std::string t_error;

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && SameText(s.substr(s.size() - tail.size()), tail);
}

// Lower case, '/' separators, without ".dll" or ".so".
std::string FakeKey(std::string_view name) {
    std::string key = LowerCase(ToNativePath(name));
    for (std::string_view ext : {".dll", ".so"})
        if (EndsWithNoCase(key, ext)) key.resize(key.size() - ext.size());
    return key;
}

std::shared_ptr<const TSymbolTable> FindFake(std::string_view stored) {
    std::string key = FakeKey(stored);
    std::shared_ptr<const TSymbolTable> best;
    std::size_t bestLen = 0;
    for (const auto& [name, table] : g_fakes) {
        bool tail = key == name || (key.size() > name.size() &&
                                    key.compare(key.size() - name.size(), name.size(), name) == 0 &&
                                    key[key.size() - name.size() - 1] == '/');
        if (tail && name.size() >= bestLen) {
            best = table;
            bestLen = name.size();
        }
    }
    return best;
}

} // namespace

std::string LibraryFileName(std::string_view stored) {
    std::string name = ToNativePath(stored);
    if (EndsWithNoCase(name, ".dll")) name.resize(name.size() - 4);
    if (!EndsWithNoCase(name, ".so")) name += ".so";
    return name;
}

std::string ResolveLibraryPath(std::string_view stored, std::string_view folder) {
    if (stored.empty()) return "";
    std::vector<std::string> candidates{LibraryFileName(stored)};
    std::string asIs = ToNativePath(stored);
    if (asIs != candidates[0]) candidates.push_back(asIs);
    bool absolute = stored.front() == '/' || stored.front() == '\\';
    std::string base = folder.empty() ? ProgramFolder() : std::string(folder);
    for (const auto& name : candidates) {
        if (absolute) {
            std::string found = FindFileNoCase("/", name);
            if (!found.empty()) return found;
        }
        std::string found = FindFileNoCase(base, name);
        if (!found.empty()) return found;
    }
    return "";
}

HMODULE LoadLibrary(std::string_view stored, std::string_view folder) {
    std::lock_guard lock(g_mutex);
    TModule m;
    if (auto fake = FindFake(stored)) {
        m.Fake = std::move(fake);
    } else {
        m.File = ResolveLibraryPath(stored, folder);
        if (m.File.empty()) {
            t_error = "Library not found: " + std::string(stored);
            return 0;
        }
        if (!FileOpenAllowed(m.File)) {
            t_error = "Library not allowed: " + m.File;
            return 0;
        }
        if (m.File.find('/') == std::string::npos) m.File = "./" + m.File;
        m.Dl = ::dlopen(m.File.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!m.Dl) {
            const char* e = ::dlerror();
            t_error = e ? e : "Cannot load " + m.File;
            return 0;
        }
    }
    for (auto& [handle, existing] : g_modules) {
        if ((m.Dl && existing.Dl == m.Dl) || (m.Fake && existing.Fake == m.Fake)) {
            if (m.Dl) ::dlclose(m.Dl); // dlopen counted it too
            ++existing.Refs;
            return handle;
        }
    }
    m.Refs = 1;
    HMODULE h = g_nextHandle++;
    g_modules.emplace(h, std::move(m));
    return h;
}

void* GetProcAddress(HMODULE module, std::string_view symbol) {
    std::lock_guard lock(g_mutex);
    auto it = g_modules.find(module);
    if (it == g_modules.end()) {
        t_error = "Invalid module handle";
        return nullptr;
    }
    void* p = nullptr;
    if (it->second.Fake) {
        auto s = it->second.Fake->find(symbol);
        if (s != it->second.Fake->end()) p = s->second;
    } else {
        ::dlerror();
        p = ::dlsym(it->second.Dl, std::string(symbol).c_str());
    }
    if (!p) t_error = "Entry not found: " + std::string(symbol);
    return p;
}

bool FreeLibrary(HMODULE module) {
    std::lock_guard lock(g_mutex);
    auto it = g_modules.find(module);
    if (it == g_modules.end()) return false;
    if (--it->second.Refs == 0) {
        if (it->second.Dl) ::dlclose(it->second.Dl);
        g_modules.erase(it);
    }
    return true;
}

std::string LibraryError() {
    return t_error;
}

std::string ModuleFileName(HMODULE module) {
    std::lock_guard lock(g_mutex);
    auto it = g_modules.find(module);
    return it == g_modules.end() ? std::string() : it->second.File;
}

void RegisterFakeLibrary(std::string_view name, TSymbolTable symbols) {
    std::lock_guard lock(g_mutex);
    g_fakes[FakeKey(name)] = std::make_shared<const TSymbolTable>(std::move(symbols));
}

void UnregisterFakeLibrary(std::string_view name) {
    std::lock_guard lock(g_mutex);
    g_fakes.erase(FakeKey(name));
}

bool IsFakeLibraryName(std::string_view stored) {
    std::lock_guard lock(g_mutex);
    return g_fakes.find(FakeKey(stored)) != g_fakes.end();
}

bool IsFakeLibrary(HMODULE module) {
    std::lock_guard lock(g_mutex);
    auto it = g_modules.find(module);
    return it != g_modules.end() && it->second.Fake != nullptr;
}

} // namespace platform
