// Fuzz target for the text scan of upload answers: the input bytes are read as
// little-endian UTF-16 code units and scanned for every element the result
// record asks for, plus one name taken from the input itself, and measured for
// its nesting depth. Besides the sanitizers' checks it asserts what the scan
// promises about its answers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/ResponseTextScan.h"

namespace {

const char16_t* const kNames[] = {
    u"image_link", u"ad_link",  u"thumb_link", u"done_page",  u"image_html", u"video_embed",
    u"image_bb",   u"frame_bb", u"image_bb2",  u"frame_bb2",  u"thumb_html", u"thumb_bb",
    u"thumb_bb2",  u"error",    u"duration",   u"version",    u"link",
};

void Check(bool condition)
{
    if (!condition) std::abort();
}

void ScanFor(const std::u16string& text, std::u16string_view name)
{
    const auto value = responsescan::FindElementValue(text, name);
    if (!value) return;
    const std::u16string open = u"<" + std::u16string(name) + u">";
    Check(text.find(open) != std::u16string::npos);
    // Resolving entities only ever shortens the text between the tags.
    Check(value->size() + open.size() + open.size() + 1 <= text.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string text;
    text.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

    for (const char16_t* name : kNames) ScanFor(text, name);
    if (!text.empty()) ScanFor(text, std::u16string_view(text).substr(1, text[0] % 8));

    // A text that nests deeper than some limit also nests deeper than any
    // smaller one, and no text nests deeper than it has '<' characters.
    const std::size_t limit = text.empty() ? 0 : text[0] % 64;
    if (responsescan::NestsDeeperThan(text, limit + 1)) Check(responsescan::NestsDeeperThan(text, limit));
    Check(!responsescan::NestsDeeperThan(text, static_cast<std::size_t>(std::count(text.begin(), text.end(), u'<'))));

    const std::u16string resolved = responsescan::ResolveEntities(text);
    Check(resolved.size() <= text.size());
    if (text.find(u'&') == std::u16string::npos) Check(resolved == text);
    return 0;
}
