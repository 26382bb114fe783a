// Slideshows against the development service: pictures resized to the
// slideshow size on this machine or by the service, the import request the
// service accepts, and pictures already hosted that are not sent again.
#include <windows.h>
#include <oleauto.h>

#include <gdiplus.h>

#include <memory>

#include <gtest/gtest.h>

#include "common/TextConvert.h"
#include "common/Variant.h"
#include "engine/GdiplusSession.h"
#include "engine/SlideShowStrategy.h"
#include "tests/integration/ServiceTestBase.h"
#include "support/DevService.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"
#include "tests/engine/StrategyArgs.h"
#include "tests/integration/StrategyRun.h"

namespace {

using vptest::RecordField;
using vptest::RecordText;

struct SlideShowOptions {
    const wchar_t* size = L"";
    const wchar_t* effect = nullptr;
    const wchar_t* background = nullptr;
    bool isPublic = true;
};

std::function<CUploadStrategy*()> MakeSlideShow(const std::vector<std::wstring>& paths, SlideShowOptions options,
                                                HRESULT expected = 0)
{
    return [=]() -> CUploadStrategy* {
        auto* strategy = new CSlideShowStrategy;
        if (options.effect) {
            EXPECT_EQ(0, strategy->SetOption(L"effect", *Variant(options.effect).Get()));
        }
        if (options.background) {
            EXPECT_EQ(0, strategy->SetOption(L"background", *Variant(options.background).Get()));
        }
        VARIANT items = vptest::PathArray(paths);
        Variant size(options.size), none;
        VARIANT flag;
        VariantInit(&flag);
        V_VT(&flag) = VT_BOOL;
        V_BOOL(&flag) = options.isPublic ? VARIANT_TRUE : VARIANT_FALSE;
        EXPECT_EQ(expected, strategy->Initialize(items, *size.Get(), flag, *none.Get()));
        VariantClear(&items);
        return strategy;
    };
}

using SlideShowServiceTest = vptest::ServiceTestBase;

TEST_F(SlideShowServiceTest, SmallSlideshowOfALocalAndAFetchedPicture)
{
    // A picture the service can fetch back from itself.
    std::wstring first = folder_.File(L"vpslide1.png");
    vptest::MakePicture(first, 1000, 500, Gdiplus::ImageFormatPNG);
    std::wstring second = folder_.File(L"vpslide2.jpg");
    vptest::MakePicture(second, 800, 600, Gdiplus::ImageFormatJPEG);
    vptest::StrategyRecord stored;
    SlideShowOptions keep;
    keep.size = L"640x480";
    vptest::RunStrategy(MakeSlideShow({vptest::FileUrl(second)}, keep), {}, stored);
    ASSERT_EQ(1u, stored.items.size());
    std::wstring fetched = service_.Url(vptest::LinkPath(stored.items[0].imageLink.value_or(L"")));
    service_.Reset();

    SlideShowOptions options;
    options.size = L"100x75";
    options.effect = L"trans0";
    options.background = L"#000000";
    options.isPublic = false;
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome =
        vptest::RunStrategy(MakeSlideShow({vptest::FileUrl(first), fetched}, options), {}, record);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(2, outcome.uploaded);

    std::vector<vptest::Json> uploads = vptest::UploadRecords(service_.Requests());
    ASSERT_EQ(2u, uploads.size());
    for (const vptest::Json& upload : uploads) {
        EXPECT_EQ("stored", upload["outcome"].String());
        EXPECT_EQ("s", RecordText(upload, "class"));
        EXPECT_EQ("no", RecordText(upload, "public"));
    }
    EXPECT_NE(nullptr, RecordField(uploads[0], "fileupload"));
    EXPECT_EQ("<absent>", RecordText(uploads[0], "optsize")) << "resized on this machine";
    EXPECT_EQ(Narrow(fetched), RecordText(uploads[1], "url"));
    EXPECT_EQ("320x240", RecordText(uploads[1], "optsize"));

    ASSERT_EQ(2u, record.items.size());
    std::wstring copy = folder_.Write(L"stored.png", service_.Get(vptest::LinkPath(*record.items[0].imageLink)));
    vptest::Decoded decoded = vptest::Decode(copy);
    EXPECT_EQ(320, decoded.width);
    EXPECT_EQ(160, decoded.height);

    // The import request goes to the service's slideshow page, which knows every picture.
    EXPECT_EQ(service_.Url(L"/slideshow/import.php"), record.postedTo);
    EXPECT_EQ("yes", vptest::FormField(record.postBody, "finalize"));
    std::string page = vptest::PostRequest(record.postedTo, record.postHeaders, record.postBody);
    EXPECT_NE(std::string::npos, page.find("Slideshow created")) << page;
    EXPECT_NE(std::string::npos,
              page.find("size 320x240, public no, finalize yes, effect trans0, background #000000"))
        << page;
    EXPECT_EQ(std::string::npos, page.find("Unknown picture")) << page;
}

TEST_F(SlideShowServiceTest, OnePictureMakesADraft)
{
    std::wstring path = folder_.Write(L"vpone.swf", "FWS one");
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome = vptest::RunStrategy(MakeSlideShow({vptest::FileUrl(path)}, {}), {}, record);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ("no", vptest::FormField(record.postBody, "finalize"));
    EXPECT_EQ("426x320", vptest::FormField(record.postBody, "optsize"));
    EXPECT_NE(std::wstring::npos, record.postForm.find(L"name=\"finalize\" value=\"yes\""));
    std::string page = vptest::PostRequest(record.postedTo, record.postHeaders, record.postBody);
    EXPECT_NE(std::string::npos, page.find("Slideshow draft")) << page;
}

TEST_F(SlideShowServiceTest, HostedPicturesOnlySendNothingYetMakeTheSlideshow)
{
    SlideShowOptions options;
    options.size = L"640x480";
    options.effect = L"trans2";
    options.isPublic = false;
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome = vptest::RunStrategy(
        MakeSlideShow({L"http://vellumpost.com/i/1/a.jpg", L"http://www.vellumpost.com/i/2/b.jpg"}, options), {},
        record);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(2, outcome.uploaded);
    EXPECT_TRUE(vptest::UploadRecords(service_.Requests()).empty());
    // The import request reaches the upload's targets with the caller's options.
    EXPECT_EQ(service_.Url(L"/slideshow/import.php"), record.postedTo);
    EXPECT_EQ((std::vector<std::string>{"url[]", "url[]", "public", "finalize", "optsize", "fadein"}),
              vptest::FormFieldNames(record.postBody));
    EXPECT_EQ("no", vptest::FormField(record.postBody, "public"));
    EXPECT_EQ("640x480", vptest::FormField(record.postBody, "optsize"));
    EXPECT_EQ("trans2", vptest::FormField(record.postBody, "fadein"));
}

TEST_F(SlideShowServiceTest, ChosenFilesAreSentAsTheyAreNamed)
{
    // Paths as the slideshow dialog hands them over, one with what reads
    // like an escape in its name.
    std::wstring plain = folder_.Write(L"vp plain.swf", "FWS plain");
    std::wstring escaped = folder_.Write(L"vp50%41.swf", "FWS escaped");
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome = vptest::RunStrategy(MakeSlideShow({plain, escaped}, {}), {}, record);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(2, outcome.uploaded);
    std::vector<vptest::Json> uploads = vptest::UploadRecords(service_.Requests());
    ASSERT_EQ(2u, uploads.size());
    const vptest::Json* second = RecordField(uploads[1], "fileupload");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ("vp50%41.swf", (*second)["filename"].String());
    EXPECT_EQ("FWS escaped", service_.Get(vptest::LinkPath(record.items.at(1).imageLink.value_or(L""))));
}

}  // namespace
