// Text conversions (see the header).
#include "common/TextConvert.h"

#include "common/ModuleInstance.h"

std::string Narrow(const std::wstring& text, UINT codePage)
{
    if (text.empty()) return std::string();
    // Best-fit mapping would turn look-alikes into the characters they imitate
    // (a full-width quote into '"'); unmappable text becomes the default
    // character instead. The UTF code pages map everything and take no flags.
    const DWORD flags = codePage == CP_UTF8 || codePage == CP_UTF7 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(text.size());
    int n = WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(n, '\0');
    WideCharToMultiByte(codePage, flags, text.data(), size, &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text, UINT codePage)
{
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(n, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::wstring ToLower(std::wstring text)
{
    if (!text.empty()) CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

size_t ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with)
{
    if (what.empty()) return 0;
    size_t count = 0;
    for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
        ++count;
    }
    return count;
}

std::wstring LoadModuleString(UINT id)
{
    // With a zero buffer size LoadStringW hands out the resource text itself.
    const wchar_t* text = nullptr;
    int length = LoadStringW(ThisModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}
