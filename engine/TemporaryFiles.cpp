// Temporary-file rules (see the header).
#include "engine/TemporaryFiles.h"

#include <windows.h>

#include <set>
#include <vector>

#include "common/Locks.h"
#include "common/LogWriter.h"
#include "engine/UploadItem.h"

namespace {

// Full path with "." and ".." resolved and no trailing separator; empty on failure.
std::wstring Canonical(const std::wstring& path)
{
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return std::wstring();
    std::vector<wchar_t> buffer(n + 1);
    DWORD got = GetFullPathNameW(path.c_str(), n + 1, buffer.data(), nullptr);
    if (got == 0 || got > n) return std::wstring();
    std::wstring full(buffer.data(), got);
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    for (auto& c : full)
        if (c == L'/') c = L'\\';
    return full;
}

// The files the product wrote and has not deleted yet, as lower-cased
// canonical paths; shared by every upload thread of the process.
struct AdoptedFiles {
    CriticalSection lock;
    std::set<std::wstring> paths;
};

AdoptedFiles& Adopted()
{
    static AdoptedFiles adopted;
    return adopted;
}

// The key a file is recorded under; empty when path is not a temporary file.
std::wstring AdoptionKey(const std::wstring& path)
{
    if (path.empty() || !IsInsideFolder(path, UserTempFolder())) return std::wstring();
    std::wstring key = Canonical(FileUrlToPath(path));
    if (!key.empty()) CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

}  // namespace

std::wstring UserTempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return std::wstring();
    return Canonical(temp);
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder)
{
    std::wstring file = Canonical(FileUrlToPath(path));
    std::wstring root = Canonical(folder);
    if (file.empty() || root.empty() || file.size() <= root.size() + 1) return false;
    if (CompareStringOrdinal(file.c_str(), static_cast<int>(root.size()), root.c_str(),
                             static_cast<int>(root.size()), TRUE) != CSTR_EQUAL)
        return false;
    // The folder must end where a path component ends.
    return file[root.size()] == L'\\' || root.back() == L'\\';
}

bool AdoptTemporaryFile(const std::wstring& path)
{
    const std::wstring key = AdoptionKey(path);
    if (key.empty()) return false;
    AdoptedFiles& adopted = Adopted();
    ScopedLock hold(adopted.lock);
    adopted.paths.insert(key);
    return true;
}

bool IsAdoptedTemporaryFile(const std::wstring& path)
{
    const std::wstring key = AdoptionKey(path);
    if (key.empty()) return false;
    AdoptedFiles& adopted = Adopted();
    ScopedLock hold(adopted.lock);
    return adopted.paths.count(key) != 0;
}

bool RemoveTemporaryFile(const std::wstring& path)
{
    const std::wstring key = AdoptionKey(path);
    if (key.empty()) return false;
    {
        AdoptedFiles& adopted = Adopted();
        ScopedLock hold(adopted.lock);
        if (adopted.paths.erase(key) == 0) return false;
    }
    std::wstring local = FileUrlToPath(path);
    static const LogWriter log("CFileUploadStrategy");
    log.Write("Removing temp file: ", local.c_str());
    return DeleteFileW(local.c_str()) != FALSE;
}
