// Where the settings live: the per-user key chosen by the Windows version, and
// the low-integrity rule that also decides where the log and uploads go.
#pragma once

#include <string>

// True on Windows versions after 5.x (Vista and later), where the browser runs
// at low integrity and can write only below the "LowRegistry" key and the
// "Low" application-data folder. Computed once per process.
bool UsesLowIntegrityPaths();

// Settings key below HKEY_CURRENT_USER.
const wchar_t* SettingsKeyPath();

// Known-tags key below HKEY_CURRENT_USER.
std::wstring TagsKeyPath();

// Local application-data folder, with "Low" appended to its name where the
// low-integrity rule applies; empty when the folder is unknown.
std::wstring UserDataFolder(bool create = false);
