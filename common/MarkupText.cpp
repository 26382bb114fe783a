// Web addresses, escaping and template filling (see the header).
#include "common/MarkupText.h"

namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// Escapes the HTML-significant characters of text; quotes only when asked.
// '%' is escaped as well: escaped text can then never be taken for a
// placeholder by a later template pass over the page text it went into.
std::wstring EscapeHtml(std::wstring_view text, bool quotes)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'\0': break;
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'%': out += L"&#37;"; break;
        case L'"':
            if (quotes) out += L"&quot;"; else out += c;
            break;
        case L'\'':
            if (quotes) out += L"&#39;"; else out += c;
            break;
        default: out += c;
        }
    }
    return out;
}

}  // namespace

bool IsWebAddress(std::wstring_view address)
{
    std::size_t hostAt = 0;
    if (StartsWithNoCase(address, L"http://"))
        hostAt = 7;
    else if (StartsWithNoCase(address, L"https://"))
        hostAt = 8;
    else
        return false;
    // Browsers skip control characters inside addresses, which would let
    // "java\tscript:" or a NUL-cut address pass a check on the visible text.
    for (wchar_t c : address)
        if (c < 0x20 || c == 0x7F) return false;
    const std::size_t hostEnd = address.find_first_of(L"/?#\\", hostAt);
    return (hostEnd == std::wstring_view::npos ? address.size() : hostEnd) > hostAt;
}

std::wstring EscapeHtmlText(std::wstring_view text)
{
    return EscapeHtml(text, false);
}

std::wstring EscapeHtmlAttribute(std::wstring_view text)
{
    return EscapeHtml(text, true);
}

std::wstring EscapeFor(Markup context, std::wstring_view text)
{
    switch (context) {
    case Markup::kHtmlText: return EscapeHtmlText(text);
    case Markup::kHtmlAttribute: return EscapeHtmlAttribute(text);
    case Markup::kPlain: break;
    }
    return std::wstring(text);
}

std::wstring ExpandTemplate(std::wstring_view templateText, const std::vector<Placeholder>& placeholders)
{
    std::wstring out;
    out.reserve(templateText.size());
    std::size_t at = 0;
    while (at < templateText.size()) {
        const Placeholder* match = nullptr;
        for (const Placeholder& placeholder : placeholders) {
            const std::wstring_view token = placeholder.token;
            if (!token.empty() && templateText.compare(at, token.size(), token) == 0) {
                match = &placeholder;
                break;
            }
        }
        if (match) {
            out += match->value;
            at += match->token.size();
        } else {
            out += templateText[at++];
        }
    }
    return out;
}
