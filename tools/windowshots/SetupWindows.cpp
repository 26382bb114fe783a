// Pictures of the setup program's pages, of the uninstaller's warning about
// waiting uploads and of its confirmation: the programs run as a user starts
// them, each page is pictured once it has painted, and the page's own buttons
// move on (Next, Install, Finish; Yes to the warning, then Cancel for the
// uninstaller, which so removes nothing).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "common/Handle.h"
#include "common/TextConvert.h"
#include "engine/Outbox.h"
#include "support/ScreenPicture.h"
#include "tools/windowshots/WindowShots.h"

namespace {

const int kNext = 1;    // the wizard's Next, Install, Finish and Uninstall button
const int kCancel = 2;  // its Cancel and Close button

// A visible wizard window (or message box): of process (0: any), with title
// in its caption and a button of id.
struct WizardSearch {
    DWORD process;
    const wchar_t* title;
    int button;
    HWND wizard;
};

BOOL CALLBACK FindWizard(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WizardSearch*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t caption[128] = {};
    GetWindowTextW(window, caption, ARRAYSIZE(caption));
    if ((search->process == 0 || process == search->process) && wcsstr(caption, search->title) &&
        IsWindowVisible(window) && GetDlgItem(window, search->button)) {
        search->wizard = window;
        return FALSE;
    }
    return TRUE;
}

// Waits (bounded) for a wizard page whose button next (Next unless told) is
// enabled and reads nextText, pictures it into file and presses button on it.
bool ShootPage(DWORD process, const wchar_t* title, const wchar_t* nextText, const std::wstring& file, int button,
               int next = kNext)
{
    for (int i = 0; i < 300; ++i) {
        WizardSearch search{process, title, next, nullptr};
        EnumWindows(&FindWizard, reinterpret_cast<LPARAM>(&search));
        wchar_t text[64] = {};
        if (search.wizard) GetDlgItemTextW(search.wizard, next, text, ARRAYSIZE(text));
        if (search.wizard && IsWindowEnabled(GetDlgItem(search.wizard, next)) && wcscmp(text, nextText) == 0) {
            Sleep(700);  // the page's controls paint after the button changes
            RECT rect{};
            GetWindowRect(search.wizard, &rect);
            const bool saved = CaptureScreen(rect, file);
            std::printf("%s: %s\n", Narrow(file, CP_UTF8).c_str(), saved ? "written" : "NOT written");
            PostMessageW(search.wizard, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(search.wizard, button)));
            return saved;
        }
        Sleep(100);
    }
    std::printf("no page with the button %s\n", Narrow(nextText).c_str());
    return false;
}

bool Start(ProcessEx& program, const std::wstring& path, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + path + L"\" " + arguments;
    return program.Run(path.c_str(), &commandLine[0], nullptr, 0) != 0;
}

}  // namespace

int ShootSetupPages(const std::wstring& setup, const std::wstring& folder, const std::wstring& shotPrefix)
{
    int missing = 0;
    ProcessEx program;
    if (!Start(program, setup, L"/D=" + folder)) return 3;
    const struct {
        const wchar_t* next;
        const wchar_t* name;
    } pages[] = {{L"&Next >", L"welcome"}, {L"&Install", L"folder"}, {L"&Next >", L"progress"}, {L"&Finish", L"finish"}};
    for (const auto& page : pages)
        if (!ShootPage(GetProcessId(program), L"Setup", page.next, shotPrefix + page.name + L".png", kNext)) ++missing;
    if (program.Wait(60000) != WAIT_OBJECT_0) TerminateProcess(program, 1);

    // Two uploads of this user wait, so the uninstaller warns first; they
    // go again once it is pictured. The uninstaller goes on in a copy of
    // itself, found by its window.
    Outbox outbox;
    OutboxAdmission admission;
    std::vector<std::wstring> waiting;
    for (const wchar_t* name : {L"C:\\Pictures\\beach at dusk.jpg", L"C:\\Pictures\\screenshot 2.png"}) {
        OutboxRecord record;
        record.path = record.name = name;
        record.created = OutboxNow();
        waiting.push_back(outbox.Add(record, 0, admission));
    }
    ProcessEx uninstaller;
    if (!Start(uninstaller, folder + L"\\VellumpostToolbarUninstall.exe", L"")) return 3;
    if (!ShootPage(0, L"Uninstall", L"&Yes", shotPrefix + L"uninstall-waiting.png", IDYES, IDYES)) ++missing;
    if (!ShootPage(0, L"Uninstall", L"&Uninstall", shotPrefix + L"uninstall-confirm.png", kCancel)) ++missing;
    for (const auto& id : waiting) outbox.Remove(id);
    return missing == 0 ? 0 : 5;
}
