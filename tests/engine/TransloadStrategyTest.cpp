// The transload strategy with a recording uploader: what a web address and a
// "file:///" address send, and which answers are asked about at once.
#include <windows.h>
#include <oleauto.h>

#include <gdiplus.h>

#include <gtest/gtest.h>

#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "engine/GdiplusSession.h"
#include "engine/TransloadStrategy.h"
#include "support/EngineFakes.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"
#include "tests/engine/StrategyArgs.h"

namespace {

using vptest::FormField;
using vptest::FormFieldNames;

std::wstring ErrorAnswer(const wchar_t* id, const wchar_t* text)
{
    return std::wstring(L"<response><links><error id=\"") + id + L"\">" + text + L"</error></links></response>";
}

void SetRetryLimit(DWORD value)
{
    RegKey key;
    key.Create(HKEY_CURRENT_USER, SettingsKeyPath());
    RegSetValueExW(key, L"ImplicitRetryCount", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

struct Apartment {
    Apartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() { CoUninitialize(); }
};

class TransloadStrategyTest : public testing::Test {
protected:
    void Start(CTransloadStrategy& strategy, const std::vector<std::wstring>& paths, const wchar_t* size = nullptr)
    {
        strategy.SetUploader(&uploader_);
        VARIANT items = vptest::PathArray(paths);
        VARIANT sizeValue;
        VariantInit(&sizeValue);
        if (size) {
            V_VT(&sizeValue) = VT_BSTR;
            V_BSTR(&sizeValue) = SysAllocString(size);
        }
        VARIANT none;
        VariantInit(&none);
        ASSERT_EQ(0, strategy.Initialize(items, sizeValue, none, none));
        VariantClear(&items);
        VariantClear(&sizeValue);
    }

    Apartment apartment_;
    GdiplusSession gdiplus_;
    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
    vptest::FakeImageUploader uploader_;
};

TEST_F(TransloadStrategyTest, WebAddressSendsOnlyFieldsWithTheAddress)
{
    CTransloadStrategy strategy;
    Start(strategy, {L"http://example.org/pics/cat.jpg"}, L"640x480 (for message boards)");
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    ASSERT_EQ(1u, uploader_.requests.size());
    const std::string& body = uploader_.requests[0].body;
    EXPECT_EQ((std::vector<std::string>{"toolbar", "public", "xml", "optimage", "optsize", "rembar", "url"}),
              FormFieldNames(body));
    EXPECT_EQ("http://example.org/pics/cat.jpg", FormField(body, "url"));
    EXPECT_EQ("640x480", FormField(body, "optsize")) << "the service resizes what it fetches";
    EXPECT_EQ(std::string::npos, body.find("filename=")) << "no file part for a web address";
    EXPECT_NE(std::wstring::npos, uploader_.requests[0].url.find(L"/upload_api.php"));
}

TEST_F(TransloadStrategyTest, FileAddressUploadsTheFileWithThumbnail)
{
    std::wstring path = folder_.File(L"my pic.png");
    vptest::MakePicture(path, 120, 90, Gdiplus::ImageFormatPNG);
    std::wstring url = vptest::FileUrl(folder_.Path()) + L"/my%20pic.png";
    CTransloadStrategy strategy;
    Start(strategy, {url});
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    const std::string& body = uploader_.requests.at(0).body;
    EXPECT_EQ((std::vector<std::string>{"toolbar", "public", "xml", "rembar", "fileupload", "thumbupload"}),
              FormFieldNames(body));
    EXPECT_NE(std::string::npos, body.find(vptest::ReadFileBytes(path)));
    EXPECT_TRUE(vptest::FileExists(path));
}

TEST_F(TransloadStrategyTest, LocalFileWithSizeIsResizedHereNotByTheService)
{
    std::wstring path = folder_.File(L"wide.png");
    vptest::MakePicture(path, 1000, 500, Gdiplus::ImageFormatPNG);
    CTransloadStrategy strategy;
    Start(strategy, {vptest::FileUrl(path)}, L"320x240");
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    const std::string& body = uploader_.requests.at(0).body;
    EXPECT_EQ("<absent>", FormField(body, "optsize"));
    ASSERT_FALSE(strategy.GetItem(0).convertedPath.empty());
    EXPECT_EQ(320, vptest::Decode(strategy.GetItem(0).convertedPath).width);
    strategy.QueryCancel(true);
}

TEST_F(TransloadStrategyTest, AnyAddressIsAcceptedWithoutWarning)
{
    bool asked = false;
    CFileUploadStrategy::SetRejectedFilesPrompt([&](const std::vector<std::wstring>&) { return asked = true, false; });
    CTransloadStrategy strategy;
    VARIANT items = vptest::PathArray({L"http://example.org/page.html", L"http://example.org/noext"});
    EXPECT_EQ(0, strategy.SetItems(items));
    VariantClear(&items);
    CFileUploadStrategy::SetRejectedFilesPrompt(nullptr);
    EXPECT_FALSE(asked);
    EXPECT_EQ(2, strategy.GetItemCount());
    EXPECT_EQ(0, strategy.CountRejected());
}

TEST_F(TransloadStrategyTest, ServiceThatCannotReachTheSourceIsAskedAboutAtOnce)
{
    // The default limit would otherwise retry silently.
    CTransloadStrategy strategy;
    Start(strategy, {L"http://example.org/gone.jpg", L"http://example.org/next.jpg"});
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    uploader_.progress.answers = {IDOK};
    EXPECT_EQ(0, strategy.DocumentComplete(ErrorAnswer(L"resource_not_found", L"404").c_str()));
    ASSERT_EQ(1u, uploader_.progress.questions.size());
    const auto& q = uploader_.progress.questions[0];
    EXPECT_EQ(L"Source cannot be accessed by server: http://example.org/gone.jpg\n"
              L"Use Upload Image feature instead of Transload.",
              q.text);
    EXPECT_EQ(L"Transload error...", q.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONERROR), q.flags);
    EXPECT_EQ(L"", q.detail);
    ASSERT_EQ(2u, uploader_.requests.size()) << "OK skips to the next address";
    EXPECT_EQ("http://example.org/next.jpg", FormField(uploader_.requests[1].body, "url"));

    uploader_.progress.answers = {IDCANCEL};
    EXPECT_EQ(0, strategy.DocumentComplete(ErrorAnswer(L"transload_error", L"bad").c_str()));
    EXPECT_EQ(L"Error fetching image from remote site: http://example.org/next.jpg\n"
              L"Use Upload Image feature instead of Transload.",
              uploader_.progress.questions.at(1).text);
    EXPECT_EQ(2u, uploader_.requests.size()) << "Cancel stops";
    EXPECT_EQ(1, uploader_.finishCalls);
}

TEST_F(TransloadStrategyTest, OtherErrorsAreRetriedThenAskedWithDetails)
{
    SetRetryLimit(1);
    CTransloadStrategy strategy;
    Start(strategy, {L"http://example.org/a.jpg"});
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    EXPECT_EQ(0, strategy.DocumentComplete(ErrorAnswer(L"server_busy", L"try later").c_str()));
    EXPECT_TRUE(uploader_.progress.questions.empty());
    EXPECT_EQ(2u, uploader_.requests.size()) << "one silent retry";
    uploader_.progress.answers = {IDNO};
    EXPECT_EQ(0, strategy.DocumentComplete(ErrorAnswer(L"server_busy", L"try later").c_str()));
    ASSERT_EQ(1u, uploader_.progress.questions.size());
    const auto& q = uploader_.progress.questions[0];
    EXPECT_EQ(L"Cannot transload url: http://example.org/a.jpg\nRetry?", q.text);
    EXPECT_EQ(L"Transload error...", q.caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNOCANCEL | MB_ICONERROR), q.flags);
    EXPECT_EQ(L"try later", q.detail);
}

}  // namespace
