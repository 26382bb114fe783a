// Addresses of the service: a string-table URL, with its host replaced by the
// setting "ForceServer" when that is set (a development or test server).
#pragma once

#include <windows.h>

#include <string>

// The URL of string id, host replaced by ForceServer when it is set.
std::wstring ServiceUrl(UINT id);
// url with its host (and port) replaced by host; url unchanged when it cannot be
// parsed (ParseUrl).
std::wstring ReplaceUrlHost(const std::wstring& url, const std::wstring& host);
// The host part (with port) of url as written; empty when it cannot be parsed.
std::wstring UrlHost(const std::wstring& url);
