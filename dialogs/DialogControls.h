// Small readers and writers of dialog controls shared by the dialogs.
#pragma once

#include <windows.h>

#include <string>

bool IsControlChecked(HWND dialog, int id);
void SetControlChecked(HWND dialog, int id, bool on);
// The whole text of a control, however long.
std::wstring ControlText(HWND dialog, int id);
// The selected entry of a combo box, or -1.
int ComboSelection(HWND dialog, int id);
// Sets a report list view up with one column and the given extended styles.
void SetUpListColumn(HWND list, const std::wstring& title, int width, DWORD extendedStyles);
