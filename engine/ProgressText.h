// The texts the progress displays show: the size of the current item, the
// label of what is being done, and a question with its details. Plain
// functions over given texts so that the rules are checked without a window.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

// "1023 B", "1.4 KB", "100 KB", "1.0 MB", ... "100 GB"; empty for 0. The
// decimal is the first digit after the point, truncated, never rounded.
std::wstring SizeText(ULONGLONG bytes);

// The item name shown in the label: the part after the last backslash, or
// when there is none, after the last slash.
std::wstring ItemNameFromPath(const std::wstring& path);

// The label for labelFormat ("Uploading %s"): formatted with the item name
// for a single item, otherwise with fileOfFormat ("File %i of %i") formatted
// with (index + 1, count).
std::wstring ItemLabel(const std::wstring& labelFormat, const std::wstring& fileOfFormat,
                       const std::wstring& itemName, int index, int count);

// text, followed by detailsFormat ("\n\nDetails:\n%s") formatted with detail
// when detail is present and not empty.
std::wstring QuestionText(const wchar_t* text, const std::wstring& detailsFormat, const wchar_t* detail);

// One argument of FormatText: a text for %s or a number for %i / %d.
struct TextArg {
    TextArg(const std::wstring& value) : text(value) {}
    TextArg(const wchar_t* value) : text(value ? value : L"") {}
    TextArg(int value) : isNumber(true), number(value) {}

    bool isNumber = false;
    std::wstring text;
    int number = 0;
};

// printf-like formatting of a string-table text that knows only %s, %i, %d and
// %%. Each placeholder takes the next argument; a placeholder without an
// argument, or with one of the other kind, stays as written, so a damaged
// resource text cannot read memory it was not given.
std::wstring FormatText(const std::wstring& format, std::initializer_list<TextArg> args);
