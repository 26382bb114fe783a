// Window shots of the 64-bit Explorer extension: its right-click entries for
// one selected picture, drawn as a real popup menu below Explorer's own.
#include "tools/windowshots/WindowShots.h"

#include "shellext64/MenuItems.h"

void OpenExplorerMenuWindow()
{
    // A tiny window stands for Explorer's at the place of the right-click.
    const HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 200, 160, 1, 1,
                                       nullptr, nullptr, nullptr, nullptr);
    const HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Open");
    AppendMenuW(menu, MF_STRING, 2, L"Edit");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, 3, L"Properties");
    // The entries go where Explorer asks for them, here after "Edit".
    const MenuItems items = MenuItemsFor(1);
    for (UINT i = 0; i < items.count; ++i)
        InsertMenuW(menu, 2 + i, MF_BYPOSITION | MF_STRING, 100 + i, items.wide[i].c_str());
    SetForegroundWindow(owner);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, 200, 160, 0, owner, nullptr);
    DestroyMenu(menu);
    if (IsWindow(owner)) DestroyWindow(owner);
}
