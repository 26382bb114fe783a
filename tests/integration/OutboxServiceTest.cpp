// The outbox against the development service: uploads that meet a dropped
// connection or an unavailable service stay waiting and arrive, once each,
// when a later pass finds the service back; a failed screen capture is kept
// until it is sent; so are transloads, blog posts (whose page opens then),
// slideshow members (the slideshow is made once its last member is sent) and
// tag-queue items; lasting refusals and a switched-off outbox keep nothing.
#include <windows.h>
#include <oleauto.h>

#include <memory>

#include <gtest/gtest.h>

#include "VellumpostToolbar_h.h"
#include "common/Handle.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "engine/FileUploadStrategy.h"
#include "engine/Outbox.h"
#include "engine/OutboxSender.h"
#include "engine/PostToBlogStrategy.h"
#include "engine/QueueStrategy.h"
#include "engine/ScreenCapture.h"
#include "engine/SlideShowStrategy.h"
#include "engine/UploadHistory.h"
#include "integration/ServiceTestBase.h"
#include "resources/resource.h"
#include "integration/StrategyRun.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "support/BrowserDoubles.h"
#include "support/BrowserStockBar.h"
#include "support/ChildProcess.h"
#include "support/Registration.h"
#include "support/EngineFakes.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"
#include "tests/engine/StrategyArgs.h"
#include "support/UploadLoop.h"

namespace {

using vptest::UploadRecords;

CUploadStrategy* FileStrategy(const std::vector<std::wstring>& paths)
{
    auto* strategy = new CFileUploadStrategy;
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(paths.size()));
    for (LONG i = 0; i < static_cast<LONG>(paths.size()); ++i) {
        BSTR text = SysAllocString(paths[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(array, &i, text);
        SysFreeString(text);
    }
    VARIANT items, none;
    VariantInit(&none);
    V_VT(&items) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&items) = array;
    EXPECT_EQ(0, strategy->Initialize(items, none, none, none));
    VariantClear(&items);
    return strategy;
}

// What a page does: creates the registered uploader class, which loads the
// toolbar library into this process, and gives it a file to upload.
Microsoft::WRL::ComPtr<IFileUploader> RegisteredUploader()
{
    Microsoft::WRL::ComPtr<IFileUploader> uploader;
    if (FAILED(CoCreateInstance(CLSID_FileUploader, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&uploader))))
        return nullptr;
    return uploader;
}

// Uploads the file argv[0] through the registered class until the test
// ends the process.
VP_TEST_CHILD(UploadThroughTheLibraryUntilEnded)
{
    if (argc < 1 || FAILED(CoInitialize(nullptr))) return 90;
    Microsoft::WRL::ComPtr<IFileUploader> uploader = RegisteredUploader();
    Microsoft::WRL::ComPtr<IInnerFileUploader> inner;
    if (!uploader || FAILED(uploader.As(&inner))) return 91;
    Microsoft::WRL::ComPtr<vptest::BrowserStockBar> toolbar = new vptest::BrowserStockBar;
    auto page = vptest::BrowserPage::Create();
    uploader->put_toolbar(toolbar.Get());
    uploader->put_destination(vptest::Query<IUnknown>(page.document).Get());
    Variant item(Widen(argv[0]).c_str()), none;
    if (inner->UploadFiles(*item.Get(), *none.Get(), *none.Get(), *none.Get(), *none.Get()) != S_OK) return 92;
    vptest::PumpUntil([] { return false; }, 120000);
    return 93;  // only when the test did not end this process
}

// Waits for the event named argv[0], then loads the library as a page would,
// and stays until no record waits in the outbox (its sender or another
// process's sent them).
VP_TEST_CHILD(LoadTheLibraryUntilNothingWaits)
{
    if (argc < 1 || FAILED(CoInitialize(nullptr))) return 90;
    HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, Widen(argv[0]).c_str());
    if (!go || WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 91;
    Microsoft::WRL::ComPtr<IFileUploader> uploader = RegisteredUploader();
    if (!uploader) return 92;
    Outbox outbox;
    HANDLE change = FindFirstChangeNotificationW(outbox.Folder().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (!outbox.List().empty() && GetTickCount64() < deadline) {
        WaitForSingleObject(change, 500);
        FindNextChangeNotification(change);
    }
    FindCloseChangeNotification(change);
    return outbox.List().empty() ? 0 : 93;
}

// A private slideshow of three new pictures, with an effect and a background.
CUploadStrategy* Slideshow(vptest::TempFolder& folder)
{
    std::vector<std::wstring> members;
    for (const wchar_t* name : {L"s1.png", L"s2.png", L"s3.png"}) {
        members.push_back(folder.File(name));
        vptest::MakePicture(members.back(), 80, 60, Gdiplus::ImageFormatPNG);
        members.back() = vptest::FileUrl(members.back());
    }
    auto* show = new CSlideShowStrategy;
    show->SetOption(L"effect", *Variant(L"trans0").Get());
    show->SetOption(L"background", *Variant(L"#000000").Get());
    VARIANT items = vptest::PathArray(members);
    Variant size(L"320x240"), none;
    VARIANT isPrivate;
    VariantInit(&isPrivate);
    V_VT(&isPrivate) = VT_BOOL;
    V_BOOL(&isPrivate) = VARIANT_FALSE;
    EXPECT_EQ(0, show->Initialize(items, *size.Get(), isPrivate, *none.Get()));
    VariantClear(&items);
    return show;
}

// The short links a slideshow import names, in the order it names them.
std::vector<std::string> ImportedLinks(const std::string& body)
{
    std::vector<std::string> links;
    const std::string marker = "name=\"url[]\"\r\n\r\n";
    for (size_t at = body.find(marker); at != std::string::npos; at = body.find(marker, at + 1)) {
        const size_t start = at + marker.size();
        links.push_back(body.substr(start, body.find("\r\n", start) - start));
    }
    return links;
}

std::string ShortLink(const CUploadResult& result) { return Narrow(result.shortLink.value_or(L"")); }

class OutboxServiceTest : public vptest::ServiceTestBase {
protected:
    void SetUp() override
    {
        ServiceTestBase::SetUp();
        SetSetting(L"Outbox", 1);
        SetSetting(L"ImplicitRetryCount", 0);
        Outbox::SetLocation(box_.Path());
        change_ = FindFirstChangeNotificationW(box_.Path().c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME);
        ASSERT_NE(INVALID_HANDLE_VALUE, change_);
    }
    void TearDown() override
    {
        if (change_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change_);
        Outbox::SetLocation(std::wstring());
        CQueueStrategy::SetQueueLocation(L"", L"");
    }

    // Until a record file comes or goes, or ms pass.
    void WaitForOutboxChange(DWORD ms)
    {
        WaitForSingleObject(change_, ms);
        FindNextChangeNotification(change_);
    }

    void SetSetting(const wchar_t* name, DWORD value)
    {
        RegKey key;
        key.Create(HKEY_CURRENT_USER, SettingsKeyPath());
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }

    // The user's upload of paths, answering the error box with answers.
    vptest::StrategyOutcome Upload(const std::vector<std::wstring>& paths, std::deque<int> answers)
    {
        vptest::StrategyRecord record;
        return vptest::RunStrategy([&] { return FileStrategy(paths); }, std::move(answers), record);
    }

    // A pass of the background sender, as it runs on its own apartment;
    // pages it opens go to seen, when given.
    OutboxPassResult Pass(bool evenNotDue, vptest::StrategyRecord* seen = nullptr)
    {
        OutboxPassResult pass;
        vptest::RunInApartment([&] {
            Outbox outbox;
            std::function<ImageTarget*()> target;
            if (seen) target = [seen] { return new vptest::StrategyRecordTarget(seen); };
            pass = SendDueUploads(outbox, target, evenNotDue);
        });
        return pass;
    }

    // A picture of the user's, stored on the service: its address there.
    std::wstring StoredPicture(const std::wstring& name)
    {
        const std::wstring path = folder_.File(name);
        vptest::MakePicture(path, 120, 90, Gdiplus::ImageFormatPNG);
        vptest::StrategyRecord record;
        vptest::RunStrategy([&] { return FileStrategy({path}); }, {}, record);
        EXPECT_EQ(1u, record.items.size());
        return record.items.empty() ? std::wstring() : service_.Url(vptest::LinkPath(*record.items[0].imageLink));
    }

    // A slideshow whose second picture meets an unavailable service (faults
    // apply in order), with answer given in the error box.
    vptest::StrategyRecord SlideshowFailingAtItsSecond(int answer)
    {
        service_.ArmFault(L"delay_ms=0");
        service_.ArmFault(L"status=503");
        vptest::StrategyRecord record;
        vptest::RunStrategy([&] { return Slideshow(folder_); }, {answer}, record);
        EXPECT_TRUE(record.postedTo.empty()) << "no slideshow while a member waits";
        return record;
    }

    // Stored uploads whose field name had value.
    size_t StoredWith(const std::string& name, const std::string& value)
    {
        size_t count = 0;
        for (const auto& request : UploadRecords(service_.Requests()))
            count += request["outcome"].String() == "stored" && vptest::RecordText(request, name) == value;
        return count;
    }

    size_t Stored()
    {
        size_t stored = 0;
        for (const auto& request : UploadRecords(service_.Requests()))
            if (request["outcome"].String() == "stored") ++stored;
        return stored;
    }

    vptest::TempFolder box_;
    HANDLE change_ = INVALID_HANDLE_VALUE;
};

TEST_F(OutboxServiceTest, UploadsThatMetADroppedConnectionAndAnUnavailableServiceArriveOnceWhenItIsBack)
{
    std::vector<std::wstring> paths;
    for (const wchar_t* name : {L"one.swf", L"two.swf", L"three.swf"})
        paths.push_back(folder_.Write(name, std::string(30000, static_cast<char>(name[0]))));
    // The service is down (its port refuses connections), then answers 503
    // for a while, then is back; the product's backoff starts at 250 ms
    // instead of 30 s so that the whole story takes seconds.
    SetSetting(L"OutboxRetryDelay", 250);
    service_.ArmFault(L"status=503&for_ms=2500");
    service_.Post(L"/__devservice/refuse?for_ms=1000");
    // The user gives each item up in the error box; they wait all the same.
    vptest::StrategyOutcome outcome = Upload(paths, {IDNO, IDNO, IDNO});
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(0, outcome.uploaded);
    std::vector<Outbox::Entry> waiting = Outbox().List();
    ASSERT_EQ(3u, waiting.size());
    EXPECT_EQ(paths[0], waiting[0].record.path);
    EXPECT_EQ(1, waiting[0].record.attempts);
    EXPECT_EQ(L"No connection to the service", waiting[0].record.lastFailure);

    // Nobody does anything: the sender, as a library load starts it, retries
    // with backoff, through the 503s, until the service answers.
    StartOutboxSender();
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while ((!Outbox().List().empty() || Stored() < 3) && GetTickCount64() < deadline) WaitForOutboxChange(500);
    EXPECT_TRUE(Outbox().List().empty());
    size_t unavailable = 0;
    for (const auto& request : UploadRecords(service_.Requests()))
        if (request["status"].Number() == 503) ++unavailable;
    EXPECT_GE(unavailable, 1u) << "some retries met the unavailable service";
    EXPECT_EQ(3u, Stored()) << "each item arrived exactly once";
    SettingsStore store;
    EXPECT_EQ(3, UploadHistory(store).HistoryCount()) << "every link is in the history";

    // Nothing waits, so the sender has ended; an upload that fails later in
    // the session is still retried by itself.
    service_.ArmFault(L"status=503&for_ms=500");
    paths.push_back(folder_.Write(L"four.swf", std::string(30000, 'f')));
    EXPECT_EQ(0, Upload({paths.back()}, {IDNO}).uploaded);
    const ULONGLONG later = GetTickCount64() + 20000;
    while ((!Outbox().List().empty() || Stored() < 4) && GetTickCount64() < later) WaitForOutboxChange(500);
    EXPECT_TRUE(Outbox().List().empty());
    EXPECT_EQ(4u, Stored());
    EXPECT_EQ(4, UploadHistory(store).HistoryCount());
}

TEST_F(OutboxServiceTest, TheSenderThreadSendsAWaitingUploadAsSoonAsAnotherUploadIsAnswered)
{
    const std::wstring early = folder_.Write(L"early.swf", std::string(20000, 'e'));
    service_.ArmFault(L"status=503");
    Upload({early}, {IDNO});
    Outbox outbox;
    ASSERT_EQ(1u, outbox.List().size());
    const ULONGLONG due = outbox.List()[0].record.nextAttempt;

    // Started as when the library loads: the record is not due, so it waits.
    StartOutboxSender();
    EXPECT_EQ(1, Upload({folder_.Write(L"later.swf", std::string(20000, 'l'))}, {}).uploaded);

    // The answer to the later upload sends the early one long before its time.
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (!outbox.List().empty() && GetTickCount64() < deadline) WaitForOutboxChange(1000);
    EXPECT_TRUE(outbox.List().empty());
    EXPECT_LT(OutboxNow(), due) << "sent before its retry was due";
    EXPECT_EQ(2u, Stored());
}

TEST_F(OutboxServiceTest, AFailedScreenCaptureIsKeptUntilItIsSentThenRemoved)
{
    std::wstring capture;
    ASSERT_TRUE(CaptureScreenShot(GetDesktopWindow(), capture));
    const std::string bytes = vptest::ReadFileBytes(capture);
    service_.ArmFault(L"status=503");
    EXPECT_TRUE(Upload({capture}, {IDNO}).finished);

    Outbox outbox;
    std::vector<Outbox::Entry> waiting = outbox.List();
    ASSERT_EQ(1u, waiting.size());
    EXPECT_FALSE(vptest::FileExists(capture)) << "the capture left the temporary folder";
    ASSERT_TRUE(waiting[0].record.keptCopy);
    EXPECT_EQ(bytes, vptest::ReadFileBytes(waiting[0].record.path)) << "and waits, whole, in the outbox";

    EXPECT_EQ(1, Pass(true).sent);
    EXPECT_EQ(1u, Stored());
    EXPECT_FALSE(vptest::FileExists(waiting[0].record.path)) << "the kept copy goes once it is sent";

    // With the kept copies at their bound, the next capture that fails is not
    // kept, and the error the user answers says so.
    OutboxRecord filler = waiting[0].record;
    filler.path = box_.Path() + L"\\filler.png";
    filler.nextAttempt = OutboxNow() + 3600ULL * 10000000;
    {
        File file;
        ASSERT_TRUE(file.Create(filler.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0));
        LARGE_INTEGER size;
        size.QuadPart = static_cast<LONGLONG>(kOutboxMaxKeptBytes);
        ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    }
    OutboxAdmission admission;
    ASSERT_FALSE(outbox.Add(filler, 0, admission).empty());
    ASSERT_TRUE(CaptureScreenShot(GetDesktopWindow(), capture));
    service_.ArmFault(L"status=503");
    vptest::StrategyOutcome full = Upload({capture}, {IDNO});
    ASSERT_EQ(1u, full.questions.size());
    EXPECT_NE(std::wstring::npos, full.questions[0].detail.find(LoadModuleString(IDS_OUTBOX_FULL)))
        << full.questions[0].detail;
    EXPECT_EQ(1u, outbox.List().size()) << "only the filler waits";
}

TEST_F(OutboxServiceTest, LastingRefusalsAndASwitchedOffOutboxKeepNothing)
{
    std::wstring path = folder_.Write(L"big.swf", std::string(5000, 'b'));
    service_.Post(L"/__devservice/config?max_file_size=1000");
    Upload({path}, {IDOK});
    service_.Post(L"/__devservice/config?max_file_size=104857600");
    EXPECT_TRUE(Outbox().List().empty()) << "a file too big stays too big";

    SetSetting(L"Outbox", 0);
    service_.ArmFault(L"close_after=10");
    Upload({path}, {IDNO});
    EXPECT_TRUE(Outbox().List().empty()) << "switched off, uploads go as without it";
    EXPECT_TRUE(vptest::FileExists(path));
}

TEST_F(OutboxServiceTest, AnUploadCutOffByItsProcessEndIsSentOnceByOneOfTwoLaterProcesses)
{
    ASSERT_EQ(0u, vptest::RunRegsvr32(L"/s", vptest::ToolbarLibraryPath()));
    // The library in the child processes keeps its outbox in the user's data
    // folder, which this test's settings move into a folder of its own.
    vptest::SetKeyText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                       L"Local AppData", box_.Path() + L"\\Local");
    Outbox::SetLocation(std::wstring());
    ASSERT_EQ(0u, Outbox().Folder().find(box_.Path())) << Outbox().Folder();
    service_.PointToolbarHere();

    const std::wstring path = folder_.Write(L"large.swf", std::string(20 * 1024 * 1024, 'z'));
    const std::wstring goName = L"VellumpostTestOutboxGo" + std::to_wstring(GetCurrentProcessId());
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, goName.c_str());
    // The service reads the 20 MB at 1 MB/s: the process ends with its
    // request under way, long before any answer.
    service_.ArmFault(L"read_rate=1000000");
    HANDLE uploading = vptest::StartChild("UploadThroughTheLibraryUntilEnded", {path});
    ASSERT_NE(nullptr, uploading);
    // The service takes the armed fault when the request reaches it: the
    // body is on its way then. Its list of faults is the only sign to watch.
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (service_.Get(L"/__devservice/faults").find("read_rate") != std::string::npos &&
           GetTickCount64() < deadline && WaitForSingleObject(uploading, 50) == WAIT_TIMEOUT) {
    }
    TerminateProcess(uploading, 9);
    WaitForSingleObject(uploading, 30000);
    CloseHandle(uploading);
    ASSERT_EQ(1u, Outbox().List().size()) << "the ended upload waits";
    EXPECT_EQ(0u, Stored());

    HANDLE first = vptest::StartChild("LoadTheLibraryUntilNothingWaits", {goName});
    HANDLE second = vptest::StartChild("LoadTheLibraryUntilNothingWaits", {goName});
    SetEvent(go);
    EXPECT_EQ(0, vptest::WaitChild(first, 120000));
    EXPECT_EQ(0, vptest::WaitChild(second, 120000));
    EXPECT_EQ(1u, Stored()) << "sent once";
    EXPECT_TRUE(Outbox().List().empty());
    SettingsStore store;
    UploadHistory history(store);
    EXPECT_EQ(1, history.HistoryCount());
    CloseHandle(go);
}

bool AnyFile(const std::wstring& pattern)
{
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW(pattern.c_str(), &data);
    if (found != INVALID_HANDLE_VALUE) FindClose(found);
    return found != INVALID_HANDLE_VALUE;
}

template <typename Strategy>
CUploadStrategy* AddressStrategy(const std::wstring& address)
{
    auto* strategy = new Strategy;
    Variant item(address.c_str()), none;
    EXPECT_EQ(0, strategy->Initialize(*item.Get(), *none.Get(), *none.Get(), *none.Get()));
    return strategy;
}

TEST_F(OutboxServiceTest, AFailedTransloadAndBlogPostAreFetchedOnceLaterAndTheBlogPageOpensThen)
{
    const std::wstring address = StoredPicture(L"fetched.png");
    ASSERT_FALSE(address.empty());
    service_.Reset();
    service_.ArmFault(L"status=503&count=2");
    vptest::StrategyRecord failed;
    vptest::RunStrategy([&] { return AddressStrategy<CTransloadStrategy>(address); }, {IDNO}, failed);
    vptest::RunStrategy([&] { return AddressStrategy<CPostToBlogStrategy>(address); }, {IDNO}, failed);
    EXPECT_TRUE(failed.navigated.empty()) << "no blog page without a picture";

    std::vector<Outbox::Entry> waiting = Outbox().List();
    ASSERT_EQ(2u, waiting.size());
    EXPECT_EQ(OutboxKind::Transload, waiting[0].record.kind);
    EXPECT_EQ(OutboxKind::BlogPost, waiting[1].record.kind);
    EXPECT_EQ(address, waiting[1].record.path);

    vptest::StrategyRecord seen;
    EXPECT_EQ(2, Pass(true, &seen).sent);
    EXPECT_EQ(0, Pass(true, &seen).sent);
    EXPECT_EQ(2u, StoredWith("url", Narrow(address))) << "each fetched once";
    ASSERT_EQ(2u, seen.items.size());
    ASSERT_FALSE(seen.navigated.empty());
    const std::wstring blogPage = L"/blogpost/postblog.php?id=" + seen.items[1].shortLink.value_or(L"");
    EXPECT_EQ(service_.Url(blogPage), seen.navigated.back()) << "the blog page opens at the end";
    SettingsStore store;
    UploadHistory history(store);
    EXPECT_EQ(3, history.HistoryCount()) << "the stored picture and both links";
}

TEST_F(OutboxServiceTest, ASlideshowWithAFailedMemberIsMadeWholeInOrderOnceThatMemberIsSent)
{
    const vptest::StrategyRecord first = SlideshowFailingAtItsSecond(IDNO);
    ASSERT_EQ(2u, first.items.size());
    ASSERT_EQ(1u, Outbox().List().size());
    EXPECT_EQ(1, Outbox().List()[0].record.slideshow.slot);

    vptest::StrategyRecord later;
    EXPECT_EQ(1, Pass(true, &later).sent);
    ASSERT_EQ(1u, later.items.size());
    EXPECT_EQ(service_.Url(L"/slideshow/import.php"), later.postedTo);
    const std::vector<std::string> inOrder = {ShortLink(first.items[0]), ShortLink(later.items[0]),
                                              ShortLink(first.items[1])};
    EXPECT_EQ(inOrder, ImportedLinks(later.postBody));
    const std::string page = vptest::PostRequest(later.postedTo, later.postHeaders, later.postBody);
    EXPECT_NE(std::string::npos, page.find("Slideshow created")) << page;
    EXPECT_NE(std::string::npos, page.find("size 320x240, public no, finalize yes, effect trans0, background #000000"))
        << page;
    EXPECT_EQ(std::string::npos, page.find("Unknown picture")) << page;
    EXPECT_FALSE(AnyFile(box_.File(L"*.vpg"))) << "the slideshow's links went with it";
}

TEST_F(OutboxServiceTest, ASlideshowCanceledAtAFailedMemberBecomesOneOfTheMembersSentOnceThatMemberGoes)
{
    const vptest::StrategyRecord first = SlideshowFailingAtItsSecond(IDCANCEL);
    ASSERT_EQ(1u, first.items.size());

    vptest::StrategyRecord later;
    EXPECT_EQ(1, Pass(true, &later).sent);
    ASSERT_EQ(1u, later.items.size());
    EXPECT_EQ((std::vector<std::string>{ShortLink(first.items[0]), ShortLink(later.items[0])}),
              ImportedLinks(later.postBody));
}

TEST_F(OutboxServiceTest, ATagQueueItemThatMetAnUnavailableServiceIsSentLaterWithItsTagsOnce)
{
    vptest::TempFolder queue;
    CQueueStrategy::SetQueueLocation(queue.Path(), L"VpOutboxQueue-" + std::to_wstring(GetCurrentProcessId()));
    const std::wstring address = StoredPicture(L"tagged.png");
    service_.ArmFault(L"status=503");
    vptest::StrategyRecord pass;
    vptest::RunStrategy(
        [&]() -> CUploadStrategy* {
            auto* strategy = new CQueueStrategy;
            // The user stops the pass with "Continue later".
            strategy->SetCancelQuestion([](HWND) { return IDNO; });
            Variant item(address.c_str()), tags(L"sea sun"), none;
            EXPECT_EQ(0, strategy->Initialize(*item.Get(), *none.Get(), *none.Get(), *tags.Get()));
            return strategy;
        },
        {IDCANCEL}, pass);
    EXPECT_FALSE(AnyFile(queue.File(L"tag*.tmp"))) << "the outbox alone holds the item, no later pass sends it";
    std::vector<Outbox::Entry> waiting = Outbox().List();
    ASSERT_EQ(1u, waiting.size());
    EXPECT_EQ(OutboxKind::TagQueueItem, waiting[0].record.kind);

    EXPECT_EQ(1, Pass(true).sent);
    EXPECT_EQ(0, Pass(true).sent);
    EXPECT_EQ(1u, StoredWith("tags", "sea sun")) << "sent with its tags, once";
}

}  // namespace
