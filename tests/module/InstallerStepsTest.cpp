// The steps behind the installer's exports and the 64-bit helpers, on real
// processes, files and windows: ending programs by name, closing browser
// windows, emptying the upload folder, starting helper programs and waiting
// for a window to show.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "common/Handle.h"
#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/TextConvert.h"
#include "module/setup/BrowserWindows.h"
#include "module/setup/HelperPrograms.h"
#include "module/setup/InstallerSteps.h"
#include "module/setup/SessionProcesses.h"
#include "support/ChildProcess.h"
#include "support/DialogResponder.h"
#include "support/Registration.h"
#include "support/TempFolder.h"

namespace {

using vptest::FileExists;
using vptest::TempFolder;

VP_TEST_CHILD(RunsUntilEnded)
{
    Sleep(60000);
    return 9;
}

VP_TEST_CHILD(EndsSoon)
{
    Sleep(300);
    return 5;
}

// A browser's frame window; the one whose user data is 1 stands for a page
// that asks before it lets the window close, and stays.
LRESULT CALLBACK FrameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE && GetWindowLongPtrW(window, GWLP_USERDATA) == 1) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

VP_TEST_CHILD(ShowsBrowserFrames)
{
    WNDCLASSW frameClass{};
    frameClass.lpfnWndProc = &FrameProcedure;
    frameClass.hInstance = GetModuleHandleW(nullptr);
    frameClass.lpszClassName = L"IEFrame";
    RegisterClassW(&frameClass);
    for (LONG_PTR asks = 0; asks < 2; ++asks) {
        HWND frame = CreateWindowExW(0, L"IEFrame", L"Page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                     nullptr, nullptr, frameClass.hInstance, nullptr);
        SetWindowLongPtrW(frame, GWLP_USERDATA, asks);
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 3;
}

// This test program copied under another name and started in child mode.
class NamedProgram {
public:
    NamedProgram(const TempFolder& folder, const std::wstring& name, const char* routine)
    {
        const std::wstring copy = folder.File(name);
        CopyFileW(ThisModulePath().c_str(), copy.c_str(), FALSE);
        std::wstring commandLine = L"\"" + copy + L"\" --vp-child " + std::wstring(routine, routine + strlen(routine));
        process_.Run(copy.c_str(), &commandLine[0], nullptr, 0);
    }
    const ProcessEx& Process() const { return process_; }
    DWORD ExitCodeAfter(DWORD ms) const
    {
        DWORD code = STILL_ACTIVE;
        if (process_.Wait(ms) == WAIT_OBJECT_0) GetExitCodeProcess(process_, &code);
        return code;
    }
    ~NamedProgram()
    {
        if (process_.IsRunning()) TerminateProcess(process_, 1);
    }

private:
    ProcessEx process_;
};

TEST(SessionProcessesTest, EndsOnlyProgramsOfTheGivenNameAndLetsThemEndByThemselvesFirst)
{
    TempFolder folder;
    NamedProgram browser(folder, L"vpbrowser.exe", "RunsUntilEnded");
    NamedProgram other(folder, L"vpother.exe", "RunsUntilEnded");
    NamedProgram closing(folder, L"vpclosing.exe", "EndsSoon");
    ASSERT_TRUE(browser.Process().IsRunning());

    EXPECT_TRUE(SessionProcessRuns(L"VPBROWSER.EXE"));
    EXPECT_FALSE(SessionProcessRuns(L"vpmissing.exe"));
    EXPECT_EQ(1, EndSessionProcesses(L"VPBrowser.exe", 0));
    EXPECT_EQ(0u, browser.ExitCodeAfter(10000));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), other.ExitCodeAfter(0)) << "a program of another name runs on";

    EXPECT_EQ(0, EndSessionProcesses(L"vpclosing.exe", 20000)) << "it ended within its grace time";
    EXPECT_EQ(5u, closing.ExitCodeAfter(0));
    EXPECT_FALSE(SessionProcessRuns(L"vpbrowser.exe"));
}

// Waits (bounded) until count frames of programs named imageName show.
bool FramesShow(const wchar_t* imageName, size_t count)
{
    for (const DWORD start = GetTickCount(); BrowserFrames(imageName).size() < count && GetTickCount() - start < 20000;)
        Sleep(50);
    return BrowserFrames(imageName).size() == count;
}

TEST(BrowserWindowsTest, NothingClosesWithoutAYesAndOnlyWhatStaysOpenIsEndedAfterTheSecondYes)
{
    TempFolder folder;
    NamedProgram browser(folder, L"vpframes.exe", "ShowsBrowserFrames");
    ASSERT_TRUE(FramesShow(L"VPFRAMES.EXE", 2));
    EXPECT_TRUE(BrowserFrames(L"vpother.exe").empty());

    std::vector<std::string> asked;
    bool closeAnswer = false, endAnswer = false;
    BrowserCloseQuestions ask;
    ask.closeWindows = [&](size_t windows) {
        asked.push_back("close " + std::to_string(windows));
        return closeAnswer;
    };
    ask.endPrograms = [&](size_t windows) {
        asked.push_back("end " + std::to_string(windows));
        return endAnswer;
    };
    EXPECT_EQ(BrowserCloseResult::Canceled, CloseBrowserWindows(L"vpframes.exe", ask, 500));
    EXPECT_EQ(2u, BrowserFrames(L"vpframes.exe").size()) << "a no closes nothing";

    closeAnswer = true;
    EXPECT_EQ(BrowserCloseResult::Canceled, CloseBrowserWindows(L"vpframes.exe", ask, 500));
    EXPECT_EQ(1u, BrowserFrames(L"vpframes.exe").size()) << "the frame that asks stays";
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), browser.ExitCodeAfter(0)) << "a no to ending ends nothing";

    endAnswer = true;
    EXPECT_EQ(BrowserCloseResult::Ended, CloseBrowserWindows(L"vpframes.exe", ask, 500));
    EXPECT_EQ(0u, browser.ExitCodeAfter(10000));
    EXPECT_EQ(BrowserCloseResult::NoneOpen, CloseBrowserWindows(L"vpframes.exe", ask, 500));
    const std::vector<std::string> expected{"close 2", "close 2", "end 1", "close 1", "end 1"};
    EXPECT_EQ(expected, asked);
}

TEST(BrowserWindowsTest, TheUninstallersShutdownIEAsksWithTheWindowCountAndCancelClosesNothing)
{
    TempFolder folder;
    NamedProgram browser(folder, L"iexplore.exe", "ShowsBrowserFrames");
    ASSERT_TRUE(FramesShow(L"iexplore.exe", 2));
    HMODULE library = LoadLibraryW(vptest::ToolbarLibraryPath().c_str());
    ASSERT_NE(nullptr, library);
    using Export = int(__cdecl*)();
    auto shutdownIE = reinterpret_cast<Export>(GetProcAddress(library, "ShutdownIE"));
    ASSERT_NE(nullptr, shutdownIE);

    std::wstring question;
    {
        vptest::DialogResponder no(L"Vellumpost Toolbar Uninstall", IDCANCEL, [&question](HWND box) {
            wchar_t text[512] = {};
            GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));  // the message box's text
            question = text;
        });
        EXPECT_EQ(1, shutdownIE()) << "a no stops the uninstallation";
        EXPECT_EQ(1, no.Answered());
    }
    EXPECT_NE(std::wstring::npos, question.find(L'2')) << "the question names the number of windows: " << Narrow(question);
    EXPECT_EQ(2u, BrowserFrames(L"iexplore.exe").size());
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), browser.ExitCodeAfter(0));
    FreeLibrary(library);
}

TEST(UploadFolderTest, RemovesTheFolderFilesButNeitherSubfoldersNorALinkedFolder)
{
    TempFolder upload;
    upload.Write(L"a.jpg", "1");
    upload.Write(L"b.tmp", "2");
    ASSERT_TRUE(CreateDirectoryW(upload.File(L"sub").c_str(), nullptr));
    const std::wstring inSub = upload.Write(L"sub\\c.jpg", "3");
    // A folder link made by the build (links cannot be made from here).
    const std::wstring linked = vptest::HostPath(VP_LINK_FIXTURE "/upload-link");
    const std::wstring kept = vptest::HostPath(VP_LINK_FIXTURE "/outside/kept.jpg");
    {
        File file;
        ASSERT_TRUE(file.Create(kept.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0));
    }
    ASSERT_TRUE(FileExists(linked + L"\\kept.jpg"));

    LogWriter log("CLEANER");
    EXPECT_EQ(2, RemoveFilesIn(upload.Path(), log));
    EXPECT_FALSE(FileExists(upload.File(L"a.jpg")));
    EXPECT_FALSE(FileExists(upload.File(L"b.tmp")));
    EXPECT_TRUE(FileExists(inSub));
    EXPECT_EQ(0, RemoveFilesIn(linked, log)) << "a linked folder is not entered";
    EXPECT_TRUE(FileExists(kept));
    EXPECT_EQ(0, RemoveFilesIn(upload.File(L"missing"), log));
}

class HelperProgramsTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
        const DWORD on = 1;
        RegSetValueExW(key, L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
        log_ = LogWriter("REGISTRATOR");  // reads the setting when made
        logStart_ = vptest::ReadFileBytes(log_.Path()).size();
    }
    void TearDown() override { SetWindows64ForTests(std::nullopt); }
    std::string NewLog() const { return vptest::ReadFileBytes(log_.Path()).substr(logStart_); }

    LogWriter log_{"REGISTRATOR"};
    size_t logStart_ = 0;
};

TEST_F(HelperProgramsTest, CommandLinesQuoteEveryPathAndRunInOrder)
{
    const std::wstring folder = L"C:\\Program Files\\Vellumpost Toolbar\\";
    for (bool registering : {true, false}) {
        const std::vector<HelperCommand> commands = HelperCommands(folder, {L"C:\\windows\\Sysnative"}, registering);
        ASSERT_EQ(2u, commands.size());
        const HelperCommand& proxy = commands[registering ? 0 : 1];
        const HelperCommand& extension = commands[registering ? 1 : 0];
        int count = 0;
        LPWSTR* args = CommandLineToArgvW(proxy.commandLine.c_str(), &count);
        ASSERT_EQ(2, count);
        EXPECT_STREQ(proxy.application.c_str(), args[0]);
        EXPECT_EQ(folder + L"VellumpostContextMenuProxyX64.exe", args[0]);
        EXPECT_STREQ(registering ? L"/regserver" : L"/unregserver", args[1]);
        LocalFree(args);
        args = CommandLineToArgvW(extension.commandLine.c_str(), &count);
        ASSERT_EQ(2, count);
        EXPECT_STREQ(L"C:\\windows\\Sysnative\\rundll32.exe", args[0]);
        EXPECT_EQ(folder + L"VellumpostContextMenuExtensionX64.dll" +
                      (registering ? L",DllRegisterServer" : L",DllUnregisterServer"),
                  args[1]);
        LocalFree(args);
        EXPECT_FALSE(proxy.redirectionOff || extension.redirectionOff);
    }
}

// A 32-bit process on 64-bit Windows without the "Sysnative" alias (64-bit XP
// and Server 2003 without the update) still reaches the native RUNDLL32.
TEST_F(HelperProgramsTest, NativeProgramsAreReachedWithOrWithoutTheAlias)
{
    const std::wstring windows = L"C:\\WINDOWS", system = L"C:\\WINDOWS\\system32";
    const NativeSystemFolder native = ChooseNativeSystemFolder(false, windows, system, false);
    EXPECT_EQ(system, native.path);
    EXPECT_FALSE(native.redirectionOff);
    const NativeSystemFolder alias = ChooseNativeSystemFolder(true, windows, system, true);
    EXPECT_EQ(L"C:\\WINDOWS\\Sysnative", alias.path);
    EXPECT_FALSE(alias.redirectionOff);
    const NativeSystemFolder noAlias = ChooseNativeSystemFolder(true, windows, system, false);
    EXPECT_EQ(system, noAlias.path);
    EXPECT_TRUE(noAlias.redirectionOff);

    const std::vector<HelperCommand> commands = HelperCommands(L"C:\\Vellumpost\\", noAlias, false);
    ASSERT_EQ(2u, commands.size());
    EXPECT_EQ(system + L"\\rundll32.exe", commands[0].application);
    EXPECT_TRUE(commands[0].redirectionOff);
    EXPECT_FALSE(commands[1].redirectionOff) << "the proxy lives in the program folder";

    // Turning redirection off around the start does not keep a program from running.
    const std::wstring cmd = NativeSystemFolderOfThisProcess().path + L"\\cmd.exe";
    EXPECT_EQ(5u, RunHelper({cmd, L"\"" + cmd + L"\" /c exit 5", true}, 10000, log_).value_or(0));
}

TEST_F(HelperProgramsTest, HelpersRunOnlyOn64BitWindowsAndTheirOutcomeIsLogged)
{
    SetWindows64ForTests(false);
    RegisterHelperPrograms(true, log_);
    // Other test processes of this program may log beside it (their own helpers).
    EXPECT_EQ(std::string::npos, NewLog().find("/regserver")) << NewLog();
    EXPECT_EQ(std::string::npos, NewLog().find("rundll32")) << NewLog();

    // The test program's folder holds neither helper: the proxy server cannot
    // start, the system's RUNDLL32 starts and reports its exit code.
    SetWindows64ForTests(true);
    RegisterHelperPrograms(true, log_);
    const std::string log = NewLog();
    EXPECT_NE(std::string::npos, log.find("REGISTRATOR\t- Cannot execute: \"")) << log;
    EXPECT_NE(std::string::npos, log.find("VellumpostContextMenuProxyX64.exe\" /regserver\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find("REGISTRATOR\t- Exit code ")) << log;
    EXPECT_NE(std::string::npos, log.find("rundll32.exe\" \"")) << log;

    const std::wstring cmd = NativeSystemFolderOfThisProcess().path + L"\\cmd.exe";
    EXPECT_EQ(7u, RunHelper({cmd, L"\"" + cmd + L"\" /c exit 7"}, 10000, log_).value_or(0));
    EXPECT_FALSE(RunHelper({cmd, L"\"" + cmd + L"\" /c ping -n 3 127.0.0.1"}, 50, log_).has_value());
    EXPECT_NE(std::string::npos, NewLog().find("Still running after 50 ms: ")) << NewLog();
}

TEST(BrowserWindowWaitTest, WaitEndsWhenTheWindowShowsIsGoneOrTheBoundPasses)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    DWORD start = GetTickCount();
    EXPECT_FALSE(WaitUntilShown(window, 300));
    EXPECT_GE(GetTickCount() - start, 300u);

    ShowWindow(window, SW_SHOWNOACTIVATE);
    start = GetTickCount();
    EXPECT_TRUE(WaitUntilShown(window, 30000));
    DestroyWindow(window);
    EXPECT_FALSE(WaitUntilShown(window, 30000));
    EXPECT_LT(GetTickCount() - start, 5000u);
}

}  // namespace
