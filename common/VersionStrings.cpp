// Version texts (see the header).
#include "common/VersionStrings.h"

#include <cstdio>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

struct Texts {
    std::wstring productVersion;
    std::wstring versionCookie;
    std::wstring productName = L"Vellumpost Toolbar";
    std::wstring userAgent = L"Vellumpost Toolbar";
};

Texts& State()
{
    static Texts texts;
    return texts;
}

std::wstring Printf(const wchar_t* format, ...)
{
    wchar_t buffer[256];
    va_list args;
    va_start(args, format);
    int n = vswprintf(buffer, 256, format, args);
    va_end(args);
    return n < 0 ? std::wstring() : std::wstring(buffer);
}

}  // namespace

VersionNumbers VersionStrings::FromFixedInfo(DWORD ms, DWORD ls)
{
    // Minor and revision keep only their low 8 bits.
    VersionNumbers v;
    v.major = HIWORD(ms);
    v.minor = LOWORD(ms) & 0xFF;
    v.build = HIWORD(ls);
    v.revision = LOWORD(ls) & 0xFF;
    return v;
}

std::wstring VersionStrings::FormatUserAgent(const VersionNumbers& v, const OsVersion* os)
{
    if (!os) return Printf(L"Vellumpost Toolbar %i.%i.%i", v.major, v.minor, v.build);
    return Printf(L"Vellumpost Toolbar %i.%i.%i (%ls %i.%i %ls)", v.major, v.minor, v.build,
                  os->nt ? L"WinNT" : L"Windows", static_cast<int>(os->major), static_cast<int>(os->minor),
                  os->servicePack.c_str());
}

void VersionStrings::Initialize(HMODULE module)
{
    try {
        Texts& texts = State();
        texts.productVersion.clear();
        texts.versionCookie.clear();
        if (!module) module = reinterpret_cast<HMODULE>(&__ImageBase);

        wchar_t path[MAX_PATH] = {};
        DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return;
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeW(path, &handle);
        if (size == 0) return;
        std::vector<BYTE> block(size);
        if (!GetFileVersionInfoW(path, 0, size, block.data())) return;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
            length < sizeof(VS_FIXEDFILEINFO))
            return;

        VersionNumbers v = FromFixedInfo(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        texts.productVersion = Printf(L"%i.%i.%i.%i", v.major, v.minor, v.build, v.revision);
        texts.versionCookie = Printf(L"IEVellumpostToolbar-%i.%i.%i.%i", v.major, v.minor, v.build, v.revision);
        texts.productName = Printf(L"Vellumpost Toolbar %i.%i.%i", v.major, v.minor, v.build);

        OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        BOOL haveOs = GetVersionExW(&info);
#pragma GCC diagnostic pop
        if (haveOs) {
            OsVersion os;
            os.nt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
            os.major = info.dwMajorVersion;
            os.minor = info.dwMinorVersion;
            os.servicePack = info.szCSDVersion;
            texts.userAgent = FormatUserAgent(v, &os);
        } else {
            texts.userAgent = FormatUserAgent(v, nullptr);
        }
    } catch (...) {
    }
}

const std::wstring& VersionStrings::ProductVersion() { return State().productVersion; }
const std::wstring& VersionStrings::VersionCookie() { return State().versionCookie; }
const std::wstring& VersionStrings::ProductName() { return State().productName; }
const std::wstring& VersionStrings::UserAgent() { return State().userAgent; }
