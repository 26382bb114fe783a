// A named function of a web page's script, found once as a property of the
// page window's script object and then called through its default member.
// Used by the displays and readers that talk to the service's own pages.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

class PageScriptFunction {
public:
    // The locale of every lookup and call (LOCALE_SYSTEM_DEFAULT).
    static constexpr LCID kLocale = 2048;

    PageScriptFunction() = default;
    // Looks name up on windowScript: GetIDsOfNames, then a property get. Only
    // a non-null object is kept; otherwise the function stays empty.
    PageScriptFunction(IDispatch* windowScript, const wchar_t* name);

    bool Empty() const { return !function_; }
    // Forgets the function: later calls do nothing.
    void Release() { function_.Reset(); }

    // Calls the function with count arguments given in script order (first
    // argument first). result may be null; otherwise it receives the
    // answer, which the caller clears. E_POINTER when the function is empty.
    [[nodiscard]] HRESULT Call(const VARIANT* args, UINT count, VARIANT* result) const;

private:
    Microsoft::WRL::ComPtr<IDispatch> function_;
};
