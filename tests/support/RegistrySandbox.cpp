// Per-process HKEY_CURRENT_USER for tests (see the header).
#include "support/RegistrySandbox.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "common/SettingsKey.h"

namespace vptest {
namespace {

const wchar_t kEnvName[] = L"VP_TEST_HKCU";
std::wstring g_path;
HKEY g_key = nullptr;
bool g_owner = false;

// Uploads that fail on purpose in one test must not be sent again in the
// next: the outbox is off unless a test turns it on.
void OutboxOffByDefault()
{
    HKEY settings = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &settings,
                        nullptr) != ERROR_SUCCESS)
        return;
    const DWORD off = 0;
    RegSetValueExW(settings, L"Outbox", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof(off));
    RegCloseKey(settings);
}

}  // namespace

void RegistrySandbox::Enter()
{
    wchar_t inherited[512] = {};
    if (GetEnvironmentVariableW(kEnvName, inherited, 512) > 0) {
        g_path = inherited;
    } else {
        wchar_t name[128];
        swprintf(name, 128, L"Software\\VellumpostTests\\%lu_%lu", GetCurrentProcessId(), GetTickCount());
        g_path = name;
        g_owner = true;
        SetEnvironmentVariableW(kEnvName, g_path.c_str());
    }
    if (RegCreateKeyExW(HKEY_CURRENT_USER, g_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &g_key, nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, g_key) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot set up the registry sandbox\n");
        std::exit(4);
    }
    // A child process joins its parent's settings as they are.
    if (g_owner) OutboxOffByDefault();
}

void RegistrySandbox::Reset()
{
    if (g_key) RegDeleteTreeW(g_key, nullptr);
    OutboxOffByDefault();
}

void RegistrySandbox::Leave()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (g_key) RegCloseKey(g_key);
    g_key = nullptr;
    if (g_owner) {
        RegDeleteTreeW(HKEY_CURRENT_USER, g_path.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, g_path.c_str());
    }
}

std::wstring RegistrySandbox::Path() { return g_path; }

}  // namespace vptest
