// The one address parser (see the header).
#include "common/UrlParts.h"

namespace {

bool IsAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

wchar_t AsciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

std::wstring AsciiLower(std::wstring text)
{
    for (wchar_t& c : text) c = AsciiLower(c);
    return text;
}

unsigned short DefaultPort(const std::wstring& scheme)
{
    if (scheme == L"http") return 80;
    if (scheme == L"https") return 443;
    if (scheme == L"ftp") return 21;
    return 0;
}

// A host name of letters, digits, "-", "." and "_", or "[" IPv6 "]".
bool IsValidHost(const std::wstring& host)
{
    if (host.empty() || host.size() > kMaxHostLength) return false;
    if (host.front() == L'[') {
        if (host.size() < 3 || host.back() != L']') return false;
        for (size_t i = 1; i + 1 < host.size(); ++i) {
            const wchar_t c = host[i];
            const bool hex = IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
            if (!hex && c != L':' && c != L'.') return false;
        }
        return true;
    }
    for (wchar_t c : host)
        if (!IsAsciiLetter(c) && !IsDigit(c) && c != L'-' && c != L'.' && c != L'_') return false;
    return true;
}

// 1 to 5 digits with a value of 1 to 65535.
bool ParsePort(const std::wstring& text, unsigned short& port)
{
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (wchar_t c : text) {
        if (!IsDigit(c)) return false;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value == 0 || value > 65535) return false;
    port = static_cast<unsigned short>(value);
    return true;
}

}  // namespace

bool ParseHostPort(const std::wstring& text, std::wstring& host, unsigned short& port, bool& explicitPort)
{
    if (text.find(L'\0') != std::wstring::npos) return false;
    size_t colon = std::wstring::npos;
    if (!text.empty() && text.front() == L'[') {
        const size_t close = text.find(L']');
        if (close == std::wstring::npos) return false;
        if (close + 1 < text.size()) {
            if (text[close + 1] != L':') return false;
            colon = close + 1;
        }
    } else {
        colon = text.find(L':');
    }
    host = AsciiLower(text.substr(0, colon));
    if (!IsValidHost(host)) return false;
    explicitPort = colon != std::wstring::npos;
    if (explicitPort) return ParsePort(text.substr(colon + 1), port);
    port = 0;
    return true;
}

bool ParseUrl(const std::wstring& url, UrlParts& parts)
{
    if (url.size() > kMaxUrlLength || url.find(L'\0') != std::wstring::npos) return false;

    const size_t colon = url.find(L':');
    if (colon == std::wstring::npos || colon == 0 || !IsAsciiLetter(url[0])) return false;
    for (size_t i = 1; i < colon; ++i) {
        const wchar_t c = url[i];
        if (!IsAsciiLetter(c) && !IsDigit(c) && c != L'+' && c != L'-' && c != L'.') return false;
    }
    if (url.compare(colon + 1, 2, L"//") != 0) return false;
    parts = UrlParts();
    parts.scheme = AsciiLower(url.substr(0, colon));

    const size_t authorityStart = colon + 3;
    size_t authorityEnd = url.find_first_of(L"/\\?#", authorityStart);
    if (authorityEnd == std::wstring::npos) authorityEnd = url.size();
    const std::wstring authority = url.substr(authorityStart, authorityEnd - authorityStart);

    // "user:password@" names no host; the host follows the last "@".
    const size_t at = authority.rfind(L'@');
    size_t hostOffset = 0;
    if (at != std::wstring::npos) {
        const std::wstring userInfo = authority.substr(0, at);
        const size_t split = userInfo.find(L':');
        parts.user = userInfo.substr(0, split);
        if (split != std::wstring::npos) parts.password = userInfo.substr(split + 1);
        hostOffset = at + 1;
    }
    const std::wstring hostPort = authority.substr(hostOffset);
    if (!ParseHostPort(hostPort, parts.host, parts.port, parts.explicitPort)) return false;
    if (!parts.explicitPort) parts.port = DefaultPort(parts.scheme);
    parts.hostStart = authorityStart + hostOffset;
    parts.hostLength = hostPort.size();

    const size_t extraStart = url.find_first_of(L"?#", authorityEnd);
    if (extraStart == std::wstring::npos) {
        parts.path = url.substr(authorityEnd);
    } else {
        parts.path = url.substr(authorityEnd, extraStart - authorityEnd);
        parts.extra = url.substr(extraStart);
    }
    return true;
}

bool IsLoopbackHost(const std::wstring& host)
{
    if (host == L"localhost" || host == L"[::1]") return true;
    // Four dotted decimal numbers of 0 to 255, the first 127.
    unsigned numbers[4] = {};
    size_t count = 0, digits = 0;
    for (wchar_t c : host) {
        if (c == L'.') {
            if (digits == 0 || ++count > 3) return false;
            digits = 0;
            continue;
        }
        if (!IsDigit(c) || ++digits > 3) return false;
        numbers[count] = numbers[count] * 10 + static_cast<unsigned>(c - L'0');
        if (numbers[count] > 255) return false;
    }
    return count == 3 && digits > 0 && numbers[0] == 127;
}
