// Splits web addresses into scheme, user information, host, port, path and the
// rest. Every "which host is this?" question goes through this one parser, so
// the page lock, the service addresses and the uploader agree on every text.
#pragma once

#include <string>

struct UrlParts {
    std::wstring scheme;    // lower case, without the ":"
    std::wstring user;      // user information before the last "@", as written
    std::wstring password;  // after the first ":" of the user information
    std::wstring host;      // lower case; an IPv6 literal keeps its brackets
    unsigned short port = 0;  // as written, else the scheme's default (0: none known)
    bool explicitPort = false;
    std::wstring path;   // from the end of the authority up to "?" or "#"
    std::wstring extra;  // the "?" or "#" and everything after it
    // Where "host[:port]" stands in the text (for replacing it).
    size_t hostStart = 0;
    size_t hostLength = 0;
};

// The longest address and host text the parser accepts.
constexpr size_t kMaxUrlLength = 32 * 1024;
constexpr size_t kMaxHostLength = 255;

// Parses "scheme://[user[:password]@]host[:port][path][?query][#fragment]".
// The authority ends at the first "/", "\", "?" or "#" (browsers read "\" as
// "/"). False, with parts unspecified, for an embedded NUL anywhere in the
// text, a missing scheme or "//", a host that is empty, too long or holds
// anything but letters, digits, "-", "." and "_" (or a bracketed IPv6
// literal), a port that is not 1 to 65535, or text longer than kMaxUrlLength.
bool ParseUrl(const std::wstring& url, UrlParts& parts);

// "host" or "host:port" alone, as a setting holds a server, by the same rules.
bool ParseHostPort(const std::wstring& text, std::wstring& host, unsigned short& port, bool& explicitPort);

// A parsed host of this machine: 127.0.0.0/8 in dotted decimal, "localhost" or "[::1]".
bool IsLoopbackHost(const std::wstring& host);
