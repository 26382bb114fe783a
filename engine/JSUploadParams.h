// What a page of the service tells the toolbar before an upload: whether it
// takes pictures, videos and several files at once (page script functions),
// and a cookie value planted in a hidden input of the page.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>

#include "engine/PageScriptFunction.h"

class CJSUploadParams {
public:
    // document: the page's document (IHTMLDocument2). A document without a
    // parent window allows everything and has no cookie.
    explicit CJSUploadParams(IUnknown* document);

    // Each answer is true unless the page's function answers false.
    bool IsImageAllowed() const;
    bool IsVideoAllowed() const;
    bool IsMultiUploadAllowed() const;
    // The value of the hidden input "id_magic_vellumpost_cookie", if any.
    const std::optional<std::wstring>& GetCookie() const { return cookie_; }

private:
    bool Ask(const PageScriptFunction& function, const char* name) const;

    PageScriptFunction imageAllowed_;
    PageScriptFunction videoAllowed_;
    PageScriptFunction multiUploadAllowed_;
    std::optional<std::wstring> cookie_;
};
