// Who drives a scriptable object: native code, or script on a web page. Holds
// the object's site and whether it was made safe for untrusted callers, and
// decides, at every call, whether the call may go on.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <string>

#include "common/LogWriter.h"

class PageOrigin {
public:
    // IObjectWithSite.
    void SetSite(IUnknown* site) { site_ = site; }
    HRESULT GetSite(REFIID iid, void** site) const;

    // A caller asked for safety for untrusted callers: script made the object,
    // so from now on an object without a site serves nobody.
    void MarkScriptMade() { scriptMade_ = true; }

    // The whole address of the page that holds the object, as the page gives
    // it (embedded NULs included); empty: no site, or no address found.
    std::wstring PageUrl() const;

    // S_OK for native callers (never made safe for scripting, no site) and for
    // pages of the service; pageHost (when given) then names the page's host,
    // or is empty for a native caller. E_ACCESSDENIED, logged with operation,
    // for any other page and for script-made objects without a site.
    HRESULT Check(const char* operation, const LogWriter& log, std::wstring* pageHost = nullptr) const;

private:
    Microsoft::WRL::ComPtr<IUnknown> site_;
    bool scriptMade_ = false;
};
