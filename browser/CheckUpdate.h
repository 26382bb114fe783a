// The update check: asks the toolbar host which toolbar version is the newest
// and, when it is newer than this module's, offers to open its download page.
// Checks run on one background worker thread per process, so neither the
// network nor the question ever holds up a browser window.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>

#include "VellumpostToolbar_h.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"

// Whether offered names a newer version than current. Both are dotted
// numbers (at most four parts, missing parts count as 0), white space at
// either end ignored; an offered text that is no such number is never newer.
bool IsNewerVersion(const std::wstring& offered, const std::wstring& current);

class CCheckUpdate : public ComObject<CCheckUpdate, TypeLibDispatch<ICheckUpdate>> {
public:
    CCheckUpdate();

    // On the worker thread: the check itself (CheckNow). Called on any other
    // thread it hands a check with this object's owner window to the worker
    // and answers S_OK at once.
    STDMETHODIMP CheckForUpdate() override;
    // E_INVALIDARG for a handle that is not a window; otherwise keeps the new
    // owner from closing while this object lives and lets the old one go.
    STDMETHODIMP put_CallerHWND(OLE_HANDLE value) override;

    // Fetches the update document and offers a newer version, on this thread:
    // S_OK when the document was read (whether or not anything was offered),
    // E_FAIL otherwise.
    HRESULT CheckNow();

    // Starts a check on the worker thread with owner (may be null) as the
    // window kept while it runs; the worker is started when none runs. False
    // when no worker could be started.
    static bool StartUpdateCheck(HWND owner);
    // Waits up to milliseconds for the worker to finish its checks; true when
    // no worker runs.
    static bool WaitForWorker(DWORD milliseconds);

protected:
    ~CCheckUpdate() override;

private:
    void LetOwnerGo();

    LogWriter log_;
    HWND owner_ = nullptr;
    bool kept_ = false;
};
