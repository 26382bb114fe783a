// The Explorer bridge with every process real: the 64-bit extension loaded
// from its registration, the proxy server started by COM, the toolbar library
// in the proxy's process, the development service and a browser double.
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "VellumpostContextMenuExtensionX64_h.h"
#include "VellumpostContextMenuProxyX64_h.h"
#include "common/Bstr.h"
#include "common/Handle.h"
#include "common/ProcessSnapshot.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "common/Variant.h"
#include "common/FileUrl.h"
#include "common/LogWriter.h"
#include "engine/GdiplusSession.h"
#include "engine/UploadItem.h"
#include "engine/UploadHistory.h"
#include "menuproxy/ProxyServer.h"
#include "support/DevService.h"
#include "support/Pictures.h"
#include "support/Registration.h"
#include "support/RegistrySandbox.h"
#include "support/TempFolder.h"
#include "tools/driver/ExplorerSelection.h"

using Microsoft::WRL::ComPtr;

namespace vptest {
namespace {

const wchar_t kProxyClassKey[] = L"CLSID\\{20844F08-4532-477B-A9FA-46D9E4217902}";

// Runs a program with arguments and waits for it; its exit code, or -1.
int RunProgram(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 30000)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    ProcessEx process;
    if (!process.Run(program.c_str(), &commandLine[0], nullptr, 0)) return -1;
    DWORD code = 0;
    if (process.Wait(timeoutMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code)) return -1;
    return static_cast<int>(code);
}

std::wstring Proxy() { return HostPath(VP_PROXY_EXE); }
// What the servers wrote so far: next to the program, or in the log that all
// processes share where the product keeps its data in the low-integrity folder.
std::string ProxyLog()
{
    return ReadFileBytes(UsesLowIntegrityPaths() ? LogWriter::DefaultPath() : Proxy() + L".log");
}

// The proxy's log written after it was start bytes long (all of it when the
// file was made anew meanwhile).
std::string ProxyLogSince(size_t start)
{
    const std::string log = ProxyLog();
    return start <= log.size() ? log.substr(start) : log;
}

// A handle on the running program of that name (invalid when none runs).
void OpenRunning(const wchar_t* program, Handle& process)
{
    for (ProcessSnapshot snapshot; snapshot.Valid(); snapshot.Next()) {
        if (_wcsicmp(snapshot.Entry().szExeFile, program) == 0) {
            process.Attach(OpenProcess(SYNCHRONIZE, FALSE, snapshot.Entry().th32ProcessID));
            return;
        }
    }
}

bool Ends(Handle& process, DWORD timeoutMs)
{
    return !process.IsValid() || WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
}

// The links of the history, oldest first (the newest is last).
std::vector<std::wstring> HistoryLinks()
{
    SettingsStore store;
    UploadHistory history(store);
    std::vector<std::wstring> links;
    for (int i = 0, count = history.HistoryCount(); i < count; ++i) {
        CUploadResult entry;
        if (history.ReadHistoryEntry(i, entry) && entry.imageLink) links.push_back(*entry.imageLink);
    }
    return links;
}

HRESULT CreateProxy(ComPtr<IContextMenuProxy>& proxy)
{
    CLSID proxyClass;
    const HRESULT hr = CLSIDFromProgID(L"VellumpostToolbar.ContextMenuProxy", &proxyClass);
    return FAILED(hr) ? hr : CoCreateInstance(proxyClass, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&proxy));
}

class ExplorerBridge : public testing::Test {
protected:
    // The servers COM starts read the user's own settings, not this test's
    // sandbox: while the suite runs their log is on, they end kIdleMs after
    // their last client instead of the usual 5 s, and their outbox is off (an
    // upload the forced stop cuts short would wait there and be sent by the
    // next server, in this run or the next, on top of the uploads counted).
    static constexpr DWORD kIdleMs = 2000;
    static void ServerLog(bool on)
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegKey settings;
        if (settings.Create(HKEY_CURRENT_USER, SettingsKeyPath())) {
            const DWORD value = on ? 1 : 0;
            RegSetValueExW(settings, L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
            const DWORD off = 0;
            if (on) {
                RegSetValueExW(settings, L"ProxyIdleTime", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kIdleMs),
                               sizeof(kIdleMs));
                RegSetValueExW(settings, L"Outbox", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof(off));
            } else {
                RegDeleteValueW(settings, L"ProxyIdleTime");
                RegDeleteValueW(settings, L"Outbox");
            }
        }
        RegistrySandbox::Enter();
    }
    static void SetUpTestSuite()
    {
        ServerLog(true);
        ASSERT_EQ(0, RunProgram(Proxy(), L"/RegServer"));
        ASSERT_EQ(0u, RunRegsvr32(L"/s", HostPath(VP_EXTENSION_DLL)));
    }
    static void TearDownTestSuite()
    {
        EXPECT_EQ(0, RunProgram(Proxy(), L"/UnregServer"));
        EXPECT_EQ(0u, RunRegsvr32(L"/s /u", HostPath(VP_EXTENSION_DLL)));
        ServerLog(false);
    }

    void SetUp() override { comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override
    {
        if (comStarted_) CoUninitialize();
    }

    // The extension as Explorer makes it, initialised with the shell's data
    // object of the files.
    HRESULT Extension(const std::vector<std::wstring>& files, ComPtr<IContextMenu>& menu)
    {
        ComPtr<IShellExtInit> init;
        ComPtr<IDataObject> data;
        HRESULT hr = CoCreateInstance(CLSID_ContextMenuExtension, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&init));
        if (SUCCEEDED(hr)) hr = SelectionDataObject(files, &data);
        if (SUCCEEDED(hr)) hr = init->Initialize(nullptr, data.Get(), nullptr);
        if (SUCCEEDED(hr)) hr = init.As(&menu);
        return hr;
    }

    std::vector<std::wstring> Texts(HMENU menu)
    {
        std::vector<std::wstring> texts;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            texts.push_back(text);
        }
        return texts;
    }

    static HRESULT Invoke(IContextMenu& menu, const char* verb)
    {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = verb;
        return menu.InvokeCommand(&info);
    }

    bool comStarted_ = false;
    TempFolder folder_{TempFolder::OutsideTemporaryFolder};
};

TEST(ProxyRules, CommandLineOptionsAndIdleExit)
{
    EXPECT_EQ(ProxyCommand::Serve, ParseProxyCommandLine(L"-Embedding"));
    EXPECT_EQ(ProxyCommand::RegServer, ParseProxyCommandLine(L"/regserver"));
    EXPECT_EQ(ProxyCommand::UnregServer, ParseProxyCommandLine(L"x  -UNREGSERVER"));
    EXPECT_EQ(ProxyCommand::ShutDown, ParseProxyCommandLine(L"/ShutDown /RegServer"));
    EXPECT_EQ(ProxyCommand::Serve, ParseProxyCommandLine(L"RegServer"));
    EXPECT_TRUE(ProxyCommandLineForces(L"/ShutDown -force"));
    EXPECT_FALSE(ProxyCommandLineForces(L"/ShutDown Force /Forced"));

    IdleMonitor idle(5000);
    EXPECT_FALSE(idle.Check(1000, false));
    EXPECT_FALSE(idle.Check(5999, false));
    EXPECT_TRUE(idle.Check(6000, false));
    // A busy moment starts the count again.
    EXPECT_FALSE(idle.Check(7000, true));
    EXPECT_FALSE(idle.Check(8000, false));
    EXPECT_TRUE(idle.Check(13000, false));
    // The setting's idle time is held to sane bounds.
    const DWORD tiny = 1, huge = 0xFFFFFFFF, second = 1000;
    EXPECT_EQ(kProxyIdleExitMs, ProxyIdleExitMs(nullptr));
    EXPECT_EQ(500u, ProxyIdleExitMs(&tiny));
    EXPECT_EQ(600000u, ProxyIdleExitMs(&huge));
    EXPECT_EQ(second, ProxyIdleExitMs(&second));
    EXPECT_EQ(250u, ProxyIdleCheckMs(second));
}

// Tag and blog commands carry the files as addresses, which the toolbar
// library turns back into paths: every name must come back as it was.
TEST(ProxyRules, FileAddressesGiveBackTheSamePaths)
{
    EXPECT_EQ(L"file:///C:/Pictures/a.jpg", PathToFileUrl(L"C:\\Pictures\\a.jpg"));
    const std::wstring longName = L"C:\\Pictures\\" + std::wstring(300, L'n') + L".jpg";
    for (const std::wstring& path : {std::wstring(L"C:\\Pictures\\100%41 %%.png"), longName})
        EXPECT_EQ(path, FileUrlToPath(PathToFileUrl(path)));
}

TEST_F(ExplorerBridge, MenuEntriesCommandStringsAndVerbs)
{
    const std::wstring one = folder_.Write(L"a.jpg", "x"), two = folder_.Write(L"b 100%.png", "x");
    ComPtr<IContextMenu> single, several;
    ASSERT_EQ(S_OK, Extension({one}, single));
    ASSERT_EQ(S_OK, Extension({one, two}, several));

    HMENU menu = CreatePopupMenu();
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0), single->QueryContextMenu(menu, 0, 10, 100, CMF_DEFAULTONLY));
    EXPECT_EQ(0, GetMenuItemCount(menu));
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), single->QueryContextMenu(menu, 0, 10, 100, CMF_NORMAL));
    EXPECT_EQ((std::vector<std::wstring>{L"Upload File To Vellumpost", L"Tag This File", L"Post File to Blog"}),
              Texts(menu));
    EXPECT_EQ(12u, GetMenuItemID(menu, 2));
    DestroyMenu(menu);
    menu = CreatePopupMenu();
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2), several->QueryContextMenu(menu, 0, 10, 100, CMF_NORMAL));
    EXPECT_EQ((std::vector<std::wstring>{L"Upload Files To Vellumpost", L"Tag Files"}), Texts(menu));
    DestroyMenu(menu);

    char text[64];
    EXPECT_EQ(static_cast<HRESULT>(0x8007007A), single->GetCommandString(1, GCS_VERBA, nullptr, text, 5));
    EXPECT_STREQ("Tag ", text);
    EXPECT_EQ(E_INVALIDARG, single->GetCommandString(1, GCS_VERBA, nullptr, text, 0));
    EXPECT_EQ(E_INVALIDARG, single->GetCommandString(3, GCS_VERBA, nullptr, text, 64));
    EXPECT_EQ(S_OK, single->GetCommandString(2, GCS_HELPTEXTW, nullptr, text, 32));
    EXPECT_STREQ(L"Post File to Blog", reinterpret_cast<const wchar_t*>(text));

    // A string verb is one of the entries' own or refused, never an offset.
    EXPECT_EQ(E_FAIL, Invoke(*single.Get(), "1"));
    EXPECT_EQ(E_FAIL, Invoke(*single.Get(), MAKEINTRESOURCEA(7)));
}

TEST_F(ExplorerBridge, ProxyEndsIdleAndUnregistrationStopsItFirst)
{
    // Started without a client, the server ends by itself.
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(0, RunProgram(Proxy(), L"-Embedding", 60000));
    EXPECT_GE(GetTickCount64() - started, kIdleMs);

    // Started by COM, it ends some time after its last client; a later client starts it again.
    ComPtr<IContextMenuProxy> proxy;
    ASSERT_EQ(S_OK, CreateProxy(proxy));
    Handle first;
    OpenRunning(L"VellumpostContextMenuProxyX64.exe", first);
    ASSERT_TRUE(first.IsValid());
    proxy.Reset();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(first, kIdleMs / 4));
    EXPECT_TRUE(Ends(first, 30000));
    // Asking to stop when no server runs starts none, so the next client is
    // not handed to a server that is winding down.
    size_t logStart = ProxyLog().size();
    ASSERT_NE(std::string::npos, ProxyLog().find("Server started\r\n"));
    EXPECT_EQ(0, RunProgram(Proxy(), L"/ShutDown"));
    EXPECT_EQ(std::string::npos, ProxyLogSince(logStart).find("Server started")) << ProxyLogSince(logStart);
    ASSERT_EQ(S_OK, CreateProxy(proxy));

    // Unregistering stops the running server, whose clients then see it gone.
    Handle second;
    OpenRunning(L"VellumpostContextMenuProxyX64.exe", second);
    ASSERT_TRUE(second.IsValid());
    EXPECT_EQ(0, RunProgram(Proxy(), L"/UnregServer"));
    EXPECT_TRUE(Ends(second, 30000));
    EXPECT_FALSE(ClassesKeyExists(kProxyClassKey));
    Variant files;
    EXPECT_TRUE(FAILED(proxy->Execute(menuUpload, *files.Get(), 0, 0)));
    proxy.Reset();

    // Without the proxy server the extension offers nothing.
    const std::wstring picture = folder_.Write(L"a.jpg", "x");
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(E_FAIL, Extension({picture}, menu));
    ASSERT_EQ(0, RunProgram(Proxy(), L"/RegServer"));
    EXPECT_EQ(L"\"" + Proxy() + L"\"", KeyText(HKEY_CLASSES_ROOT, std::wstring(kProxyClassKey) + L"\\LocalServer32"));
    // A right-click straight after registering reaches a server.
    EXPECT_EQ(S_OK, Extension({picture}, menu));
    menu.Reset();
    Handle third;
    OpenRunning(L"VellumpostContextMenuProxyX64.exe", third);
    ASSERT_TRUE(third.IsValid());
    // ShutDown returns once the server has ended.
    EXPECT_EQ(0, RunProgram(Proxy(), L"/ShutDown"));
    EXPECT_TRUE(Ends(third, 0));

    // With no server running, unregistering starts none and ends at once.
    logStart = ProxyLog().size();
    const ULONGLONG unregistering = GetTickCount64();
    EXPECT_EQ(0, RunProgram(Proxy(), L"/UnregServer"));
    EXPECT_LT(GetTickCount64() - unregistering, 5000u);
    EXPECT_EQ(std::string::npos, ProxyLogSince(logStart).find("Server started")) << ProxyLogSince(logStart);
    EXPECT_FALSE(ClassesKeyExists(kProxyClassKey));
    ASSERT_EQ(0, RunProgram(Proxy(), L"/RegServer"));
}

// The whole road: a right-click upload runs in the proxy's process, reaches
// the service and the history, and posts the results page to the browser.
TEST_F(ExplorerBridge, RightClickUploadReachesServiceHistoryAndBrowser)
{
    DevService service;
    ASSERT_TRUE(service.Available());
    service.Reset();
    ASSERT_EQ(0u, RunRegsvr32(L"/s", ToolbarLibraryPath()));
    const std::wstring record = folder_.File(L"browser.txt");
    ASSERT_EQ(0, RunProgram(HostPath(VP_BROWSER_DOUBLE_EXE), L"--register \"" + record + L"\""));
    // The proxy process reads the user's own settings, not this test's sandbox.
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    {
        RegKey settings;
        ASSERT_TRUE(settings.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
        SettingsStore::WriteText(settings, L"ForceServer", service.Host());
    }
    const std::vector<std::wstring> before = HistoryLinks();

    std::wstring picture;
    {
        GdiplusSession gdiplus;
        picture = folder_.File(L"right click.png");
        MakePicture(picture, 64, 48, Gdiplus::ImageFormatPNG);
    }
    // An unknown command goes all the way to the toolbar library, which refuses it.
    ComPtr<IContextMenuProxy> proxy;
    ASSERT_EQ(S_OK, CreateProxy(proxy));
    Variant files;
    V_VT(files.Get()) = VT_ARRAY | VT_BSTR;
    V_ARRAY(files.Get()) = SafeArrayCreateVector(VT_BSTR, 0, 1);
    LONG first = 0;
    ASSERT_EQ(S_OK, SafeArrayPutElement(V_ARRAY(files.Get()), &first, Bstr(picture.c_str()).Get()));
    EXPECT_EQ(E_FAIL, proxy->Execute(static_cast<enum _VellumpostMenuCommand>(7), *files.Get(), 0, 0));
    proxy.Reset();
    ComPtr<IContextMenu> menu;
    ASSERT_EQ(S_OK, Extension({picture}, menu));
    // The server behind the extension's proxy goes away before the command:
    // the extension makes its proxy again, which starts a new server.
    Handle proxyProcess, browserProcess;
    OpenRunning(L"VellumpostContextMenuProxyX64.exe", proxyProcess);
    EXPECT_EQ(0, RunProgram(Proxy(), L"/ShutDown"));
    EXPECT_TRUE(Ends(proxyProcess, 30000));
    EXPECT_EQ(S_OK, Invoke(*menu.Get(), "Upload File To Vellumpost"));
    menu.Reset();
    // The proxy stays while the upload runs in it, then ends by itself.
    proxyProcess.Close();
    OpenRunning(L"VellumpostContextMenuProxyX64.exe", proxyProcess);
    ASSERT_TRUE(proxyProcess.IsValid());
    EXPECT_TRUE(Ends(proxyProcess, 60000));
    size_t uploads = 0;
    const Json requests = service.Requests();
    for (const Json& request : requests.Items())
        if (request["method"].String() == "POST" && request["path"].String() == "/upload_api.php") ++uploads;
    EXPECT_EQ(1u, uploads);

    const std::vector<std::wstring> after = HistoryLinks();
    ASSERT_FALSE(after.empty());
    // The newest entry is this upload's: its link was not there before.
    EXPECT_EQ(before.end(), std::find(before.begin(), before.end(), after.back()));
    EXPECT_NE(std::wstring::npos, after.back().find(L"/right_click.png")) << after.back();
    const std::string calls = ReadFileBytes(record);
    EXPECT_NE(std::string::npos, calls.find("Navigate http")) << calls;
    EXPECT_NE(std::string::npos, calls.find("put_Visible true")) << calls;

    // A right-click upload whose answer the service holds back for delayMs;
    // proxyProcess becomes the server it runs in.
    const auto slowUpload = [&](int delayMs) {
        service.ArmFault(L"delay_ms=" + std::to_wstring(delayMs));
        ASSERT_EQ(S_OK, Extension({picture}, menu));
        EXPECT_EQ(S_OK, Invoke(*menu.Get(), "Upload File To Vellumpost"));
        menu.Reset();
        proxyProcess.Close();
        OpenRunning(L"VellumpostContextMenuProxyX64.exe", proxyProcess);
        ASSERT_TRUE(proxyProcess.IsValid());
    };
    // Stopping the server while an upload runs in it waits for the upload.
    slowUpload(2000);
    EXPECT_EQ(0, RunProgram(Proxy(), L"/ShutDown"));
    EXPECT_TRUE(Ends(proxyProcess, 0));
    const std::vector<std::wstring> stopped = HistoryLinks();
    ASSERT_FALSE(stopped.empty());
    EXPECT_EQ(after.end(), std::find(after.begin(), after.end(), stopped.back())) << "the upload was cut short";

    // A forced stop does not wait, and says so.
    slowUpload(30000);
    const size_t logStart = ProxyLog().size();
    const ULONGLONG forcing = GetTickCount64();
    EXPECT_EQ(0, RunProgram(Proxy(), L"/ShutDown /Force"));
    EXPECT_LT(GetTickCount64() - forcing, 20000u);
    EXPECT_TRUE(Ends(proxyProcess, 0));
    EXPECT_NE(std::string::npos,
              ProxyLogSince(logStart).find("Forced stop: ending with the toolbar library's work in progress"))
        << ProxyLogSince(logStart);
    EXPECT_EQ(stopped.back(), HistoryLinks().back());

    // Making the toolbar visible for later windows leaves no hidden browser running.
    {
        const HMODULE library = LoadLibraryW(ToolbarLibraryPath().c_str());
        ASSERT_NE(nullptr, library);
        using ExportFn = int(__cdecl*)();
        const auto makeVisible =
            reinterpret_cast<ExportFn>(reinterpret_cast<void*>(GetProcAddress(library, "MakeToolbarVisible")));
        ASSERT_NE(nullptr, makeVisible);
        makeVisible();
        FreeLibrary(library);
        // The double writes its record every 100 ms.
        std::string made;
        for (int i = 0; i < 50 && (made = ReadFileBytes(record)).find("Quit") == std::string::npos; ++i) Sleep(100);
        const size_t bar = made.rfind("ShowBrowserBar");
        ASSERT_NE(std::string::npos, bar) << made;
        EXPECT_NE(std::string::npos, made.find("Quit", bar)) << made.substr(bar);
    }

    // Giving the browser's class back stops the double.
    OpenRunning(L"vpbrowserdouble.exe", browserProcess);
    EXPECT_EQ(0, RunProgram(HostPath(VP_BROWSER_DOUBLE_EXE), L"--unregister"));
    EXPECT_TRUE(Ends(browserProcess, 15000));
    RegistrySandbox::Enter();
}

}  // namespace
}  // namespace vptest
