// Whether the process that loaded the module is the browser.
#pragma once

// True when the program of this process is "iexplore.exe" (or its path cannot
// be read or has no folder part). Computed on first use and cached.
bool HostedInBrowser();

// The rule on a given program path.
bool IsBrowserProgramPath(const wchar_t* path);
