// The plain text scan of upload answers (see ResponseTextScan.h).
#include "engine/ResponseTextScan.h"

namespace responsescan {

namespace {

// Replaces every occurrence of from by to, scanning left to right; the
// replacement text is not scanned again.
void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to)
{
    if (from.empty()) return;
    std::u16string out;
    std::size_t start = 0;
    std::size_t hit = text.find(from.data(), 0, from.size());
    if (hit == std::u16string::npos) return;
    out.reserve(text.size());
    while (hit != std::u16string::npos) {
        out.append(text, start, hit - start);
        out.append(to.data(), to.size());
        start = hit + from.size();
        hit = text.find(from.data(), start, from.size());
    }
    out.append(text, start, std::u16string::npos);
    text.swap(out);
}

}  // namespace

std::u16string ResolveEntities(std::u16string_view value)
{
    std::u16string text(value);
    ReplaceAll(text, u"&quot;", u"\"");
    ReplaceAll(text, u"&lt;", u"<");
    ReplaceAll(text, u"&gt;", u">");
    ReplaceAll(text, u"&amp;", u"&");
    return text;
}

std::optional<std::u16string> FindElementValue(std::u16string_view text, std::u16string_view name)
{
    std::u16string open;
    open.reserve(name.size() + 2);
    open.append(u"<").append(name).append(u">");
    std::u16string close;
    close.reserve(name.size() + 3);
    close.append(u"</").append(name).append(u">");

    const std::size_t openAt = text.find(open);
    if (openAt == std::u16string_view::npos) return std::nullopt;
    const std::size_t valueAt = openAt + open.size();
    // The closing tag is looked for after the opening one: a stray closing tag
    // earlier in the text must not give a value of negative length.
    const std::size_t closeAt = text.find(close, valueAt);
    if (closeAt == std::u16string_view::npos) return std::nullopt;
    return ResolveEntities(text.substr(valueAt, closeAt - valueAt));
}

bool NestsDeeperThan(std::u16string_view text, std::size_t limit)
{
    std::size_t depth = 0;
    std::size_t at = text.find(u'<');
    while (at != std::u16string_view::npos) {
        const std::u16string_view rest = text.substr(at);
        std::size_t next = at + 1;
        if (rest.substr(0, 4) == u"<!--") {
            const std::size_t end = text.find(u"-->", at + 4);
            if (end == std::u16string_view::npos) break;
            next = end + 3;
        } else if (rest.substr(0, 9) == u"<![CDATA[") {
            const std::size_t end = text.find(u"]]>", at + 9);
            if (end == std::u16string_view::npos) break;
            next = end + 3;
        } else if (rest.substr(0, 2) == u"</") {
            if (depth > 0) --depth;
        } else if (rest.substr(0, 2) != u"<!" && rest.substr(0, 2) != u"<?") {
            const std::size_t end = text.find(u'>', at + 1);
            const bool selfClosing = end != std::u16string_view::npos && text[end - 1] == u'/';
            if (!selfClosing && ++depth > limit) return true;
            if (end == std::u16string_view::npos) break;
            next = end + 1;
        }
        at = text.find(u'<', next);
    }
    return false;
}

}  // namespace responsescan
