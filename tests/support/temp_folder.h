#pragma once

// Temporary folders for tests. Tests of one binary run as parallel processes (ctest starts
// one process per test), so a fixed file name must live in a folder of that process alone.

#include <string>

namespace testsupport {

// A fresh folder, removed with all it holds when the object goes. The folder is made under
// `parent` (the system's temporary folder when empty) with a name that starts with `prefix`
// and ends in six random characters. If it cannot be made, path() is empty and the
// constructor has reported a test failure.
class TempFolder {
public:
    explicit TempFolder(const std::string& parent = "", const std::string& prefix = "vorpelin-test-");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's full path, with no trailing "/".
    const std::string& path() const { return folder; }
    // The full path of `name` inside the folder (the file need not exist).
    std::string operator/(const std::string& name) const { return folder + "/" + name; }

    // Writes text to the file at name (relative to the folder), replacing what was there,
    // and returns its full path.
    std::string write(const std::string& name, const std::string& text) const;

private:
    std::string folder;
};

// One folder for the whole test process, made on first use and removed at exit.
const TempFolder& processTempFolder();

// The whole content of the file at path; empty when it does not open.
std::string readWhole(const std::string& path);

}  // namespace testsupport
