#pragma once
// Benchmarks keep their settings in a folder of their own, never the user's.

#include <cstdlib>
#include <string>

inline void PrivateSettings() {
    static std::string folder = [] {
        char tmpl[] = "/tmp/tolvern-bench-XXXXXX";
        const char* made = mkdtemp(tmpl);
        return std::string(made ? made : "/tmp");
    }();
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
}
