#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// The run's temporary directory, made on first use with `prefix` in its name and removed at exit.
inline const std::filesystem::path &benchRoot(const char *prefix)
{
    static struct Cleanup {
        std::filesystem::path root;
        ~Cleanup()
        {
            if (!root.empty())
                std::filesystem::remove_all(root);
        }
    } cleanup;
    if (cleanup.root.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        cleanup.root = pattern;
    }
    return cleanup.root;
}
