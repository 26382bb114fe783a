// A stand-in for the browser application as a COM local server: registered in
// a test prefix under the browser's class, it hands out browser doubles and
// writes every call they get to a record file, so that a results page or a
// blog page that another process opens can be checked from outside.
//
//   vpbrowserdouble --register <record file>   take over the browser's class
//   vpbrowserdouble --unregister                give it back and stop a running double
//   vpbrowserdouble --record <record file> ...  serve (as COM starts it)
#include <windows.h>
#include <exdisp.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/ComModule.h"
#include "common/ComObject.h"
#include "common/ModuleInstance.h"
#include "common/RegKey.h"
#include "common/TextConvert.h"
#include "support/BrowserDoubles.h"

namespace {

const wchar_t kBrowserServerKey[] = L"CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32";
// Where the browser's own server command waits while the double stands in.
const wchar_t kSavedValue[] = L"VpBrowserDoubleSaved";
const DWORD kFlushMs = 100;
// The server ends when no browser has been alive for this long, or when no
// call came for the longer time: a client process that ended while holding a
// browser never releases it here.
const ULONGLONG kIdleExitMs = 3000;
const ULONGLONG kQuietExitMs = 60000;
// Set by --unregister: a running double revokes its class and ends.
const wchar_t kStopEvent[] = L"VellumpostBrowserDoubleStop";

std::wstring ReadText(HKEY key, const wchar_t* name, bool& present)
{
    wchar_t text[2048] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t), type = 0;
    present = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) == ERROR_SUCCESS &&
              type == REG_SZ;
    return present ? text : L"";
}

bool WriteText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

int Register(const std::wstring& record)
{
    RegKey key;
    if (!key.Create(HKEY_CLASSES_ROOT, kBrowserServerKey)) return 1;
    bool saved = false, current = false;
    ReadText(key, kSavedValue, saved);
    const std::wstring previous = ReadText(key, nullptr, current);
    if (!saved && !WriteText(key, kSavedValue, current ? previous : L"")) return 1;
    return WriteText(key, nullptr, L"\"" + ThisModulePath() + L"\" --record \"" + record + L"\"") ? 0 : 1;
}

int Unregister()
{
    if (HANDLE stop = OpenEventW(EVENT_MODIFY_STATE, FALSE, kStopEvent)) {
        SetEvent(stop);
        CloseHandle(stop);
    }
    RegKey key;
    if (!key.Open(HKEY_CLASSES_ROOT, kBrowserServerKey, KEY_ALL_ACCESS)) return 0;
    bool saved = false;
    const std::wstring previous = ReadText(key, kSavedValue, saved);
    if (!saved) return 0;
    if (!WriteText(key, nullptr, previous)) return 1;
    return RegDeleteValueW(key, kSavedValue) == ERROR_SUCCESS ? 0 : 1;
}

// The browsers handed out, and how much of each one's record is written.
struct Served {
    vptest::BrowserPtr<vptest::BrowserWebBrowser> browser;
    size_t callsWritten = 0;
    size_t navigationsWritten = 0;
};

std::vector<Served> served;

class BrowserFactory : public ComObject<BrowserFactory, IClassFactory> {
public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Served entry{vptest::BrowserWebBrowser::Create()};
        const HRESULT hr = entry.browser->QueryInterface(iid, object);
        if (SUCCEEDED(hr)) served.push_back(std::move(entry));
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    friend class ComObject<BrowserFactory, IClassFactory>;
    ~BrowserFactory() override = default;
};

// Appends what the browsers were asked since the last flush and returns
// whether there was anything; drops the browsers no client holds any more.
bool Flush(FILE* record)
{
    bool wrote = false;
    for (Served& entry : served) {
        vptest::BrowserWebBrowser& browser = *entry.browser;
        for (; entry.callsWritten < browser.calls.size(); ++entry.callsWritten, wrote = true) {
            const std::wstring& call = browser.calls[entry.callsWritten];
            std::fprintf(record, "%s\n", Narrow(call, CP_UTF8).c_str());
            // Each navigation's post data follows its call.
            if (call.rfind(L"Navigate ", 0) != 0 || entry.navigationsWritten >= browser.navigations.size()) continue;
            const auto& navigation = browser.navigations[entry.navigationsWritten++];
            if (navigation.postDataType != VT_EMPTY)
                std::fprintf(record, "  post data: %u bytes\n", static_cast<unsigned>(navigation.postData.size()));
        }
    }
    std::fflush(record);
    std::vector<Served> alive;
    for (Served& entry : served)
        if (entry.browser->References() > 1) alive.push_back(std::move(entry));
    served.swap(alive);
    return wrote;
}

int Serve(const std::wstring& recordPath)
{
    FILE* record = _wfopen(recordPath.c_str(), L"ab");
    if (!record) return 1;
    Microsoft::WRL::ComPtr<BrowserFactory> factory = BrowserFactory::Make();
    DWORD cookie = 0;
    if (!factory || FAILED(CoRegisterClassObject(CLSID_InternetExplorer, factory.Get(), CLSCTX_LOCAL_SERVER,
                                                 REGCLS_MULTIPLEUSE, &cookie))) {
        std::fclose(record);
        return 1;
    }
    const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, kStopEvent);
    const UINT_PTR timer = SetTimer(nullptr, 0, kFlushMs, nullptr);
    ULONGLONG lastAlive = GetTickCount64(), lastCall = lastAlive;
    bool running = true;
    while (running) {
        const DWORD woke = MsgWaitForMultipleObjects(stop ? 1 : 0, &stop, FALSE, INFINITE, QS_ALLINPUT);
        if (stop && woke == WAIT_OBJECT_0) break;
        MSG message;
        while (running && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) running = false;
            else if (message.message == WM_TIMER && !message.hwnd && message.wParam == timer) {
                const ULONGLONG now = GetTickCount64();
                if (Flush(record)) lastCall = now;
                if (!served.empty()) lastAlive = now;
                running = now - lastAlive < kIdleExitMs && now - lastCall < kQuietExitMs;
            } else {
                DispatchMessageW(&message);
            }
        }
    }
    if (stop) CloseHandle(stop);
    KillTimer(nullptr, timer);
    CoRevokeClassObject(cookie);
    Flush(record);
    served.clear();
    std::fclose(record);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring option = argc > 1 ? argv[1] : L"";
    if (option == L"--register" && argc == 3) return Register(argv[2]);
    if (option == L"--unregister") return Unregister();
    if (option != L"--record" || argc < 3) {
        std::printf("usage: vpbrowserdouble --register <record file> | --unregister | --record <record file>\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    const int code = Serve(argv[2]);
    CoUninitialize();
    return code;
}
