// A fresh folder below the temporary folder for one test, removed with
// everything in it when the test ends.
#pragma once

#include <string>

namespace vptest {

class TempFolder {
public:
    enum Location {
        InTemporaryFolder,  // below the user's temporary folder
        OutsideTemporaryFolder,  // below the user's profile: files the product must treat as the user's own
    };
    explicit TempFolder(Location location = InTemporaryFolder);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    // Full path of a file in the folder.
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Writes bytes to a file in the folder and returns its full path.
    std::wstring Write(const std::wstring& name, const std::string& bytes) const;

private:
    std::wstring path_;
};

// Whole content of a file, or an empty string when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

}  // namespace vptest
