// Small text helpers of the development service: escaping for XML, HTML and
// JSON output, the Cookie header, and the names under which files are stored.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace devservice {

// Escapes &, <, >, " and ' (good for XML text, attributes and HTML).
std::string xmlEscape(const std::string& text);

// A JSON string literal with quotes. Bytes that are not valid UTF-8 (the
// toolbar sends its fields in the Windows ANSI code page) are read as
// Latin-1, so the output is always valid JSON.
std::string jsonString(const std::string& text);

std::string toLower(std::string text);
bool startsWithNoCase(const std::string& text, const std::string& prefix);

// "a=1; b=2" into name/value pairs in order; values are not unquoted.
std::vector<std::pair<std::string, std::string>> parseCookieHeader(const std::string& header);

// A file name that is safe as one URL path segment and one file name:
// the part after the last '/' or '\', letters, digits, '.', '-' and '_'
// kept, other bytes replaced by '_', no leading dot, at most 80 characters
// (the extension is kept), "file" when nothing is left.
std::string storedFileName(const std::string& clientName);

// The extension of a name (after the last '.'), lower-cased; empty if none.
std::string extensionOf(const std::string& name);

// Whether a file name has one of the extensions the toolbar sends as video.
bool isVideoName(const std::string& name);

// A decimal integer in [low, high], the whole text; false otherwise.
bool readInteger(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& out);

// Content type for serving a stored file, by its extension.
std::string contentTypeFor(const std::string& name);

}  // namespace devservice
