// Link texts of the four link styles from results with and without the
// service's ready-made codes, and the separator between joined links.
#include <gtest/gtest.h>

#include "common/SettingsStore.h"
#include "engine/LinkFormat.h"

namespace {

const wchar_t kImage[] = L"http://load3.example.com/a/b/pic.jpg";
const wchar_t kThumb[] = L"http://load3.example.com/a/b/pic.th.jpg";
const wchar_t kAd[] = L"http://example.com/i/pic";
const std::wstring kAlt = L"alt=\"Image Uploaded by Vellumpost Toolbar\" title=\"Image Uploaded by Vellumpost Toolbar\"";

CUploadResult Links(bool withThumb = true, bool withAd = true)
{
    CUploadResult result;
    result.SetImageLink(kImage);
    if (withThumb) result.thumbLink = kThumb;
    if (withAd) result.adLink = kAd;
    return result;
}

CUploadResult WithCodes()
{
    CUploadResult result = Links();
    result.imageHtml = L"IH";
    result.imageBB = L"IB";
    result.imageBB2 = L"IB2";
    result.thumbHtml = L"TH";
    result.thumbBB = L"TB";
    result.thumbBB2 = L"TB2";
    return result;
}

}  // namespace

TEST(FormatLinkTest, ReadyMadeCodesAreReturnedAsTheyAre)
{
    const CUploadResult result = WithCodes();
    EXPECT_EQ(L"TH", FormatLink(result, true, kLinkHtml));
    EXPECT_EQ(L"IH", FormatLink(result, false, kLinkHtml));
    EXPECT_EQ(L"TB", FormatLink(result, true, kLinkForum1));
    EXPECT_EQ(L"IB", FormatLink(result, false, kLinkForum1));
    EXPECT_EQ(L"TB2", FormatLink(result, true, kLinkForum2));
    EXPECT_EQ(L"IB2", FormatLink(result, false, kLinkForum2));
    // The friend link has no code of its own: the ad link, codes or not.
    EXPECT_EQ(kAd, FormatLink(result, true, kLinkFriend));
}

TEST(FormatLinkTest, EmptyOrBlankCodesGiveWayToTheTemplates)
{
    CUploadResult result = Links();
    const std::wstring fromTemplates = FormatLink(result, true, kLinkHtml);
    result.thumbHtml = L"";
    EXPECT_EQ(fromTemplates, FormatLink(result, true, kLinkHtml));
    result.thumbHtml = L" \r\n";
    EXPECT_EQ(fromTemplates, FormatLink(result, true, kLinkHtml));
    EXPECT_NE(std::wstring::npos, fromTemplates.find(kThumb));
}

TEST(FormatLinkTest, LinksCannotBreakOutOfTheirCode)
{
    CUploadResult result;
    result.SetImageLink(L"http://h/a/b/x\"onerror=\"alert(1)<b>.jpg");
    result.adLink = L"http://h/%img%%select%";
    // HTML: every link escaped for its attribute; a placeholder in a link is
    // not filled again.
    EXPECT_EQ(L"<a href=\"http://h/&#37;img&#37;&#37;select&#37;\" target=\"_blank\"><img "
              L"src=\"http://h/a/b/x&quot;onerror=&quot;alert(1)&lt;b&gt;.jpg\" border=\"0\" " +
                  kAlt + L" /></a>",
              FormatLink(result, false, kLinkHtml));
    // Forum code takes links as they are.
    EXPECT_EQ(L"[URL=http://h/%img%%select%][IMG]http://h/a/b/x\"onerror=\"alert(1)<b>.jpg[/IMG][/URL]",
              FormatLink(result, false, kLinkForum1));
}

TEST(FormatLinkTest, TemplatesWithoutCodes)
{
    const CUploadResult result = Links();
    EXPECT_EQ(std::wstring(L"<a href=\"") + kAd + L"\" target=\"_blank\"><img src=\"" + kThumb + L"\" border=\"0\" " +
                  kAlt + L" /></a>",
              FormatLink(result, true, kLinkHtml));
    EXPECT_EQ(std::wstring(L"<a href=\"") + kAd + L"\" target=\"_blank\"><img src=\"" + kImage + L"\" border=\"0\" " +
                  kAlt + L" /></a>",
              FormatLink(result, false, kLinkHtml));
    EXPECT_EQ(std::wstring(L"[URL=") + kAd + L"][IMG]" + kThumb + L"[/IMG][/URL]", FormatLink(result, true, kLinkForum1));
    EXPECT_EQ(std::wstring(L"[url=") + kAd + L"][img=" + kImage + L"][/url]", FormatLink(result, false, kLinkForum2));
    EXPECT_EQ(kAd, FormatLink(result, false, kLinkFriend));
}

TEST(FormatLinkTest, ThumbnailWantedButMissingFallsBackToTheImage)
{
    const CUploadResult result = Links(false);
    EXPECT_EQ(std::wstring(L"[URL=") + kAd + L"][IMG]" + kImage + L"[/IMG][/URL]", FormatLink(result, true, kLinkForum1));
}

TEST(FormatLinkTest, MissingLinksBecomeEmptyText)
{
    EXPECT_EQ(L"", FormatLink(Links(true, false), true, kLinkFriend));
    EXPECT_EQ(L"[URL=][IMG][/IMG][/URL]", FormatLink(CUploadResult(), true, kLinkForum1));
}

TEST(FormatLinkTest, UnknownStylesGiveNothing)
{
    EXPECT_EQ(L"", FormatLink(WithCodes(), true, -1));
    EXPECT_EQ(L"", FormatLink(WithCodes(), true, 4));
}

TEST(FillPlaceholdersTest, EveryPlaceholderEveryTime)
{
    std::wstring text = L"%link% %ad_link% %short_link% %thumb% %select% %link%";
    FillPlaceholders(text, Links(), true, Markup::kPlain);
    EXPECT_EQ(std::wstring(kImage) + L" " + kAd + L" a/b/pic.jpg " + kThumb + L" " + kThumb + L" " + kImage, text);

    text = L"%thumb% %select%";
    FillPlaceholders(text, Links(), false, Markup::kPlain);
    EXPECT_EQ(std::wstring(kThumb) + L" " + kImage, text);

    text = L"%thumb% %select% %short_link%";
    FillPlaceholders(text, CUploadResult(), true, Markup::kPlain);
    EXPECT_EQ(L"  ", text);
}

TEST(FillPlaceholdersTest, LinksThatLookLikePlaceholdersStayAsTheyAre)
{
    CUploadResult result;
    result.SetImageLink(L"http://h/x/%link%%select%/y.jpg");
    std::wstring text = L"%link% %select%";
    FillPlaceholders(text, result, false, Markup::kPlain);
    EXPECT_EQ(L"http://h/x/%link%%select%/y.jpg http://h/x/%link%%select%/y.jpg", text);
}

TEST(LinkSeparatorTest, NewLineUnlessTurnedOff)
{
    EXPECT_EQ(L"\n", LinkSeparator());
    SettingsStore().WriteNumber(L"NewLineSeparator", 0);
    EXPECT_EQ(L" ", LinkSeparator());
    SettingsStore().WriteNumber(L"NewLineSeparator", 1);
    EXPECT_EQ(L"\n", LinkSeparator());
}
