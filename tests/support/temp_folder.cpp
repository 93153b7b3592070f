#include "tests/support/temp_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace testsupport {

TempFolder::TempFolder(const std::string& parent, const std::string& prefix) {
    std::error_code error;
    std::filesystem::path base = parent.empty() ? std::filesystem::temp_directory_path(error) : std::filesystem::path(parent);
    std::string pattern = (base / (prefix + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        folder = pattern;
    } else {
        ADD_FAILURE() << "cannot make a temporary folder " << pattern;
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
}

std::string TempFolder::write(const std::string& name, const std::string& text) const {
    std::string full = *this / name;
    std::ofstream(full, std::ios::binary | std::ios::trunc) << text;
    return full;
}

const TempFolder& processTempFolder() {
    static const TempFolder folder;
    return folder;
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
