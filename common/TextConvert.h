// Conversions between the UTF-16 text of the interfaces and the narrow text of
// request bodies and the log.
#pragma once

#include <windows.h>

#include <string>

// UTF-16 to narrow text in the given code page (the system code page by default),
// without best-fit mapping: characters the code page lacks become its default character.
std::string Narrow(const std::wstring& text, UINT codePage = CP_ACP);
// Narrow text in the given code page to UTF-16.
std::wstring Widen(const std::string& text, UINT codePage = CP_ACP);
// Lower-case copy (locale-independent for the ASCII range and the system's case table otherwise).
std::wstring ToLower(std::wstring text);
// Replaces every occurrence of what by with, left to right; returns the number replaced.
size_t ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with);
// The text of a string-table entry of this module; empty when it is missing.
std::wstring LoadModuleString(UINT id);
