// The right-click menus' windows for pictures: "Upload All Images" run over a
// page with pictures, and the Explorer menu as the menu object fills it,
// shown as a real popup menu over a stand-in folder window.
#include <windows.h>

#include <wrl/client.h>

#include "browser/ImageContextMenu.h"
#include "support/BrowserDoubles.h"
#include "support/DropFiles.h"
#include "tools/windowshots/WindowShots.h"

using Microsoft::WRL::ComPtr;

void OpenPageImagesWindow()
{
    // A page with two photographs, a thumbnail-sized button and a 1 x 1
    // counter: the counter is never offered, the small button is unchecked.
    vptest::BrowserPage page = vptest::BrowserPage::Create();
    page.document->url = L"http://example.com/holiday/index.html";
    page.document->images = {vptest::BrowserPicture::Create(L"http://example.com/holiday/harbour.jpg", 640, 480),
                             vptest::BrowserPicture::Create(L"http://example.com/holiday/beach.png", 320, 240),
                             vptest::BrowserPicture::Create(L"http://example.com/img/next.gif", 24, 24),
                             vptest::BrowserPicture::Create(L"http://counter.example.net/c.gif", 1, 1)};
    ComPtr<IImageContextMenu> menu = CImageContextMenu::Make<IImageContextMenu>();
    if (menu) menu->UploadAllImages(vptest::Query<IDispatch>(page.window).Get());
}

void OpenExplorerMenuWindow()
{
    ComPtr<IShellExtInit> init = CImageContextMenu::Make<IShellExtInit>();
    ComPtr<IContextMenu> menu;
    if (!init || FAILED(init->Initialize(nullptr, vptest::DropData({L"C:\\Pictures\\harbour.jpg"}).Get(), nullptr)) ||
        FAILED(init.As(&menu)))
        return;
    HWND folder = CreateWindowExW(0, L"STATIC", L"Pictures", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 420, 300,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HMENU popup = CreatePopupMenu();
    // The shell's own entries around the product's, as Explorer shows them.
    AppendMenuW(popup, MF_STRING, 1, L"Open");
    AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    menu->QueryContextMenu(popup, 2, 100, 200, CMF_NORMAL);
    InsertMenuW(popup, static_cast<UINT>(GetMenuItemCount(popup)), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup, MF_STRING, 2, L"Properties");
    SetForegroundWindow(folder);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN, 120, 100, 0, folder, nullptr);
    DestroyMenu(popup);
    MSG message;
    while (IsWindow(folder) && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
