// The plain text scan that reads an upload answer which is not well-formed
// XML. It works on UTF-16 code units without any platform header, so that the
// host build can fuzz it natively; the Windows text parser wraps it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace responsescan {

// The value of the first element called name: the text between the first
// "<name>" and the first "</name>" after it, with entities resolved as
// ResolveEntities does. Absent when either tag is missing.
std::optional<std::u16string> FindElementValue(std::u16string_view text, std::u16string_view name);

// Replaces, in this order and each over the whole text, "&quot;" by '"',
// "&lt;" by '<', "&gt;" by '>' and "&amp;" by '&'. The ampersand comes last so
// that an escaped entity ("&amp;lt;") stays an entity ("&lt;").
std::u16string ResolveEntities(std::u16string_view value);

// True when the elements of text nest more than limit levels deep. The count
// errs towards deeper: every "<" that opens something other than a closing
// tag, comment, CDATA section, declaration or processing instruction opens a
// level unless its tag ends with "/>". Readers that recurse per level are
// never given such text.
bool NestsDeeperThan(std::u16string_view text, std::size_t limit);

}  // namespace responsescan
