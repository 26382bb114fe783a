// Transloads and blog posts against the development service: a local file
// address is uploaded as a file, a web address is fetched by the service
// itself, and addresses the service cannot reach are reported at once.
#include <windows.h>
#include <oleauto.h>

#include <gdiplus.h>

#include <gtest/gtest.h>

#include "common/TextConvert.h"
#include "common/Variant.h"
#include "engine/GdiplusSession.h"
#include "engine/PostToBlogStrategy.h"
#include "engine/TransloadStrategy.h"
#include "support/DevService.h"
#include "support/Pictures.h"
#include "support/Sha256.h"
#include "support/TempFolder.h"
#include "tests/engine/StrategyArgs.h"
#include "tests/integration/StrategyRun.h"

namespace {

using vptest::RecordField;
using vptest::RecordText;

template <typename Strategy>
std::function<CUploadStrategy*()> Make(const std::wstring& address)
{
    return [address]() -> CUploadStrategy* {
        auto* strategy = new Strategy;
        Variant item(address.c_str()), none;
        EXPECT_EQ(0, strategy->Initialize(*item.Get(), *none.Get(), *none.Get(), *none.Get()));
        return strategy;
    };
}

class TransloadServiceTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service_.Available());
        service_.Reset();
        service_.PointToolbarHere();
    }

    // Stores a picture on the service through a file address; its image link.
    std::wstring StorePicture(const std::wstring& name, std::string* bytes)
    {
        std::wstring path = folder_.File(name);
        vptest::MakePicture(path, 300, 200, Gdiplus::ImageFormatPNG);
        *bytes = vptest::ReadFileBytes(path);
        vptest::StrategyRecord record;
        vptest::StrategyOutcome outcome = vptest::RunStrategy(Make<CTransloadStrategy>(vptest::FileUrl(path)), {}, record);
        EXPECT_TRUE(outcome.finished);
        if (record.items.size() != 1 || !record.items[0].imageLink) {
            ADD_FAILURE() << "the picture was not stored";
            return std::wstring();
        }
        return *record.items[0].imageLink;
    }

    GdiplusSession gdiplus_;
    vptest::DevService service_;
    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
};

TEST_F(TransloadServiceTest, FileAddressSendsTheFileAndWebAddressOnlyItsAddress)
{
    std::string bytes;
    std::wstring link = StorePicture(L"vp transload.png", &bytes);
    ASSERT_FALSE(link.empty());
    std::vector<vptest::Json> uploads = vptest::UploadRecords(service_.Requests());
    ASSERT_EQ(1u, uploads.size());
    const vptest::Json* file = RecordField(uploads[0], "fileupload");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(vptest::Sha256Hex(bytes), (*file)["sha256"].String());
    EXPECT_EQ("vp transload.png", (*file)["filename"].String());
    EXPECT_NE(nullptr, RecordField(uploads[0], "thumbupload"));
    EXPECT_EQ("<absent>", RecordText(uploads[0], "url"));

    service_.Reset();
    std::wstring address = service_.Url(vptest::LinkPath(link));
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome = vptest::RunStrategy(Make<CTransloadStrategy>(address), {}, record);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(1, outcome.uploaded);
    uploads = vptest::UploadRecords(service_.Requests());
    ASSERT_EQ(1u, uploads.size());
    EXPECT_EQ("stored", uploads[0]["outcome"].String());
    EXPECT_EQ(Narrow(address), RecordText(uploads[0], "url"));
    for (const vptest::Json& field : uploads[0]["fields"].Items())
        EXPECT_FALSE(field["file"].Bool()) << "no file part for a web address: " << field["name"].String();
    EXPECT_EQ("1", RecordText(uploads[0], "rembar"));

    // The service fetched the very bytes it stored before.
    ASSERT_EQ(1u, record.items.size());
    ASSERT_TRUE(record.items[0].imageLink.has_value());
    EXPECT_NE(link, *record.items[0].imageLink);
    EXPECT_EQ(bytes, service_.Get(vptest::LinkPath(*record.items[0].imageLink)));
}

TEST_F(TransloadServiceTest, UnreachableAndFailedFetchesAreAskedAboutAtOnce)
{
    // The default retry limit would retry other failures silently.
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome =
        vptest::RunStrategy(Make<CTransloadStrategy>(L"http://example.invalid/pic.jpg"), {IDOK}, record);
    EXPECT_TRUE(outcome.finished);
    ASSERT_EQ(1u, outcome.questions.size());
    EXPECT_EQ(L"Source cannot be accessed by server: http://example.invalid/pic.jpg\n"
              L"Use Upload Image feature instead of Transload.",
              outcome.questions[0].text);
    EXPECT_EQ(L"Transload error...", outcome.questions[0].caption);
    std::vector<vptest::Json> uploads = vptest::UploadRecords(service_.Requests());
    ASSERT_EQ(1u, uploads.size()) << "no implicit retry";
    EXPECT_EQ("resource_not_found", uploads[0]["error_id"].String());
    EXPECT_EQ(0u, record.completed);

    service_.Reset();
    service_.ArmFault(L"error=transload_error");
    std::wstring address = service_.Url(L"/i/0/none.png");
    outcome = vptest::RunStrategy(Make<CTransloadStrategy>(address), {IDCANCEL}, record);
    EXPECT_TRUE(outcome.finished);
    ASSERT_EQ(1u, outcome.questions.size());
    EXPECT_EQ(L"Error fetching image from remote site: " + address +
                  L"\nUse Upload Image feature instead of Transload.",
              outcome.questions[0].text);
    EXPECT_EQ(1u, vptest::UploadRecords(service_.Requests()).size());
}

TEST_F(TransloadServiceTest, BlogPostOpensTheBlogPageOfThePicture)
{
    std::string bytes;
    std::wstring link = StorePicture(L"vpblog.png", &bytes);
    ASSERT_FALSE(link.empty());
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome =
        vptest::RunStrategy(Make<CPostToBlogStrategy>(service_.Url(vptest::LinkPath(link))), {}, record);
    EXPECT_TRUE(outcome.finished);
    ASSERT_EQ(1u, record.items.size());
    std::wstring shortLink = record.items[0].shortLink.value_or(L"");
    ASSERT_FALSE(shortLink.empty());
    ASSERT_EQ(1u, record.navigated.size());
    std::wstring page = L"/blogpost/postblog.php?id=" + shortLink;
    EXPECT_EQ(service_.Url(page), record.navigated[0]);
    std::string html = service_.Get(page);
    EXPECT_NE(std::string::npos, html.find("Post to blog"));
    EXPECT_EQ(std::string::npos, html.find("Unknown picture")) << html;
}

}  // namespace
