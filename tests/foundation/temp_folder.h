#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

// A fresh folder under the system's temporary folder, removed with all it holds when the
// object goes. path() has no trailing "/".
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vorpelin-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) folder = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return folder; }
    std::string operator/(const std::string& name) const { return folder + "/" + name; }

    // Writes text to the file at name (relative to the folder) and returns its full path.
    std::string write(const std::string& name, const std::string& text) const {
        std::string full = *this / name;
        std::ofstream(full, std::ios::binary) << text;
        return full;
    }

private:
    std::string folder;
};

// One folder for the whole test process, removed at exit. Tests of one binary run as
// parallel processes, so fixed file names must live in a folder of their own.
inline const TempFolder& processTempFolder() {
    static const TempFolder folder;
    return folder;
}

inline std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
