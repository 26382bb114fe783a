// The steps behind the installer's exports that can be driven on their own:
// emptying the upload folder and waiting for a new browser window to show.
#pragma once

#include <windows.h>

#include <string>

class LogWriter;

// The folder where pictures prepared for upload are written:
// "<local application data>[Low]\VellumpostToolbar\upload"; empty when the
// application-data folder is unknown.
std::wstring UploadFolderPath();

// Deletes the files directly in folder. Subfolders, and links of any kind
// (reparse points) with what they lead to, are left alone; a folder that is
// itself a link is not entered. Returns the number of files deleted.
int RemoveFilesIn(const std::wstring& folder, const LogWriter& log);

// Waits while window exists and is not yet visible, polling every 100 ms for
// at most boundMs, then 100 ms more so that the browser can finish its layout.
// Returns whether the window became visible.
bool WaitUntilShown(HWND window, DWORD boundMs);
