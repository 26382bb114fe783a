// The file strategy on real files with a recording uploader and a scripted
// progress display: request parts, local resizing and thumbnails, implicit
// retries and questions, results pages, and which files it may delete.
#include <windows.h>
#include <oleauto.h>

#include <gdiplus.h>

#include <memory>

#include <gtest/gtest.h>

#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "engine/FileUploadStrategy.h"
#include "engine/GdiplusSession.h"
#include "engine/TemporaryFiles.h"
#include "support/EngineFakes.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"
#include "tests/engine/StrategyArgs.h"

namespace {

using vptest::FormField;
using vptest::FormFieldNames;
using vptest::PathArray;

VARIANT Text(const wchar_t* text)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    return v;
}

std::wstring Answer(const std::wstring& imageLink, const std::wstring& extra = L"")
{
    return L"<?xml version=\"1.0\"?><response><links><image_link>" + imageLink + L"</image_link>" + extra +
           L"</links></response>";
}

// Records what reaches the target.
struct RecordingTarget : ImageTarget {
    std::vector<std::wstring>* events;
    explicit RecordingTarget(std::vector<std::wstring>* e) : events(e) {}
    void OnItemUploaded(const CUploadResult& r) override { events->push_back(L"item " + r.shortLink.value_or(L"")); }
    void OnUploadComplete(const UploadResults& rs) override
    {
        events->push_back(L"complete " + std::to_wstring(rs.size()));
    }
    void Navigate(const wchar_t* url) override { events->push_back(std::wstring(L"navigate ") + url); }
    void PostData(const wchar_t* url, ImageTargetPostData& provider) override
    {
        CMultipartFormData form("P");
        provider.FillRequest(form);
        events->push_back(std::wstring(L"post ") + url);
        body = form.BodyBytes();
    }
    std::string body;
};

// The strategy runs on an upload thread's single-threaded apartment.
struct Apartment {
    Apartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() { CoUninitialize(); }
};

class FileUploadStrategyTest : public testing::Test {
protected:
    void SetUp() override
    {
        strategy_.SetUploader(&uploader_);
        auto target = std::make_unique<RecordingTarget>(&events_);
        target_ = target.get();
        strategy_.SetTarget(std::move(target));
    }
    void TearDown() override { CFileUploadStrategy::SetRejectedFilesPrompt(nullptr); }

    void SetSetting(const wchar_t* name, DWORD value)
    {
        RegKey key;
        key.Create(HKEY_CURRENT_USER, SettingsKeyPath());
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }

    void Start(CFileUploadStrategy& strategy, const std::vector<std::wstring>& paths, const wchar_t* size = nullptr)
    {
        VARIANT items = PathArray(paths);
        VARIANT sizeValue;
        VariantInit(&sizeValue);
        if (size) sizeValue = Text(size);
        VARIANT none;
        VariantInit(&none);
        ASSERT_EQ(0, strategy.Initialize(items, sizeValue, none, none));
        VariantClear(&items);
        VariantClear(&sizeValue);
    }

    Apartment apartment_;
    GdiplusSession gdiplus_;
    // The user's own files: outside the temporary folder, never to be deleted.
    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
    vptest::FakeImageUploader uploader_;
    CFileUploadStrategy strategy_;
    std::vector<std::wstring> events_;
    RecordingTarget* target_ = nullptr;
};

TEST_F(FileUploadStrategyTest, SmallPictureGoesUnchangedWithItselfAsThumbnail)
{
    std::wstring path = folder_.File(L"small.png");
    vptest::MakePicture(path, 100, 50, Gdiplus::ImageFormatPNG);
    std::string bytes = vptest::ReadFileBytes(path);
    Start(strategy_, {path});
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());

    ASSERT_EQ(1u, uploader_.requests.size());
    const std::string& body = uploader_.requests[0].body;
    EXPECT_EQ((std::vector<std::string>{"toolbar", "public", "xml", "rembar", "fileupload", "thumbupload"}),
              FormFieldNames(body));
    EXPECT_NE(std::string::npos, body.find("name=\"fileupload\"; filename=\"small.png\"\r\nContent-Type: image/png"));
    EXPECT_NE(std::string::npos, body.find("binary\r\n\r\n" + bytes + "\r\n--"));
    EXPECT_EQ(std::string::npos, body.find("optimage"));
    EXPECT_NE(std::wstring::npos, uploader_.requests[0].url.find(L"/upload_api.php"));
    ASSERT_EQ(1u, uploader_.progress.sizes.size());
    EXPECT_EQ(bytes.size(), uploader_.progress.sizes[0]);
    EXPECT_TRUE(vptest::FileExists(path)) << "the user's own file is never deleted";
}

TEST_F(FileUploadStrategyTest, LargePictureIsResizedLocallyAndItsCopiesRemovedAfterwards)
{
    std::wstring path = folder_.File(L"big photo.jpg");
    vptest::MakePicture(path, 2000, 1000, Gdiplus::ImageFormatJPEG);
    Start(strategy_, {L"file:///" + path.substr(0, 2) + L"/" + folder_.Path().substr(3) + L"/big%20photo.jpg"},
          L"640x480 (for message boards)");
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    const CUploadItem& item = strategy_.GetItem(0);
    ASSERT_FALSE(item.convertedPath.empty());
    ASSERT_FALSE(item.thumbnailFile.empty());
    vptest::Decoded converted = vptest::Decode(item.convertedPath);
    EXPECT_EQ(640, converted.width);
    EXPECT_EQ(320, converted.height);
    vptest::Decoded thumb = vptest::Decode(item.thumbnailFile);
    EXPECT_EQ(150, thumb.width);
    EXPECT_EQ(75, thumb.height);

    const std::string& body = uploader_.requests.at(0).body;
    EXPECT_NE(std::string::npos, body.find("filename=\"big photo.jpg\""))
        << "the copy is sent under the item's own name, without its folders";
    EXPECT_EQ(std::string::npos, body.find("optsize")) << "resized here, so the service is not asked to";

    std::wstring convertedPath = item.convertedPath, thumbPath = item.thumbnailFile;
    ASSERT_EQ(0, strategy_.DocumentComplete(Answer(L"http://vellumpost.com/i/1/big.jpg").c_str()));
    EXPECT_FALSE(vptest::FileExists(convertedPath));
    EXPECT_FALSE(vptest::FileExists(thumbPath));
    EXPECT_TRUE(vptest::FileExists(path));
}

TEST_F(FileUploadStrategyTest, ResampleAsksTheServiceToResize)
{
    std::wstring path = folder_.File(L"p.png");
    vptest::MakePicture(path, 800, 600, Gdiplus::ImageFormatPNG);
    // A size with an empty or zero side is no box to resize into.
    for (const wchar_t* size : {L"Optimize without resizing", L"x240", L"0x0 (none)"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(size)));
        uploader_.requests.clear();
        CFileUploadStrategy strategy;
        strategy.SetUploader(&uploader_);
        Start(strategy, {path}, size);
        ASSERT_EQ(S_OK, strategy.UploadNextItem());
        const std::string& body = uploader_.requests.at(0).body;
        EXPECT_EQ("1", FormField(body, "optimage"));
        EXPECT_EQ("resample", FormField(body, "optsize"));
        EXPECT_TRUE(strategy.GetItem(0).convertedPath.empty());
    }
    EXPECT_TRUE(uploader_.progress.questions.empty()) << "no item is taken for an invalid file";
}

TEST_F(FileUploadStrategyTest, ImplicitRetriesThenTheQuestion)
{
    SetSetting(L"ImplicitRetryCount", 2);
    CFileUploadStrategy strategy;
    strategy.SetUploader(&uploader_);
    std::wstring a = folder_.Write(L"a.swf", "GIF89a-not-decoded");
    std::wstring b = folder_.Write(L"b.swf", "GIF89a-not-decoded");
    Start(strategy, {a, b});
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    EXPECT_EQ(0, strategy.UploadError());
    EXPECT_EQ(0, strategy.UploadError());
    EXPECT_TRUE(uploader_.progress.questions.empty()) << "two silent retries";
    EXPECT_EQ(3u, uploader_.requests.size());

    uploader_.progress.answers = {IDNO};
    EXPECT_EQ(0, strategy.UploadError());
    ASSERT_EQ(1u, uploader_.progress.questions.size());
    EXPECT_EQ(L"Cannot upload file: " + a + L"\nRetry?", uploader_.progress.questions[0].text);
    EXPECT_EQ(L"Upload error...", uploader_.progress.questions[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNOCANCEL | MB_ICONERROR), uploader_.progress.questions[0].flags);
    EXPECT_EQ(1, strategy.CurrentIndex()) << "No skips to the next item";

    // The counter starts again after a question: two more silent retries.
    EXPECT_EQ(0, strategy.UploadError());
    EXPECT_EQ(0, strategy.UploadError());
    uploader_.progress.answers = {IDCANCEL};
    EXPECT_EQ(1, strategy.UploadError()) << "Cancel stops the upload";
}

TEST_F(FileUploadStrategyTest, NoRetryAsksAtOnceAndFileTooBigIsNeverRetried)
{
    SetSetting(L"ImplicitRetryCount", 5);
    CFileUploadStrategy strategy;
    strategy.SetUploader(&uploader_);
    std::wstring a = folder_.Write(L"a.swf", "x");
    Start(strategy, {a});
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    uploader_.progress.answers = {IDOK};
    std::wstring answer =
        L"<response><links><error id=\"file_too_big\">too big</error></links></response>";
    EXPECT_EQ(0, strategy.DocumentComplete(answer.c_str()));
    ASSERT_EQ(1u, uploader_.progress.questions.size());
    EXPECT_EQ(L"File too big: " + a, uploader_.progress.questions[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONERROR), uploader_.progress.questions[0].flags);
    EXPECT_EQ(L"", uploader_.progress.questions[0].detail);
    EXPECT_EQ(1u, uploader_.requests.size()) << "OK skips the item";
    EXPECT_EQ(1, uploader_.finishCalls);
}

TEST_F(FileUploadStrategyTest, SingleResultOpensItsDonePage)
{
    std::wstring a = folder_.Write(L"a.swf", "x");
    Start(strategy_, {a});
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    ASSERT_EQ(0, strategy_.DocumentComplete(
                     Answer(L"http://vellumpost.com/i/7/a.gif", L"<done_page>http://done/7</done_page>").c_str()));
    EXPECT_EQ((std::vector<std::wstring>{L"item i/7/a.gif", L"complete 1", L"navigate http://done/7"}), events_);
    EXPECT_EQ(1, strategy_.UploadedCount());
    EXPECT_EQ(1, uploader_.progress.finishedStages);
}

TEST_F(FileUploadStrategyTest, SeveralResultsArePostedToTheResultsPage)
{
    std::wstring a = folder_.Write(L"a.swf", "x");
    std::wstring b = folder_.Write(L"b.swf", "y");
    VARIANT items = PathArray({a, b});
    VARIANT none;
    VariantInit(&none);
    SAFEARRAY* flags = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT f;
    VariantInit(&f);
    V_VT(&f) = VT_BOOL;
    V_BOOL(&f) = VARIANT_FALSE;
    LONG i = 1;
    SafeArrayPutElement(flags, &i, &f);
    VARIANT publicFlags;
    VariantInit(&publicFlags);
    V_VT(&publicFlags) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&publicFlags) = flags;
    ASSERT_EQ(0, strategy_.Initialize(items, none, publicFlags, none));
    VariantClear(&items);
    VariantClear(&publicFlags);

    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    ASSERT_EQ(0, strategy_.DocumentComplete(Answer(L"http://vellumpost.com/i/1/a.gif").c_str()));
    ASSERT_EQ(0, strategy_.DocumentComplete(Answer(L"http://vellumpost.com/i/2/b.gif").c_str()));
    ASSERT_EQ(4u, events_.size());
    EXPECT_EQ(L"complete 2", events_[2]);
    EXPECT_EQ(0u, events_[3].find(L"post http://")) << testing::PrintToString(events_[3]);
    EXPECT_NE(std::wstring::npos, events_[3].find(L"/toolbar/pictures.php"));
    EXPECT_EQ((std::vector<std::string>{"id[]", "public[]", "id[]", "public[]"}), FormFieldNames(target_->body));
    EXPECT_NE(std::string::npos, target_->body.find("\r\n\r\ni/1/a.gif\r\n"));
    EXPECT_NE(std::string::npos, target_->body.find("\r\n\r\ni/2/b.gif\r\n--P\r\nContent-Disposition: form-data; "
                                                    "name=\"public[]\"\r\n\r\nno\r\n"));
}

TEST_F(FileUploadStrategyTest, UnsupportedFilesAreLeftOutOrTheUploadDropped)
{
    std::vector<std::vector<std::wstring>> asked;
    bool answer = true;
    CFileUploadStrategy::SetRejectedFilesPrompt([&](const std::vector<std::wstring>& paths) {
        asked.push_back(paths);
        return answer;
    });
    {
        CFileUploadStrategy strategy;
        VARIANT items = PathArray({L"C:\\a.jpg", L"C:\\notes.txt", L"C:\\clip.avi"});
        EXPECT_EQ(0, strategy.SetItems(items));
        ASSERT_EQ(2, strategy.GetItemCount());
        EXPECT_EQ(L"C:\\clip.avi", strategy.GetItem(1).Path());
        ASSERT_EQ(1u, asked.size());
        EXPECT_EQ(3u, asked[0].size()) << "the dialog is given every path";
        VariantClear(&items);
    }
    {
        answer = false;
        CFileUploadStrategy strategy;
        VARIANT items = PathArray({L"C:\\a.jpg", L"C:\\notes.txt"});
        EXPECT_EQ(1, strategy.SetItems(items)) << "cancelled: nothing is uploaded";
        VariantClear(&items);
    }
    {
        answer = true;
        CFileUploadStrategy strategy;
        VARIANT items = PathArray({L"C:\\notes.txt"});
        EXPECT_EQ(1, strategy.SetItems(items)) << "all rejected: nothing is uploaded";
        VariantClear(&items);
    }
    EXPECT_TRUE(CFileUploadStrategy::IsRejectedPath(L"a.flv", CFileUploadStrategy::FileTypeMode::ImagesOnly));
    EXPECT_FALSE(CFileUploadStrategy::IsRejectedPath(L"a.flv", CFileUploadStrategy::FileTypeMode::Normal));
    EXPECT_FALSE(CFileUploadStrategy::IsRejectedPath(L"a.BMP", CFileUploadStrategy::FileTypeMode::ImagesOnly));
}

TEST_F(FileUploadStrategyTest, AFileThatCannotBeOpenedIsAskedAbout)
{
    std::wstring missing = folder_.File(L"later.gif");
    Start(strategy_, {missing});
    uploader_.progress.answers = {IDNO};
    EXPECT_EQ(E_FAIL, strategy_.UploadNextItem());
    ASSERT_EQ(1u, uploader_.progress.questions.size());
    EXPECT_EQ(L"Cannot open file: " + missing + L"\nRetry?", uploader_.progress.questions[0].text);
    EXPECT_TRUE(uploader_.requests.empty());
    EXPECT_EQ(1, uploader_.finishCalls);

    CFileUploadStrategy again;
    again.SetUploader(&uploader_);
    Start(again, {missing});
    uploader_.progress.answers = {IDCANCEL};
    EXPECT_EQ(E_FAIL, again.UploadNextItem());
    EXPECT_EQ(1, uploader_.cancelCalls);
    EXPECT_TRUE(uploader_.lastCancelForce);
}

TEST_F(FileUploadStrategyTest, VideosGoToTheVideoEndpointWithoutThumbnail)
{
    RegKey key;
    key.Create(HKEY_CURRENT_USER, SettingsKeyPath());
    SettingsStore::WriteText(key, L"ForceServer", L"127.0.0.1:5");
    CFileUploadStrategy strategy;
    strategy.SetUploader(&uploader_);
    std::wstring clip = folder_.Write(L"clip.mp4", "not really a video");
    Start(strategy, {clip}, L"320x240");
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    EXPECT_EQ(L"http://127.0.0.1:5/upload_api.php", uploader_.requests.at(0).url);
    EXPECT_EQ((std::vector<std::string>{"toolbar", "public", "xml", "rembar", "fileupload"}),
              FormFieldNames(uploader_.requests[0].body));
}

TEST_F(FileUploadStrategyTest, RemoveSizeBarOptionTypes)
{
    VARIANT off;
    VariantInit(&off);
    V_VT(&off) = VT_BOOL;
    V_BOOL(&off) = VARIANT_FALSE;
    EXPECT_EQ(0, strategy_.SetOption(L"remove_size_bar", off));
    EXPECT_FALSE(strategy_.RemoveSizeBar());
    VARIANT number;
    VariantInit(&number);
    V_VT(&number) = VT_I4;
    EXPECT_EQ(E_FAIL, strategy_.SetOption(L"remove_size_bar", number));
    VARIANT empty;
    VariantInit(&empty);
    EXPECT_EQ(0, strategy_.SetOption(L"remove_size_bar", empty));
    EXPECT_FALSE(strategy_.RemoveSizeBar());
}

TEST(TemporaryFilesTest, OnlyFilesInsideTheTemporaryFolderCount)
{
    std::wstring temp = UserTempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(IsInsideFolder(temp + L"\\a.jpg", temp));
    EXPECT_TRUE(IsInsideFolder(temp + L"\\sub\\..\\a.jpg", temp));
    std::wstring upper = temp;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    EXPECT_TRUE(IsInsideFolder(upper + L"\\A.JPG", temp)) << "case does not matter";
    EXPECT_FALSE(IsInsideFolder(temp + L"\\..\\Documents\\a.jpg", temp));
    EXPECT_FALSE(IsInsideFolder(temp + L"2\\a.jpg", temp));
    EXPECT_FALSE(IsInsideFolder(temp, temp));
    EXPECT_FALSE(IsInsideFolder(L"", temp));

    std::wstring url = L"file:///" + temp + L"\\my%20file.jpg";
    for (auto& c : url)
        if (c == L'\\') c = L'/';
    EXPECT_TRUE(IsInsideFolder(url, temp));

    std::wstring outside = temp + L"2";
    CreateDirectoryW(outside.c_str(), nullptr);
    std::wstring victim = outside + L"\\keep.jpg";
    HANDLE h = CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
    EXPECT_FALSE(AdoptTemporaryFile(victim));
    EXPECT_FALSE(RemoveTemporaryFile(victim));
    EXPECT_TRUE(vptest::FileExists(victim));

    // Inside the folder only what the product adopted goes, and only once.
    vptest::TempFolder inside;
    std::wstring users = inside.Write(L"users.jpg", "mine");
    std::wstring made = inside.Write(L"made.jpg", "copy");
    EXPECT_TRUE(AdoptTemporaryFile(made));
    EXPECT_FALSE(RemoveTemporaryFile(users));
    EXPECT_TRUE(vptest::FileExists(users));
    EXPECT_TRUE(RemoveTemporaryFile(made));
    EXPECT_FALSE(vptest::FileExists(made));
    inside.Write(L"made.jpg", "a later file of the same name");
    EXPECT_FALSE(RemoveTemporaryFile(made)) << "an adoption covers one file";
    DeleteFileW(victim.c_str());
    RemoveDirectoryW(outside.c_str());
}

}  // namespace

namespace {

// A results page for a window target is an HTML form: one option per result,
// one permission input per result, in upload order.
struct FormTarget : ImageTarget {
    std::wstring html;
    void PostData(const wchar_t*, ImageTargetPostData& provider) override { provider.FillHtmlForm(html, false); }
};

TEST(FileUploadPostDataTest, HtmlFormListsEveryResultInOrder)
{
    vptest::TempFolder folder;
    vptest::FakeImageUploader uploader;
    CFileUploadStrategy strategy;
    strategy.SetUploader(&uploader);
    auto form = std::make_unique<FormTarget>();
    FormTarget* target = form.get();
    strategy.SetTarget(std::move(form));
    VARIANT items = PathArray({folder.Write(L"a.swf", "x"), folder.Write(L"b.swf", "y")});
    ASSERT_EQ(0, strategy.SetItems(items));
    VariantClear(&items);
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    ASSERT_EQ(0, strategy.DocumentComplete(Answer(L"http://vellumpost.com/i/1/a.gif").c_str()));
    ASSERT_EQ(0, strategy.DocumentComplete(Answer(L"http://vellumpost.com/i/2/b.gif").c_str()));
    EXPECT_EQ(L"<form id=\"submit_form\" method=\"post\" action=\"%submit_url%\"><select name=\"id[]\" multiple>"
              L"<option selected value=\"i/1/a.gif\">Vellumpost image link</option>"
              L"<option selected value=\"i/2/b.gif\">Vellumpost image link</option></select>"
              L"<input type=\"hidden\" name=\"public[]\" value=\"yes\">"
              L"<input type=\"hidden\" name=\"public[]\" value=\"yes\"></form>",
              target->html);
}

}  // namespace
