// Text from the service or a page on its way into a browser or a page: the
// rule for which addresses may be navigated to, one escaping rule per markup
// context, and the filling of templates that never re-reads what it inserted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// True for an absolute "http://" or "https://" address (scheme in any case)
// with a host and without control characters or NULs. Only such addresses are
// navigated to, posted to or put into pages; "javascript:", "file:" and the
// like would run or open in the user's browser.
bool IsWebAddress(std::wstring_view address);

// Where a value lands, which decides how it is escaped.
enum class Markup {
    kPlain,          // taken as it is (forum code, plain text fields)
    kHtmlText,       // between HTML tags
    kHtmlAttribute,  // inside a quoted HTML attribute value
};

// Element content: '&', '<', '>' and '%' become character references; NULs
// are dropped. The browser reads the original text back.
std::wstring EscapeHtmlText(std::wstring_view text);

// A quoted attribute value (either quote): as EscapeHtmlText, and both quotes
// become references too, so the value cannot end its attribute.
std::wstring EscapeHtmlAttribute(std::wstring_view text);

// text escaped for context.
std::wstring EscapeFor(Markup context, std::wstring_view text);

// One placeholder of a template: its token, such as "%link%", and the text
// that replaces it (already escaped for where the template puts it).
struct Placeholder {
    std::wstring_view token;
    std::wstring value;
};

// Replaces the placeholders of templateText in one pass from left to right:
// at each position the first token of the list that starts there is replaced
// by its value. Inserted values are never scanned again, so a value that holds
// a token stays as it is. Text that matches no token is copied unchanged.
std::wstring ExpandTemplate(std::wstring_view templateText, const std::vector<Placeholder>& placeholders);
