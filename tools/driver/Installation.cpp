// The installed copy's checks (see the header). Registrations are read with
// the registry functions, not through COM, so that the check creates nothing.
#include "tools/driver/Installation.h"

#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <vector>

#include "common/ComModule.h"
#include "common/TextConvert.h"
#include "common/VersionStrings.h"

namespace {

const wchar_t kLibrary[] = L"VellumpostToolbar.dll";
const wchar_t kProxy[] = L"VellumpostContextMenuProxyX64.exe";
const wchar_t kExtension[] = L"VellumpostContextMenuExtensionX64.dll";
const wchar_t kProxyProgId[] = L"VellumpostToolbar.ContextMenuProxy";

std::wstring DefaultValue(const std::wstring& subkey)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, subkey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                     value, &size) != ERROR_SUCCESS)
        return L"";
    return value;
}

bool ContainsPath(const std::wstring& text, const std::wstring& path)
{
    std::wstring a = text, b = path;
    CharLowerBuffW(&a[0], static_cast<DWORD>(a.size()));
    CharLowerBuffW(&b[0], static_cast<DWORD>(b.size()));
    return !b.empty() && a.find(b) != std::wstring::npos;
}

// Tallies the checks: each is registered to the expected file, registered
// elsewhere or missing.
struct Tally {
    int ok = 0, absent = 0, wrong = 0;

    void Check(const char* what, const std::wstring& name, const std::wstring& value, const std::wstring& expected)
    {
        const char* state = "missing";
        if (value.empty()) {
            ++absent;
        } else if (ContainsPath(value, expected)) {
            state = "registered";
            ++ok;
        } else {
            state = "registered ELSEWHERE";
            ++wrong;
        }
        std::printf("  %-10s %-28s %s%s%s\n", what, Narrow(name, CP_UTF8).c_str(), state, value.empty() ? "" : ": ",
                    Narrow(value, CP_UTF8).c_str());
    }
};

std::wstring FileVersionText(const std::wstring& file)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0) return L"";
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return L"";
    const VersionNumbers v = VersionStrings::FromFixedInfo(info->dwFileVersionMS, info->dwFileVersionLS);
    wchar_t text[64] = {};
    swprintf(text, 64, L"%d.%d.%d.%d", v.major, v.minor, v.build, v.revision);
    return text;
}

const std::wstring& OwnVersion()
{
    VersionStrings::Initialize();
    return VersionStrings::ProductVersion();
}

}  // namespace

int CheckFileVersion(const std::wstring& file)
{
    const std::wstring version = FileVersionText(file);
    std::printf("  %-40s %s\n", Narrow(file, CP_UTF8).c_str(), version.empty() ? "no version" : Narrow(version).c_str());
    return !version.empty() && version == OwnVersion() ? 0 : 1;
}

int CheckInstallation(const std::wstring& folder)
{
    const std::wstring prefix = folder.empty() || folder.back() == L'\\' ? folder : folder + L"\\";
    const std::wstring library = prefix + kLibrary;

    wchar_t self[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    ITypeLib* typeLib = nullptr;
    if (n == 0 || n >= MAX_PATH || FAILED(LoadTypeLibEx(self, REGKIND_NONE, &typeLib)) || !typeLib) {
        std::printf("cannot read the toolbar's type library from this program\n");
        return 1;
    }

    Tally tally;
    std::printf("Registration (expected in %s):\n", Narrow(prefix, CP_UTF8).c_str());
    TLIBATTR* libAttr = nullptr;
    if (SUCCEEDED(typeLib->GetLibAttr(&libAttr))) {
        const std::wstring key = L"TypeLib\\" + GuidText(libAttr->guid);
        wchar_t version[32] = {};
        swprintf(version, 32, L"\\%x.%x\\0\\win%d", libAttr->wMajorVerNum, libAttr->wMinorVerNum,
                 sizeof(void*) == 8 ? 64 : 32);
        tally.Check("typelib", GuidText(libAttr->guid), DefaultValue(key + version), library);
        typeLib->ReleaseTLibAttr(libAttr);
    }
    for (UINT i = 0; i < typeLib->GetTypeInfoCount(); ++i) {
        TYPEKIND kind;
        ITypeInfo* info = nullptr;
        if (FAILED(typeLib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS ||
            FAILED(typeLib->GetTypeInfo(i, &info)))
            continue;
        TYPEATTR* attr = nullptr;
        BSTR name = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            (void)info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            const std::wstring key = L"CLSID\\" + GuidText(attr->guid);
            tally.Check("class", name ? name : L"?", DefaultValue(key + L"\\InprocServer32"), library);
            SysFreeString(name);
            info->ReleaseTypeAttr(attr);
        }
        info->Release();
    }
    typeLib->Release();

    CLSID proxy = {};
    std::wstring proxyServer;
    if (SUCCEEDED(CLSIDFromProgID(kProxyProgId, &proxy)))
        proxyServer = DefaultValue(L"CLSID\\" + GuidText(proxy) + L"\\LocalServer32");
    tally.Check("server", kProxyProgId, proxyServer, prefix + kProxy);

    std::printf("Versions (expected %s):\n", Narrow(OwnVersion()).c_str());
    int badVersions = 0;
    for (const wchar_t* file : {kLibrary, kProxy, kExtension}) badVersions += CheckFileVersion(prefix + file);

    if (tally.ok == 0 && tally.wrong == 0) return 2;
    return tally.absent == 0 && tally.wrong == 0 && badVersions == 0 ? 0 : 1;
}

int HoldLibrary(const std::wstring& library, const std::wstring& heldMarker, const std::wstring& releaseMarker)
{
    // A loaded library is what a browser holds: Windows (and Wine) refuse to
    // delete it but let it be renamed.
    HMODULE module = LoadLibraryW(library.c_str());
    if (!module) {
        std::printf("cannot hold %s (error %lu)\n", Narrow(library, CP_UTF8).c_str(), GetLastError());
        return 1;
    }
    HANDLE marker = CreateFileW(heldMarker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    std::printf("holding %s\n", Narrow(library, CP_UTF8).c_str());
    // The caller is a shell script: it tells us to let go by creating a file.
    const DWORD start = GetTickCount();
    while (GetFileAttributesW(releaseMarker.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 300000)
        Sleep(100);
    FreeLibrary(module);
    return 0;
}
