#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/capture_stdout.h"
#include "tests/support/temp_folder.h"

using testsupport::CaptureStdout;
using testsupport::TempFolder;

// A mail server's base folder in a fresh temporary folder, made the current folder for the
// life of the object (the directory reads every path relative to it).
class BaseFolder {
public:
    BaseFolder() : previous(std::filesystem::current_path()) { std::filesystem::current_path(root.path()); }
    ~BaseFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
    }
    BaseFolder(const BaseFolder&) = delete;
    BaseFolder& operator=(const BaseFolder&) = delete;

    const std::string& path() const { return root.path(); }

    // Writes the file (relative to the base), making its folders.
    void write(const std::string& name, const std::string& text) const {
        std::filesystem::path file(name);
        if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
        std::ofstream(name, std::ios::binary) << text;
    }
    // The same, then stamps it with the given modification time.
    void write(const std::string& name, const std::string& text, std::int64_t mtime) const {
        write(name, text);
        stamp(name, mtime);
    }
    void folder(const std::string& name) const { std::filesystem::create_directories(name); }
    void link(const std::string& target, const std::string& name) const {
        std::filesystem::create_directory_symlink(target, name);
    }
    void remove(const std::string& name) const { std::filesystem::remove_all(name); }
    // Sets the modification time, without following a link.
    static void stamp(const std::string& name, std::int64_t mtime) {
        struct timespec times[2];
        times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(mtime);
        times[0].tv_nsec = times[1].tv_nsec = 0;
        ::utimensat(AT_FDCWD, name.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

    // The main settings with the given "DomainName".
    void mainSettings(const std::string& domainName) const {
        write("Settings/Main.settings", "{DomainName = \"" + domainName + "\"; Other = x;}");
    }

private:
    TempFolder root;
    std::filesystem::path previous;
};
