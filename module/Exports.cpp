// The exports of the toolbar library: the COM entry points (class objects,
// the unload check, self-registration) and the four functions the installer
// and the uninstaller call.
#include <windows.h>

#include "VellumpostToolbar_h.h"
#include "common/Bstr.h"
#include "common/HResult.h"
#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "common/ServiceUrl.h"
#include "common/TextConvert.h"
#include "common/VersionStrings.h"
#include "common/WebBrowser.h"
#include "engine/OutboxSender.h"
#include "module/ClassTable.h"
#include "resources/resource.h"
#include "module/setup/BrowserWindows.h"
#include "module/setup/FileTypeRegistration.h"
#include "module/setup/HelperPrograms.h"
#include "module/setup/InstallerSteps.h"
#include "module/setup/UserAgentEntry.h"

namespace {

const wchar_t kBrowserImage[] = L"IEXPLORE.EXE";
// A new browser window that has not shown itself by then is left to itself.
const DWORD kBrowserShowBoundMs = 30000;
// How long browser windows asked to close get before the user is asked again.
const DWORD kBrowserCloseWaitMs = 15000;

// COM for the calling thread of an installer export, for as long as it runs.
class ComApartment {
public:
    ComApartment() : hr_(CoInitialize(nullptr)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ok() const { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

// Runs an installer export's body; an exception is logged and, as every
// outcome of these exports, answered with 0.
template <typename Body>
int InstallerExport(const char* category, const char* name, Body body)
{
    try {
        body();
    } catch (...) {
        LogCaughtException(LogWriter(category), name, ThisModule());
    }
    return 0;
}

// Calls use with a new browser instance, inside a COM apartment of the
// calling thread; nothing happens when either cannot be had.
template <typename Use>
void WithNewBrowser(Use use)
{
    ComApartment com;
    if (!com.Ok()) return;
    WebBrowser browser;
    if (SUCCEEDED(browser.CreateInstance())) use(browser);
}

std::wstring StringOr(UINT id, const wchar_t* fallback)
{
    std::wstring text = LoadModuleString(id);
    return text.empty() ? std::wstring(fallback) : text;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
try {
    // Whoever loads the library (a browser's band, the proxy server, a page)
    // also finishes the uploads that earlier processes left waiting.
    StartOutboxSender();
    return ToolbarComModule().GetClassObject(clsid, iid, object);
}
COM_CATCH_RETURN_FOR(LogWriter("MAIN"), "DllGetClassObject", ThisModule())

STDAPI DllCanUnloadNow()
{
    return ToolbarComModule().CanUnloadNow();
}

STDAPI DllRegisterServer()
try {
    // The classes and the type library first: if they fail, nothing else is registered.
    const HRESULT hr = ToolbarComModule().RegisterServer();
    if (FAILED(hr)) return hr;
    // Failures from here on are logged and do not change the result.
    const LogWriter log("REGISTRATOR");
    const bool windows64 = IsWindows64();
    RegisterFileTypes(HKEY_CLASSES_ROOT, ContextMenuHandlerClass(windows64), log);
    RegisterUserAgent(HKEY_LOCAL_MACHINE, VersionStrings::ProductName());
    RegisterHelperPrograms(true, log);
    return hr;
}
COM_CATCH_RETURN_FOR(LogWriter("REGISTRATOR"), "DllRegisterServer", ThisModule())

STDAPI DllUnregisterServer()
try {
    // Unregistration reports success whatever fails on the way.
    const LogWriter log("UNREGISTRATOR");
    UnregisterFileTypes(HKEY_CLASSES_ROOT, ContextMenuHandlerClass(IsWindows64()), log);
    UnregisterUserAgent(HKEY_LOCAL_MACHINE, VersionStrings::ProductName());
    (void)ToolbarComModule().UnregisterServer();
    RegisterHelperPrograms(false, log);
    return S_OK;
}
COM_CATCH_RETURN_FOR(LogWriter("UNREGISTRATOR"), "DllUnregisterServer", ThisModule())

// Opens a browser window on the page shown after installation and shows the
// band in it. The band is hidden until the window is up, so that it shows in
// the new window's layout.
extern "C" int StartIEWithToolbar()
{
    return InstallerExport("MAIN", "StartIEWithToolbar", [] {
        WithNewBrowser([](WebBrowser& browser) {
            const std::wstring page = ServiceUrl(IDS_INSTALL_DONE_URL);
            if (!page.empty()) {
                Bstr url(page.c_str());
                browser->Navigate(url.Get(), nullptr, nullptr, nullptr, nullptr);
            } else {
                browser->GoHome();
            }
            (void)browser.ShowBand(CLSID_StockBar, false);
            browser->put_Visible(VARIANT_TRUE);
            SHANDLE_PTR window = 0;
            if (SUCCEEDED(browser->get_HWND(&window)))
                WaitUntilShown(reinterpret_cast<HWND>(window), kBrowserShowBoundMs);
            (void)browser.ShowBand(CLSID_StockBar, true);
        });
    });
}

// Marks the band visible for the browser windows to come by showing it in a
// hidden browser window, which is quit at once: left running, it would keep
// the library loaded until the user logs off.
extern "C" int MakeToolbarVisible()
{
    return InstallerExport("MAIN", "MakeToolbarVisible", [] {
        WithNewBrowser([](WebBrowser& browser) {
            (void)browser.ShowBand(CLSID_StockBar, true);
            browser->Quit();
        });
    });
}

// Closes the user's browser windows before uninstallation, so that they let go
// of the library: the user is asked first and the windows are closed as the
// user would close them; what does not close is ended only after a second
// question. Answers 1 when the user said no (the uninstallation stops), else 0.
extern "C" int ShutdownIE()
{
    bool canceled = false;
    InstallerExport("MAIN", "ShutdownIE", [&canceled] {
        const std::wstring caption = StringOr(IDS_SHUTDOWN_BROWSER_CAPTION, L"Vellumpost Toolbar Uninstall");
        const std::wstring lead = StringOr(
            IDS_SHUTDOWN_BROWSER_TEXT, L"All Internet Explorer windows will be closed to proceed uninstallation.");
        const auto ask = [&caption](const std::wstring& text, size_t windows) {
            wchar_t line[512] = {};
            swprintf(line, ARRAYSIZE(line), text.c_str(), static_cast<unsigned>(windows));
            return MessageBoxW(nullptr, line, caption.c_str(), MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND) ==
                   IDOK;
        };
        BrowserCloseQuestions questions;
        questions.closeWindows = [&](size_t windows) {
            return ask(lead + L"\n\n" +
                           StringOr(IDS_CLOSE_BROWSERS_TEXT,
                                    L"Open windows: %u. Save what you typed in them, then click OK to close them, "
                                    L"or Cancel to stop the uninstallation."),
                       windows);
        };
        questions.endPrograms = [&](size_t windows) {
            return ask(StringOr(IDS_END_BROWSERS_TEXT,
                                L"Windows that did not close: %u. Click OK to end them (what is unsaved in them is "
                                L"lost), or Cancel to stop the uninstallation."),
                       windows);
        };
        canceled = CloseBrowserWindows(kBrowserImage, questions, kBrowserCloseWaitMs) == BrowserCloseResult::Canceled;
    });
    return canceled ? 1 : 0;
}

// Empties the upload folder (uninstallation).
extern "C" int RemoveUploadTempFiles()
{
    return InstallerExport("CLEANER", "RemoveUploadTempFiles", [] {
        const LogWriter log("CLEANER");
        const std::wstring folder = UploadFolderPath();
        if (!folder.empty()) RemoveFilesIn(folder, log);
    });
}
