// Which addresses count as web addresses, what each markup context makes of
// hostile text, and template filling that never reads inserted text again.
#include <string>

#include <gtest/gtest.h>

#include "common/MarkupText.h"

TEST(MarkupTextTest, OnlyHttpAndHttpsAddressesWithAHostAreWebAddresses)
{
    for (const wchar_t* good : {L"http://vellumpost.com/i/1/a.jpg", L"HTTPS://h", L"http://127.0.0.1:8080?x=1"})
        EXPECT_TRUE(IsWebAddress(good)) << testing::PrintToString(std::wstring(good));
    for (const wchar_t* bad :
         {L"javascript:alert(1)", L"JavaScript://h/%0aalert(1)", L"vbscript:msgbox(1)", L"file:///C:/x.exe",
          L"data:text/html,<script>", L" http://h/", L"http:/h", L"http://", L"http:///path", L"http:\\\\h\\x",
          L"http://h/\tjavascript:", L""})
        EXPECT_FALSE(IsWebAddress(bad)) << testing::PrintToString(std::wstring(bad));
    // A NUL would cut the address that the browser sees.
    EXPECT_FALSE(IsWebAddress(std::wstring_view(L"http://h/a\0javascript:", 22)));
}

TEST(MarkupTextTest, HostileTextStaysInsideItsContext)
{
    const std::wstring hostile = L"\"><img src=x onerror='alert(1)'>&%link%";
    EXPECT_EQ(L"&quot;&gt;&lt;img src=x onerror=&#39;alert(1)&#39;&gt;&amp;&#37;link&#37;",
              EscapeHtmlAttribute(hostile));
    EXPECT_EQ(L"\"&gt;&lt;img src=x onerror='alert(1)'&gt;&amp;&#37;link&#37;", EscapeHtmlText(hostile));
    EXPECT_EQ(EscapeHtmlText(hostile), EscapeFor(Markup::kHtmlText, hostile));
    EXPECT_EQ(hostile, EscapeFor(Markup::kPlain, hostile));
    EXPECT_EQ(L"ab", EscapeHtmlAttribute(std::wstring_view(L"a\0b", 3)));
}

TEST(MarkupTextTest, TemplatesAreFilledInOnePass)
{
    // Values that hold tokens stay as they are; unknown and lone '%' stay.
    EXPECT_EQ(L"<a %b%> <b> 100% %c% %a",
              ExpandTemplate(L"<%a%> <%b%> 100% %c% %a", {{L"%a%", L"a %b%"}, {L"%b%", L"b"}}));
    EXPECT_EQ(L"", ExpandTemplate(L"", {{L"%a%", L"x"}}));
    EXPECT_EQ(L"xx", ExpandTemplate(L"%a%%a%", {{L"%a%", L"x"}}));
}
