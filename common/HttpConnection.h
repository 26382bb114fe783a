// A synchronous HTTP client for small downloads (update document, pages).
#pragma once

#include <windows.h>

#include <string>

#include "common/InternetHandles.h"

class HttpConnection {
public:
    HttpConnection();
    // Prepares a request for url with verb; false (and a log line) on failure.
    bool Open(const wchar_t* url, const wchar_t* verb);
    // Open(url, "GET") and send it without headers or body.
    bool OpenGetStream(const wchar_t* url);
    // The whole response body as bytes; fails on a status other than 200.
    bool ReadAll(std::string& text);

    // Most bytes ReadAll accepts; a longer answer fails instead of growing without end.
    static const size_t kMaxResponseBytes = 16 * 1024 * 1024;

private:
    DWORD started_;
    Internet internet_;
    InternetConnection connection_;
    InternetHttpRequest request_;
};
