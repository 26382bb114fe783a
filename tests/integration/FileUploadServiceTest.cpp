// Files uploaded end to end against the development service: the file
// strategy, the uploader and the upload thread together. What the service
// stored is compared with what was sent; faults of the service end on the
// retry-then-ask road; no temporary file is left behind.
#include <windows.h>
#include <oleauto.h>

#include <gdiplus.h>

#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "engine/FileUploadStrategy.h"
#include "engine/ScreenCapture.h"
#include "engine/FileUploader.h"
#include "engine/GdiplusSession.h"
#include "engine/IEImageUploader.h"
#include "engine/ImageUploadThead.h"
#include "engine/MultipartFormData.h"
#include "engine/TemporaryFiles.h"
#include "engine/UploadHistory.h"
#include "support/DevService.h"
#include "support/EngineFakes.h"
#include "support/Pictures.h"
#include "support/Sha256.h"
#include "support/TempFolder.h"
#include "support/UploadLoop.h"

namespace {

using Microsoft::WRL::ComPtr;
const DWORD kTimeoutMs = 60000;

VARIANT Strings(const std::vector<std::wstring>& texts, VARTYPE element)
{
    SAFEARRAY* array = SafeArrayCreateVector(element, 0, static_cast<ULONG>(texts.size()));
    for (LONG i = 0; i < static_cast<LONG>(texts.size()); ++i) {
        BSTR b = SysAllocString(texts[static_cast<size_t>(i)].c_str());
        if (element == VT_BSTR) {
            SafeArrayPutElement(array, &i, b);
        } else {
            VARIANT v;
            VariantInit(&v);
            if (!texts[static_cast<size_t>(i)].empty()) {
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = SysAllocString(b);
            }
            SafeArrayPutElement(array, &i, &v);
            VariantClear(&v);
        }
        SysFreeString(b);
    }
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ARRAY | element;
    V_ARRAY(&v) = array;
    return v;
}

// What reaches the extra target; its destruction tells that the upload
// thread has ended and freed what it owned.
struct RecordingTarget : ImageTarget {
    struct Record {
        std::vector<CUploadResult> items;
        size_t completed = 0;
        std::wstring postedTo;
        std::string postBody;
    };
    Record* record;
    HANDLE destroyed;
    RecordingTarget(Record* r, HANDLE e) : record(r), destroyed(e) {}
    ~RecordingTarget() override { SetEvent(destroyed); }
    void OnItemUploaded(const CUploadResult& r) override { record->items.push_back(r); }
    void OnUploadComplete(const UploadResults& rs) override { record->completed = rs.size(); }
    void PostData(const wchar_t* url, ImageTargetPostData& provider) override
    {
        record->postedTo = url;
        CMultipartFormData form("P");
        provider.FillRequest(form);
        record->postBody = form.BodyBytes();
    }
};

// Runs strategy on an upload thread of its own and waits until that thread
// has ended and freed what it owned.
void RunOnUploadThread(std::unique_ptr<CUploadStrategy> strategy, RecordingTarget::Record& record)
{
    HANDLE ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto* thread = new CImageUploadThead;
    thread->SetStrategy(std::move(strategy));
    thread->SetTarget(std::make_unique<RecordingTarget>(&record, ended));
    ASSERT_EQ(S_OK, thread->Start());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ended, kTimeoutMs)) << "the upload thread did not end";
    CloseHandle(ended);
}

const vptest::Json* FileField(const vptest::Json& request, const std::string& name)
{
    for (const vptest::Json& field : request["fields"].Items())
        if (field["name"].String() == name) return &field;
    return nullptr;
}

std::string TextField(const vptest::Json& request, const std::string& name)
{
    const vptest::Json* field = FileField(request, name);
    return field ? (*field)["value"].String() : "<absent>";
}

// The path of a service link ("http://host/i/1/a.jpg" gives "/i/1/a.jpg").
std::wstring LinkPath(const std::wstring& link)
{
    size_t scheme = link.find(L"://");
    return link.substr(link.find(L'/', scheme == std::wstring::npos ? 0 : scheme + 3));
}

// The upload requests among the service's records (a connection the service
// cut can leave a record of its unread rest).
std::vector<vptest::Json> Uploads(const vptest::Json& records)
{
    std::vector<vptest::Json> uploads;
    for (const vptest::Json& record : records.Items())
        if (record["method"].String() == "POST" && record["path"].String() == "/upload_api.php") uploads.push_back(record);
    return uploads;
}

// Files in the temporary folder whose names start with prefix.
std::set<std::wstring> TemporaryFilesNamed(const std::wstring& prefix)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((UserTempFolder() + L"\\" + prefix + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.insert(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

class FileUploadServiceTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service_.Available());
        service_.Reset();
        service_.PointToolbarHere();
    }
    void SetSetting(const wchar_t* name, DWORD value)
    {
        RegKey key;
        key.Create(HKEY_CURRENT_USER, SettingsKeyPath());
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }

    GdiplusSession gdiplus_;
    vptest::DevService service_;
    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
};

TEST_F(FileUploadServiceTest, ThreeFilesOnAnUploadThreadReachTheServiceWhole)
{
    std::wstring small = folder_.File(L"vpsmall.png");
    std::wstring big = folder_.File(L"vpbig.jpg");
    vptest::MakePicture(small, 120, 80, Gdiplus::ImageFormatPNG);
    vptest::MakePicture(big, 2000, 1000, Gdiplus::ImageFormatJPEG);
    std::string flash = "FWS\x09 not a real movie, only bytes";
    std::wstring movie = folder_.Write(L"vpmovie.swf", flash);

    auto strategy = std::make_unique<CFileUploadStrategy>();
    VARIANT items = Strings({small, big, movie}, VT_BSTR);
    VARIANT sizes = Strings({L"", L"640x480 (for message boards)", L""}, VT_VARIANT);
    VARIANT flags, tags;
    VariantInit(&flags);
    V_VT(&flags) = VT_BOOL;
    V_BOOL(&flags) = VARIANT_FALSE;
    tags = Strings({L"one", L"two", L"three"}, VT_VARIANT);
    VARIANT statistics;
    VariantInit(&statistics);
    V_VT(&statistics) = VT_I4;
    V_I4(&statistics) = 2 + 16;
    strategy->SetOption(L"statistics", statistics);
    ASSERT_EQ(0, strategy->Initialize(items, sizes, flags, tags));
    VariantClear(&items);
    VariantClear(&sizes);
    VariantClear(&tags);

    RecordingTarget::Record record;
    RunOnUploadThread(std::move(strategy), record);

    // The service got three uploads with every field of the request.
    vptest::Json requests = service_.Requests();
    ASSERT_EQ(3u, requests.Size());
    const char* expectedTags[] = {"one", "two", "three"};
    for (size_t i = 0; i < 3; ++i) {
        const vptest::Json& request = requests[i];
        EXPECT_EQ("/upload_api.php", request["path"].String());
        EXPECT_EQ("stored", request["outcome"].String());
        EXPECT_EQ("IEVellumpostToolbar-4.8.3.75", TextField(request, "toolbar"));
        EXPECT_EQ("no", TextField(request, "public"));
        EXPECT_EQ("newformat", TextField(request, "xml"));
        EXPECT_EQ(expectedTags[i], TextField(request, "tags"));
        EXPECT_EQ("upload", TextField(request, "statistics_operation"));
        EXPECT_EQ("toolbar", TextField(request, "statistics_source"));
        EXPECT_EQ("1", TextField(request, "rembar"));
        EXPECT_EQ("<absent>", TextField(request, "optsize")) << "pictures are resized here";
    }
    const vptest::Json* smallPart = FileField(requests[0], "fileupload");
    ASSERT_NE(nullptr, smallPart);
    EXPECT_EQ(vptest::Sha256Hex(vptest::ReadFileBytes(small)), (*smallPart)["sha256"].String());
    EXPECT_NE(nullptr, FileField(requests[0], "thumbupload"));
    const vptest::Json* bigPart = FileField(requests[1], "fileupload");
    ASSERT_NE(nullptr, bigPart);
    EXPECT_EQ("vpbig.jpg", (*bigPart)["filename"].String()) << "a resized copy goes under the file's own name only";
    EXPECT_EQ("vpsmall.png", (*smallPart)["filename"].String());
    const vptest::Json* moviePart = FileField(requests[2], "fileupload");
    ASSERT_NE(nullptr, moviePart);
    EXPECT_EQ(vptest::Sha256Hex(flash), (*moviePart)["sha256"].String());
    EXPECT_EQ("application/x-shockwave-flash", (*moviePart)["content_type"].String());
    EXPECT_EQ(nullptr, FileField(requests[2], "thumbupload"));

    // The results carry the service's links, and the picture stored for the
    // big file is the resized copy.
    ASSERT_EQ(3u, record.items.size());
    ASSERT_EQ(3u, record.completed);
    ASSERT_TRUE(record.items[1].imageLink.has_value());
    EXPECT_NE(std::wstring::npos, record.items[1].imageLink->find(L"vellumpost.com/"));
    std::string stored = service_.Get(LinkPath(*record.items[1].imageLink));
    std::wstring copy = folder_.Write(L"stored.jpg", stored);
    vptest::Decoded decoded = vptest::Decode(copy);
    EXPECT_EQ(640, decoded.width);
    EXPECT_EQ(320, decoded.height);
    EXPECT_EQ(L"vpbig.jpg", record.items[1].name.value_or(L""));

    // Several results go to the results page as id[] and public[] pairs.
    EXPECT_NE(std::wstring::npos, record.postedTo.find(L"/toolbar/pictures.php"));
    EXPECT_EQ((std::vector<std::string>{"id[]", "public[]", "id[]", "public[]", "id[]", "public[]"}),
              vptest::FormFieldNames(record.postBody));
    EXPECT_EQ(Narrow(*record.items[0].shortLink), vptest::FormField(record.postBody, "id[]"));

    // The history holds the three uploads, and nothing is left in the temporary folder.
    SettingsStore store;
    UploadHistory history(store);
    EXPECT_EQ(3, history.HistoryCount());
    EXPECT_TRUE(TemporaryFilesNamed(L"vpbig").empty());
    EXPECT_TRUE(TemporaryFilesNamed(L"vpsmall").empty());
    EXPECT_TRUE(vptest::FileExists(big)) << "the user's own file stays";
}

// One upload of path on a test thread with a scripted progress display.
struct ScriptedUpload {
    std::vector<vptest::FakeProgress::Question> questions;
    int uploaded = -1;
    bool finished = false;
};

ScriptedUpload UploadWithAnswers(const std::wstring& path, std::deque<int> answers)
{
    ScriptedUpload outcome;
    vptest::RunInApartment([&] {
        auto* strategy = new CFileUploadStrategy;
        VARIANT item;
        VariantInit(&item);
        V_VT(&item) = VT_BSTR;
        V_BSTR(&item) = SysAllocString(path.c_str());
        VARIANT none;
        VariantInit(&none);
        ASSERT_EQ(0, strategy->Initialize(item, none, none, none));
        VariantClear(&item);
        ComPtr<CIEImageUploader> uploader = CIEImageUploader::Make();
        auto* progress = new vptest::FakeProgress;
        progress->answers = answers;
        uploader->SetProgressDisplay(progress);
        ASSERT_EQ(S_OK, uploader->put_strategy(reinterpret_cast<LONG_PTR>(strategy)));
        uploader->Upload();
        outcome.finished = vptest::PumpUntilFinished(kTimeoutMs);
        outcome.questions = progress->questions;
        outcome.uploaded = strategy->UploadedCount();
        EXPECT_TRUE(progress->answers.empty()) << "every scripted answer was asked for";
    });
    return outcome;
}

TEST_F(FileUploadServiceTest, AFailingServerIsRetriedSilentlyThenTheUserIsAsked)
{
    SetSetting(L"ImplicitRetryCount", 2);
    service_.ArmFault(L"status=503&count=3");
    std::wstring path = folder_.Write(L"retry.swf", std::string(20000, 'r'));
    ScriptedUpload outcome = UploadWithAnswers(path, {IDNO});
    EXPECT_TRUE(outcome.finished);
    ASSERT_EQ(1u, outcome.questions.size());
    EXPECT_EQ(L"Cannot upload file: " + path + L"\nRetry?", outcome.questions[0].text);
    EXPECT_EQ(0, outcome.uploaded);
    EXPECT_EQ(3u, Uploads(service_.Requests()).size()) << "one try and two silent retries";
}

TEST_F(FileUploadServiceTest, RetryAfterTheQuestionUploadsTheItem)
{
    SetSetting(L"ImplicitRetryCount", 0);
    service_.ArmFault(L"close_after=4096");
    std::wstring path = folder_.Write(L"closed.swf", std::string(200000, 'c'));
    ScriptedUpload outcome = UploadWithAnswers(path, {IDYES});
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(1u, outcome.questions.size());
    EXPECT_EQ(1, outcome.uploaded);
    std::vector<vptest::Json> requests = Uploads(service_.Requests());
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("closed", requests[0]["outcome"].String());
    EXPECT_EQ("stored", requests[1]["outcome"].String());
}

TEST_F(FileUploadServiceTest, FileTooBigIsNeverRetried)
{
    service_.Post(L"/__devservice/config?max_file_size=1000");
    std::wstring path = folder_.Write(L"huge.swf", std::string(5000, 'h'));
    ScriptedUpload outcome = UploadWithAnswers(path, {IDOK});
    service_.Post(L"/__devservice/config?max_file_size=104857600");
    EXPECT_TRUE(outcome.finished);
    ASSERT_EQ(1u, outcome.questions.size());
    EXPECT_EQ(L"File too big: " + path, outcome.questions[0].text);
    EXPECT_EQ(1u, Uploads(service_.Requests()).size());
}

TEST_F(FileUploadServiceTest, EmptyAndBrokenAnswersTakeTheRetryRoad)
{
    SetSetting(L"ImplicitRetryCount", 1);
    for (const wchar_t* fault : {L"body=empty", L"body=not_xml"}) {
        service_.Reset();
        service_.ArmFault(std::wstring(fault) + L"&count=2");
        std::wstring path = folder_.Write(L"answer.swf", "abc");
        ScriptedUpload outcome = UploadWithAnswers(path, {IDCANCEL});
        EXPECT_TRUE(outcome.finished) << testing::PrintToString(std::wstring(fault));
        EXPECT_EQ(1u, outcome.questions.size());
        EXPECT_EQ(2u, Uploads(service_.Requests()).size());
    }
}


// Counts completions; arms a fault for the next request once the first item
// is in, so that only the second item meets it.
struct FaultAfterFirstItem : ImageTarget {
    const vptest::DevService* service;
    std::wstring fault;
    int items = 0;
    int completions = 0;
    size_t completedResults = 0;
    std::wstring postedTo;
    FaultAfterFirstItem(const vptest::DevService* s, std::wstring f) : service(s), fault(std::move(f)) {}
    void OnItemUploaded(const CUploadResult&) override
    {
        if (++items == 1) service->ArmFault(fault);
    }
    void OnUploadComplete(const UploadResults& results) override
    {
        ++completions;
        completedResults = results.size();
    }
    void PostData(const wchar_t* url, ImageTargetPostData&) override { postedTo = url; }
};

// A display whose first question comes while the file it names is made
// unreadable, so that the retry the user asks for cannot open it again.
struct VanishingFileProgress : vptest::FakeProgress {
    std::wstring file;
    int ShowError(const wchar_t* text, const wchar_t* caption, UINT flags, const wchar_t* detail) override
    {
        if (questions.empty()) {
            EXPECT_TRUE(MoveFileW(file.c_str(), (file + L".gone").c_str())) << GetLastError();
        }
        return FakeProgress::ShowError(text, caption, flags, detail);
    }
};

TEST_F(FileUploadServiceTest, AnItemWhoseRetryCannotBePostedIsSkippedAndTheRestStillCompletes)
{
    SetSetting(L"ImplicitRetryCount", 0);
    std::wstring first = folder_.Write(L"vpfirst.swf", std::string(3000, '1'));
    std::wstring second = folder_.Write(L"vpsecond.swf", std::string(200000, '2'));
    std::wstring third = folder_.Write(L"vpthird.swf", std::string(3000, '3'));
    auto* target = new FaultAfterFirstItem(&service_, L"close_after=4096");
    std::vector<vptest::FakeProgress::Question> questions;
    bool finished = false;
    vptest::RunInApartment([&] {
        auto strategy = std::make_unique<CFileUploadStrategy>();
        VARIANT items = Strings({first, second, third}, VT_BSTR);
        VARIANT none;
        VariantInit(&none);
        ASSERT_EQ(0, strategy->Initialize(items, none, none, none));
        VariantClear(&items);
        ComPtr<CIEImageUploader> uploader = CIEImageUploader::Make();
        auto* progress = new VanishingFileProgress;
        progress->file = second;
        // Retry the broken upload; then skip the file that cannot be opened.
        progress->answers = {IDYES, IDNO};
        uploader->SetProgressDisplay(progress);
        ASSERT_EQ(S_OK, uploader->put_target(reinterpret_cast<LONG_PTR>(target)));
        ASSERT_EQ(S_OK, uploader->put_strategy(reinterpret_cast<LONG_PTR>(strategy.release())));
        uploader->Upload();
        finished = vptest::PumpUntilFinished(kTimeoutMs);
        questions = progress->questions;
        // The target lives as long as the uploader; read it before both go.
        EXPECT_EQ(1, target->completions) << "the completion step runs once";
        EXPECT_EQ(2u, target->completedResults);
        EXPECT_NE(std::wstring::npos, target->postedTo.find(L"/toolbar/pictures.php"));
    });
    EXPECT_TRUE(finished);
    ASSERT_EQ(2u, questions.size());
    EXPECT_EQ(L"Cannot open file: " + second + L"\nRetry?", questions[1].text);

    std::vector<vptest::Json> uploads = Uploads(service_.Requests());
    std::vector<std::string> stored;
    for (const vptest::Json& upload : uploads) {
        const vptest::Json* file = FileField(upload, "fileupload");
        if (upload["outcome"].String() == "stored" && file) stored.push_back((*file)["filename"].String());
    }
    EXPECT_EQ((std::vector<std::string>{"vpfirst.swf", "vpthird.swf"}), stored);
}

TEST_F(FileUploadServiceTest, OnlyFilesTheProductMadeAreDeletedAfterTheirUpload)
{
    // A picture of the user's that lies in the temporary folder (saved from
    // mail, unpacked from an archive), resized and thumbnailed on its way,
    // and a screen capture the product made itself.
    vptest::TempFolder inTemp(vptest::TempFolder::InTemporaryFolder);
    std::wstring own = inTemp.File(L"vpown.jpg");
    vptest::MakePicture(own, 1600, 1200, Gdiplus::ImageFormatJPEG);
    std::wstring capture;
    ASSERT_TRUE(CaptureScreenShot(GetDesktopWindow(), capture));
    ASSERT_TRUE(vptest::FileExists(capture));

    auto strategy = std::make_unique<CFileUploadStrategy>();
    VARIANT items = Strings({own, capture}, VT_BSTR);
    VARIANT sizes = Strings({L"640x480 (for message boards)", L""}, VT_VARIANT);
    VARIANT none;
    VariantInit(&none);
    ASSERT_EQ(0, strategy->Initialize(items, sizes, none, none));
    VariantClear(&items);
    VariantClear(&sizes);
    RecordingTarget::Record record;
    RunOnUploadThread(std::move(strategy), record);

    ASSERT_EQ(2u, record.items.size());
    EXPECT_TRUE(vptest::FileExists(own)) << "the user's own picture stays";
    EXPECT_FALSE(vptest::FileExists(capture)) << "the capture was only made for the upload";
    EXPECT_TRUE(TemporaryFilesNamed(L"vpown").empty()) << "the resized copy and the thumbnail go";
}

}  // namespace
