// The slideshow strategy: slideshow sizes, pictures already on the service,
// the import page's request and form, and the effect and background options.
#include <windows.h>
#include <oleauto.h>

#include <gdiplus.h>

#include <gtest/gtest.h>

#include "common/Variant.h"
#include "engine/GdiplusSession.h"
#include "engine/MultipartFormData.h"
#include "engine/SlideShowStrategy.h"
#include "support/EngineFakes.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"
#include "tests/engine/StrategyArgs.h"

namespace {

using vptest::FormField;
using vptest::FormFieldNames;

// Keeps what the import page would receive, both as request and as form.
struct ImportTarget : ImageTarget {
    std::vector<std::wstring> urls;
    std::string body;
    std::wstring html;
    void PostData(const wchar_t* url, ImageTargetPostData& provider) override
    {
        urls.push_back(url);
        CMultipartFormData form("P");
        EXPECT_TRUE(provider.FillRequest(form));
        body = form.BodyBytes();
        EXPECT_TRUE(provider.FillHtmlForm(html, false));
    }
};

std::wstring Answer(const std::wstring& imageLink)
{
    return L"<response><links><image_link>" + imageLink + L"</image_link></links></response>";
}

VARIANT Flag(bool on)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = on ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

struct Apartment {
    Apartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() { CoUninitialize(); }
};

class SlideShowStrategyTest : public testing::Test {
protected:
    void SetUp() override
    {
        strategy_.SetUploader(&uploader_);
        auto target = std::make_unique<ImportTarget>();
        target_ = target.get();
        strategy_.SetTarget(std::move(target));
    }

    HRESULT Start(const std::vector<std::wstring>& paths, const wchar_t* size, const VARIANT& publicFlag)
    {
        VARIANT items = vptest::PathArray(paths);
        Variant sizeValue(size);
        Variant none;
        HRESULT hr = strategy_.Initialize(items, *sizeValue.Get(), publicFlag, *none.Get());
        VariantClear(&items);
        return hr;
    }

    Apartment apartment_;
    GdiplusSession gdiplus_;
    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
    vptest::FakeImageUploader uploader_;
    CSlideShowStrategy strategy_;
    ImportTarget* target_ = nullptr;
};

TEST(SlideShowSizeTest, ChoicesMapToTheThreeSlideshowSizes)
{
    struct {
        const wchar_t* given;
        const char* expected;
    } cases[] = {
        {L"", "426x320"},           {L"resample", "426x320"},           {L"Optimize without resizing", "426x320"},
        {L"100x75", "320x240"},     {L"150X112 (thumbnail)", "320x240"}, {L"320x240 (Small)", "320x240"},
        {L"426x320 (Medium)", "426x320"}, {L"640x480", "640x480"},      {L"1024x768", "640x480"},
        {L"320x2400", "640x480"},
    };
    for (const auto& c : cases) {
        Variant value(c.given);
        EXPECT_EQ(c.expected, CSlideShowStrategy::SlideShowSize(*value.Get())) << testing::PrintToString(c.given);
    }
    Variant number(320);
    EXPECT_EQ("426x320", CSlideShowStrategy::SlideShowSize(*number.Get()));
    VARIANT nullText;
    VariantInit(&nullText);
    V_VT(&nullText) = VT_BSTR;
    EXPECT_EQ("426x320", CSlideShowStrategy::SlideShowSize(nullText));
}

TEST_F(SlideShowStrategyTest, SmallestSizeIsResizedToFitTheSmallSlideshow)
{
    std::wstring path = folder_.File(L"wide.png");
    vptest::MakePicture(path, 1000, 500, Gdiplus::ImageFormatPNG);
    ASSERT_EQ(0, Start({vptest::FileUrl(path), L"http://example.org/b.jpg"}, L"100x75", Flag(true)));
    EXPECT_EQ("320x240", strategy_.GetItem(1).optsize);

    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    const CUploadItem& item = strategy_.GetItem(0);
    ASSERT_FALSE(item.convertedPath.empty());
    vptest::Decoded converted = vptest::Decode(item.convertedPath);
    EXPECT_EQ(320, converted.width);
    EXPECT_EQ(160, converted.height);
    const std::string& first = uploader_.requests.at(0).body;
    EXPECT_EQ("s", FormField(first, "class"));
    EXPECT_EQ("<absent>", FormField(first, "optsize")) << "resized here";

    ASSERT_EQ(0, strategy_.DocumentComplete(Answer(L"http://vellumpost.com/i/1/wide.png").c_str()));
    const std::string& second = uploader_.requests.at(1).body;
    EXPECT_EQ("320x240", FormField(second, "optsize")) << "the service resizes what it fetches";
    EXPECT_EQ("http://example.org/b.jpg", FormField(second, "url"));
    EXPECT_EQ("s", FormField(second, "class"));
    EXPECT_TRUE(vptest::FileExists(path));
}

TEST_F(SlideShowStrategyTest, PicturesAlreadyHostedAreNotSentAgain)
{
    // The upload starts as any other: the hosted pictures become results when
    // the items are walked, and nothing is sent for them.
    Variant none;
    EXPECT_EQ(0, Start({L"http://i.VellumPost.com/i/1/a.jpg", L"http://vellumpost.com/i/2/b.jpg"}, L"640x480",
                       *none.Get()));
    EXPECT_TRUE(target_->urls.empty()) << "no completion before the upload has its targets";
    EXPECT_EQ(E_FAIL, strategy_.UploadNextItem());
    EXPECT_TRUE(uploader_.requests.empty());
    EXPECT_EQ(2, strategy_.UploadedCount());
    EXPECT_EQ(1, uploader_.finishCalls);
}

TEST_F(SlideShowStrategyTest, AnAddressElsewhereThatOnlyNamesTheDomainIsSent)
{
    Variant none;
    ASSERT_EQ(0, Start({L"http://evil.net/vellumpost.com/a.jpg"}, L"640x480", *none.Get()));
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    ASSERT_EQ(1u, uploader_.requests.size());
    EXPECT_EQ("http://evil.net/vellumpost.com/a.jpg", FormField(uploader_.requests[0].body, "url"));
}

TEST_F(SlideShowStrategyTest, HostedPicturesAmongOthersKeepTheirPlace)
{
    // A local file naming the domain is still uploaded.
    std::wstring local = folder_.Write(L"vellumpost.com.swf", "FWS");
    ASSERT_EQ(0, Start({L"http://vellumpost.com/i/1/a.jpg", L"http://example.org/b.jpg", vptest::FileUrl(local),
                        L"http://vellumpost.com/i/4/d.jpg"},
                       L"426x320", Flag(true)));
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    EXPECT_EQ(1, strategy_.CurrentIndex());
    EXPECT_EQ(1, strategy_.UploadedCount()) << "the hosted first picture counts as done";
    ASSERT_EQ(0, strategy_.DocumentComplete(Answer(L"http://vellumpost.com/i/2/b.jpg").c_str()));
    ASSERT_EQ(2u, uploader_.requests.size());
    EXPECT_NE(std::string::npos, uploader_.requests[1].body.find("name=\"fileupload\"; filename="));
    ASSERT_EQ(0, strategy_.DocumentComplete(Answer(L"http://vellumpost.com/i/3/c.swf").c_str()));
    EXPECT_EQ(2u, uploader_.requests.size());
    ASSERT_EQ(1u, target_->urls.size());
    std::vector<std::string> links;
    for (size_t at = target_->body.find("\"url[]\"\r\n\r\n"); at != std::string::npos;
         at = target_->body.find("\"url[]\"\r\n\r\n", at + 1)) {
        size_t start = at + 11;
        links.push_back(target_->body.substr(start, target_->body.find("\r\n", start) - start));
    }
    EXPECT_EQ((std::vector<std::string>{"i/1/a.jpg", "i/2/b.jpg", "i/3/c.swf", "i/4/d.jpg"}), links);
}

TEST_F(SlideShowStrategyTest, OnePictureIsNotFinalizedButTheFormAlwaysIs)
{
    Variant effect(L"trans0"), background(L"#000000");
    ASSERT_EQ(0, strategy_.SetOption(L"effect", *effect.Get()));
    ASSERT_EQ(0, strategy_.SetOption(L"background", *background.Get()));
    VARIANT privateFlag = Flag(false);
    ASSERT_EQ(0, Start({L"http://example.org/a.jpg"}, L"320x240 (Small)", privateFlag));
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    EXPECT_EQ("no", FormField(uploader_.requests.at(0).body, "public"));
    ASSERT_EQ(0, strategy_.DocumentComplete(Answer(L"http://vellumpost.com/i/9/a.jpg").c_str()));

    EXPECT_EQ((std::vector<std::string>{"url[]", "public", "finalize", "optsize", "fadein", "background"}),
              FormFieldNames(target_->body));
    EXPECT_EQ("no", FormField(target_->body, "finalize"));
    EXPECT_EQ("no", FormField(target_->body, "public"));
    EXPECT_EQ("trans0", FormField(target_->body, "fadein"));
    EXPECT_EQ("#000000", FormField(target_->body, "background"));
    EXPECT_EQ(L"<form id=\"submit_form\" method=\"post\" action=\"%submit_url%\"><select name=\"url[]\" multiple>"
              L"<option selected value=\"i/9/a.jpg\">Vellumpost image link</option></select>"
              L"<input type=\"hidden\" name=\"finalize\" value=\"yes\">"
              L"<input type=\"hidden\" name=\"public\" value=\"no\">"
              L"<input type=\"hidden\" name=\"optsize\" value=\"320x240\">"
              L"<input type=\"hidden\" name=\"fadein\" value=\"trans0\">"
              L"<input type=\"hidden\" name=\"background\" value=\"#000000\"></form>",
              target_->html);
}

TEST_F(SlideShowStrategyTest, EffectAndBackgroundAreCutAndKeptInsideTheirAttribute)
{
    std::wstring longText(300, L'e');
    Variant effect(longText.c_str());
    ASSERT_EQ(0, strategy_.SetOption(L"effect", *effect.Get()));
    EXPECT_EQ(std::string(127, 'e'), strategy_.Effect());
    std::wstring exact(127, L'b');
    Variant background(exact.c_str());
    ASSERT_EQ(0, strategy_.SetOption(L"background", *background.Get()));
    EXPECT_EQ(std::string(127, 'b'), strategy_.Background());

    Variant number(3), none;
    EXPECT_EQ(E_FAIL, strategy_.SetOption(L"effect", *number.Get()));
    EXPECT_EQ(0, strategy_.SetOption(L"effect", *none.Get()));
    EXPECT_EQ(std::string(127, 'e'), strategy_.Effect()) << "an empty value leaves the text as it was";

    Variant quoted(L"x\"><script>");
    ASSERT_EQ(0, strategy_.SetOption(L"background", *quoted.Get()));
    ASSERT_EQ(0, Start({L"http://vellumpost.com/i/1/a.jpg"}, L"", *none.Get()));
    ASSERT_EQ(E_FAIL, strategy_.UploadNextItem());
    ASSERT_EQ(0, strategy_.UploadComplete());
    EXPECT_EQ("x\"><script>", FormField(target_->body, "background")) << "the request carries the text as given";
    EXPECT_NE(std::wstring::npos, target_->html.find(L"value=\"x&quot;&gt;&lt;script&gt;\""));
    EXPECT_EQ(std::wstring::npos, target_->html.find(L"<script>"));
    EXPECT_EQ("yes", FormField(target_->body, "public")) << "public unless a flag says otherwise";
}

}  // namespace
