// The product's windows that vpwindowshots can open for a picture. Each entry
// opens its window with sample contents the way the product does (modal
// dialogs modally); the program pictures the window once it is shown and
// then closes it. Each area of the product keeps its entries in a source file
// of its own here and adds them to the table in WindowShots.cpp.
#pragma once

#include <windows.h>

#include <string>

struct ShotWindow {
    const wchar_t* name;  // as given to --window
    // Opens the window on the calling thread and returns when it is closed.
    void (*open)();
};

// The about box, update question, login invitation and file warning; the
// upload engine's progress, upload file and cancel-tagging windows.
void OpenAboutWindow();
void OpenUpdateWindow();
void OpenLoginWindow();
void OpenWarningWindow();
void OpenProgressWindow();
void OpenUploadFilesWindow();
void OpenCancelTaggingWindow();
// The slideshow dialogs.
void OpenSlideshowFilesWindow();
void OpenSlideOrderWindow();
void OpenSlideShowWindow();
// The tag dialogs.
void OpenTagWindow();
void OpenTagsWindow();
// The right-click menus.
void OpenPageImagesWindow();
void OpenExplorerMenuWindow();
// A page's text area after pictures were dropped on it and hosted.
void OpenPageDropWindow();

// Runs the setup program interactively into folder and pictures its pages
// (welcome, folder, progress, finish), then the installed uninstaller's
// confirmation, which it cancels: files shotPrefix + page name + ".png".
// Returns 0 when every picture was written.
int ShootSetupPages(const std::wstring& setup, const std::wstring& folder, const std::wstring& shotPrefix);
