// The diagnostic log (see the header).
#include "common/LogWriter.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/Handle.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const int kOpenAttempts = 10;
const DWORD kRetryDelayMs = 50;
const size_t kMaxPath = 324;

bool LogSettingOn()
{
    RegKey key;
    if (!key.Open(HKEY_CURRENT_USER, SettingsKeyPath(), KEY_QUERY_VALUE)) return false;
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExW(key, L"log", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return false;
    return type == REG_DWORD && size != 0 && value == 1;
}

}  // namespace

std::wstring LogWriter::DefaultPath()
{
    if (!UsesLowIntegrityPaths()) {
        wchar_t module[MAX_PATH] = {};
        DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), module, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return std::wstring();
        std::wstring path = std::wstring(module) + L".log";
        if (path.size() > MAX_PATH) path.resize(MAX_PATH);
        return path;
    }
    std::wstring folder = UserDataFolder();
    if (folder.empty()) return folder;
    folder += L"\\VellumpostToolbar";
    // Only the first writer of the process needs to make sure the folder exists.
    static volatile LONG created = 0;
    if (InterlockedExchange(&created, 1) == 0) CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring path = folder + L"\\VellumpostToolbar.log";
    if (path.size() > kMaxPath) path.resize(kMaxPath);
    return path;
}

LogWriter::LogWriter(const char* category) : prefix_(), enabled_(LogSettingOn())
{
    if (category && *category) {
        // A category too long for the prefix store is cut; the separator stays whole.
        std::snprintf(prefix_, sizeof(prefix_) - 3, "%s", category);
        std::strcat(prefix_, "\t- ");
    }
    if (enabled_) path_ = DefaultPath();
}

void LogWriter::Write(const char* message, const char* extra) const noexcept
try {
    // Without a file (the data folder is unknown) every open would fail and
    // only wait out its retries, on every line.
    if (!enabled_ || path_.empty() || (!message && !extra)) return;

    std::string line = prefix_;
    if (message) line += message;
    if (extra) line += extra;
    line += "\r\n";

    // Write access shared for reading only: another writer waits until this
    // line is complete, so lines of different processes never interleave.
    File file;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (file.Create(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0)) break;
        Sleep(kRetryDelayMs);
    }
    if (!file.IsValid()) return;
    SetFilePointer(file, 0, nullptr, FILE_END);
    file.Write(line.data(), static_cast<DWORD>(line.size()));
} catch (...) {
    // A line that cannot be built (no memory) is dropped: logging never
    // fails its caller, destructors and catch blocks included.
}

void LogWriter::Write(const char* message, const wchar_t* wideExtra) const noexcept
try {
    if (!enabled_ || path_.empty()) return;
    if (!wideExtra) {
        Write(message, static_cast<const char*>(nullptr));
        return;
    }
    int n = WideCharToMultiByte(CP_THREAD_ACP, 0, wideExtra, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(n > 0 ? n : 1, '\0');
    if (n > 0) WideCharToMultiByte(CP_THREAD_ACP, 0, wideExtra, -1, &narrow[0], n, nullptr, nullptr);
    Write(message, narrow.c_str());
} catch (...) {
}

void LogWriter::Format(const char* format, ...) const noexcept
{
    if (!enabled_ || path_.empty() || !format) return;
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    Write(buffer);
}

LogAddress::LogAddress(const void* object)
{
    static const char kDigits[] = "0123456789ABCDEF";
    auto value = reinterpret_cast<UINT_PTR>(object);
    char* out = text_;
    *out++ = '0';
    *out++ = 'x';
    bool started = false;
    for (int shift = static_cast<int>(sizeof(void*) * 8) - 4; shift >= 0; shift -= 4) {
        unsigned digit = static_cast<unsigned>((value >> shift) & 0xF);
        if (digit == 0 && !started && shift != 0) continue;
        started = true;
        *out++ = kDigits[digit];
    }
    *out = '\0';
}
