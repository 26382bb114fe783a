// Opens an address in a new visible browser window: the login invitation's
// Register and the update check's Update. One replaceable opener per process,
// so tests see what would open instead of starting a browser.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

using BrowserWindowOpener = std::function<HRESULT(const std::wstring& url)>;

// Creates a browser instance, navigates it to url and shows it once the
// navigation started; the failure's HRESULT otherwise.
HRESULT OpenInNewBrowserWindow(const std::wstring& url);

// Replaces the opener (null restores the browser).
void SetBrowserWindowOpener(BrowserWindowOpener opener);
