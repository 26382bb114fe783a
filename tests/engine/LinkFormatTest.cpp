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

TEST(FormatLinkTest, AnEmptyCodeIsStillACode)
{
    CUploadResult result = Links();
    result.thumbHtml = L"";
    EXPECT_EQ(L"", FormatLink(result, true, kLinkHtml));
    // Only the code of the chosen column counts.
    EXPECT_NE(L"", FormatLink(result, false, kLinkHtml));
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
    FillPlaceholders(text, Links(), true);
    EXPECT_EQ(std::wstring(kImage) + L" " + kAd + L" a/b/pic.jpg " + kThumb + L" " + kThumb + L" " + kImage, text);

    text = L"%thumb% %select%";
    FillPlaceholders(text, Links(), false);
    EXPECT_EQ(std::wstring(kThumb) + L" " + kImage, text);

    text = L"%thumb% %select% %short_link%";
    FillPlaceholders(text, CUploadResult(), true);
    EXPECT_EQ(L"  ", text);
}

TEST(FillPlaceholdersTest, LinksThatLookLikePlaceholdersStayAsTheyAre)
{
    CUploadResult result;
    result.SetImageLink(L"http://h/x/%link%/y.jpg");
    std::wstring text = L"%link%";
    FillPlaceholders(text, result, false);
    EXPECT_EQ(L"http://h/x/%link%/y.jpg", text);
}

TEST(LinkSeparatorTest, NewLineUnlessTurnedOff)
{
    EXPECT_EQ(L"\n", LinkSeparator());
    SettingsStore().WriteNumber(L"NewLineSeparator", 0);
    EXPECT_EQ(L" ", LinkSeparator());
    SettingsStore().WriteNumber(L"NewLineSeparator", 1);
    EXPECT_EQ(L"\n", LinkSeparator());
}
