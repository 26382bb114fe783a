// The product's version texts, computed once from the module's version
// resource when the module loads and only read afterwards.
#pragma once

#include <windows.h>

#include <string>

struct VersionNumbers {
    int major = 0, minor = 0, build = 0, revision = 0;
};

struct OsVersion {
    bool nt = true;
    DWORD major = 0, minor = 0;
    std::wstring servicePack;
};

class VersionStrings {
public:
    // Reads the version resource of module (null: the module that holds this
    // code) and the Windows version; any failure leaves the texts as they are.
    static void Initialize(HMODULE module = nullptr);

    static const std::wstring& ProductVersion();  // "4.8.3.75"
    static const std::wstring& VersionCookie();   // "IEVellumpostToolbar-4.8.3.75"
    static const std::wstring& ProductName();     // "Vellumpost Toolbar 4.8.3"
    static const std::wstring& UserAgent();       // "Vellumpost Toolbar 4.8.3 (WinNT 6.1 Service Pack 1)"

    // The text rules on their own, for callers and tests.
    static VersionNumbers FromFixedInfo(DWORD fileVersionMS, DWORD fileVersionLS);
    static std::wstring FormatUserAgent(const VersionNumbers& v, const OsVersion* os);
};
