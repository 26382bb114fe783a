// Writes a picture of one of the product's windows: opens it as the product
// does, waits until it has been shown and painted, captures every visible
// window of the thread (the window with its open lists and menus) into a PNG
// file and closes it.
//
//   vpwindowshots --window NAME --shot FILE.png
//   vpwindowshots --setup SETUP.exe FOLDER SHOT-PREFIX
//   vpwindowshots --list
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "common/TextConvert.h"
#include "support/ScreenPicture.h"
#include "tools/windowshots/WindowShots.h"

namespace {

const ShotWindow kWindows[] = {
    {L"about", &OpenAboutWindow},
    {L"update", &OpenUpdateWindow},
    {L"login", &OpenLoginWindow},
    {L"warning", &OpenWarningWindow},
    {L"progress", &OpenProgressWindow},
    {L"upload-files", &OpenUploadFilesWindow},
    {L"cancel-tagging", &OpenCancelTaggingWindow},
    {L"slideshow-files", &OpenSlideshowFilesWindow},
    {L"slide-order", &OpenSlideOrderWindow},
    {L"slideshow", &OpenSlideShowWindow},
    {L"tag", &OpenTagWindow},
    {L"tags", &OpenTagsWindow},
    {L"page-images", &OpenPageImagesWindow},
    {L"explorer-menu", &OpenExplorerMenuWindow},
    {L"page-drop", &OpenPageDropWindow},
};

struct Shot {
    DWORD thread = 0;
    std::wstring file;
    bool saved = false;
};

// Waits for the window to show, gives it time to paint, pictures it and asks
// it to close; a window that does not close ends the program.
DWORD WINAPI Photographer(void* param)
{
    Shot& shot = *static_cast<Shot*>(param);
    auto nothingShown = [&] {
        const RECT rect = VisibleWindowsOfThread(shot.thread);
        return IsRectEmpty(&rect) != FALSE;
    };
    for (int i = 0; i < 100 && nothingShown(); ++i) Sleep(100);
    Sleep(1000);
    const RECT rect = VisibleWindowsOfThread(shot.thread);
    shot.saved = !IsRectEmpty(&rect) && CaptureScreen(rect, shot.file);
    for (int i = 0; i < 50; ++i) {
        HWND active = nullptr;
        GUITHREADINFO info{sizeof(info)};
        if (GetGUIThreadInfo(shot.thread, &info)) active = info.hwndActive;
        if (!active) {
            if (nothingShown()) return 0;
        } else {
            PostMessageW(active, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(active, WM_CLOSE, 0, 0);
        }
        Sleep(100);
    }
    std::fprintf(stderr, "the window did not close\n");
    ExitProcess(shot.saved ? 0 : 5);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring name, file;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--list") {
            for (const ShotWindow& window : kWindows) std::printf("%s\n", Narrow(window.name).c_str());
            return 0;
        }
        if (arg == L"--setup" && i + 3 < argc) return ShootSetupPages(argv[i + 1], argv[i + 2], argv[i + 3]);
        if (arg == L"--window" && i + 1 < argc) name = argv[++i];
        else if (arg == L"--shot" && i + 1 < argc) file = argv[++i];
    }
    const ShotWindow* chosen = nullptr;
    for (const ShotWindow& window : kWindows)
        if (name == window.name) chosen = &window;
    if (!chosen || file.empty()) {
        std::fprintf(stderr, "usage: vpwindowshots --window NAME --shot FILE.png | --list\n");
        return 2;
    }
    if (FAILED(OleInitialize(nullptr))) return 3;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Shot shot;
    shot.thread = GetCurrentThreadId();
    shot.file = file;
    HANDLE photographer = CreateThread(nullptr, 0, &Photographer, &shot, 0, nullptr);
    int rc = 0;
    try {
        chosen->open();
    } catch (...) {
        std::fprintf(stderr, "unexpected exception\n");
        rc = 3;
    }
    if (photographer) {
        WaitForSingleObject(photographer, 10000);
        CloseHandle(photographer);
    }
    OleUninitialize();
    if (rc == 0 && !shot.saved) rc = 5;
    return rc;
}
