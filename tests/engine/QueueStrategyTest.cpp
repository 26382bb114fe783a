// The tag upload queue: its record format against damaged and hostile files,
// the two roads of Initialize (queue behind a running pass, or run a pass),
// passes that keep one size-bar choice, the cancel answers, the question
// dialog itself, and the label that lets every process open the shared objects.
#include <windows.h>
#include <aclapi.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdint>
#include <set>

#include <gtest/gtest.h>

#include "engine/CancelTagging.h"
#include "engine/ImageTarget.h"
#include "engine/QueueFile.h"
#include "engine/QueueStrategy.h"
#include "engine/TemporaryFiles.h"
#include "engine/UploadHistory.h"
#include "common/Variant.h"
#include "engine/StrategyArgs.h"
#include "support/EngineFakes.h"
#include "support/TempFolder.h"

namespace {

// ---------------------------------------------------------------------------
// Record format

std::string Count(uint32_t n)
{
    return std::string{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                       static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
}

std::string Units(const std::string& ascii)
{
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

bool Decode(const std::string& bytes, QueueRecord& record, std::string& problem)
{
    return DecodeQueueRecord(bytes.data(), bytes.size(), record, problem);
}

TEST(QueueRecordTest, LayoutIsLittleEndianCountsOfUtf16UnitsAndSizeFieldsOnlyWithASize)
{
    QueueRecord record;
    record.path = L"ab";
    record.tags = L"t";
    record.isPublic = false;
    record.removeSizeBar = false;
    const std::string privateNoSize = Count(2) + Units("ab") + Count(1) + Units("t") + std::string(3, '\0');
    EXPECT_EQ(privateNoSize, EncodeQueueRecord(record));

    record.size = L"320x240";
    record.isPublic = true;
    record.removeSizeBar = true;
    const std::string withSize = Count(2) + Units("ab") + Count(1) + Units("t") + "\1\1" + Count(7) +
                                 Units("320x240") + "\1";
    EXPECT_EQ(withSize, EncodeQueueRecord(record));
}

TEST(QueueRecordTest, RecordsReadBackWhole)
{
    QueueRecord written;
    written.path = L"http://host/\x00e9t\x00e9.jpg";
    written.tags = L"sea, \x65e5\x672c";  // beyond the ANSI range; odd unit count
    written.isPublic = false;
    written.size = L"640x480";
    written.removeSizeBar = false;
    QueueRecord read;
    std::string problem;
    ASSERT_TRUE(Decode(EncodeQueueRecord(written), read, problem)) << problem;
    EXPECT_EQ(written.path, read.path);
    EXPECT_EQ(written.tags, read.tags);
    EXPECT_FALSE(read.isPublic);
    EXPECT_EQ(L"640x480", read.size);
    EXPECT_FALSE(read.removeSizeBar);
}

TEST(QueueRecordTest, EveryCutShortFileIsDamagedExceptOneWithoutTheLastByte)
{
    QueueRecord written;
    written.path = L"http://host/a.jpg";
    written.tags = L"one";
    written.size = L"100x75";
    written.removeSizeBar = false;
    const std::string bytes = EncodeQueueRecord(written);
    for (size_t cut = 0; cut + 1 < bytes.size(); ++cut) {
        QueueRecord read;
        std::string problem;
        EXPECT_FALSE(Decode(bytes.substr(0, cut), read, problem)) << "cut at " << cut;
        EXPECT_FALSE(problem.empty());
    }
    // Records from before the size-bar byte: the bar is removed.
    QueueRecord read;
    std::string problem;
    ASSERT_TRUE(Decode(bytes.substr(0, bytes.size() - 1), read, problem)) << problem;
    EXPECT_TRUE(read.removeSizeBar);
    EXPECT_EQ(L"100x75", read.size);
}

TEST(QueueRecordTest, HugeOddAndWrappingLengthsAndBadFlagsAreDamaged)
{
    const std::string tail = Count(1) + Units("t") + std::string{1, 0, 1};
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"all ones", Count(0xFFFFFFFF) + Units("ab") + tail},
        {"doubles to 0 in 32 bits", Count(0x80000000) + tail},
        {"doubles to 2 in 32 bits", Count(0x80000001) + Units("a") + tail},
        {"one unit more than the file", Count(static_cast<uint32_t>((2 + tail.size()) / 2 + 1)) + Units("ab") + tail},
        {"cut inside a code unit", Count(3) + Units("ab") + "x"},
        {"huge tags length", Count(1) + Units("a") + Count(0x7FFFFFFF) + std::string{1, 0, 1}},
        {"huge size length", Count(1) + Units("a") + Count(1) + Units("t") + std::string{1, 1} + Count(0x40000000)},
        {"public byte 2", Count(1) + Units("a") + Count(1) + Units("t") + std::string{2, 0, 1}},
        {"size flag byte 7", Count(1) + Units("a") + Count(1) + Units("t") + std::string{1, 7, 1}},
        {"size-bar byte 0xFF", Count(1) + Units("a") + Count(1) + Units("t") + std::string{1, 0, '\xFF'}},
        {"larger than any record", std::string(kMaxQueueFileBytes + 1, '\0')},
    };
    for (const Case& c : cases) {
        QueueRecord read;
        std::string problem;
        EXPECT_FALSE(Decode(c.bytes, read, problem)) << c.name;
        EXPECT_FALSE(problem.empty()) << c.name;
    }
}

// ---------------------------------------------------------------------------
// The strategy

VARIANT Flag(bool on)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = on ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

std::wstring Answer(const std::wstring& imageLink)
{
    return L"<?xml version=\"1.0\"?><response><links><image_link>" + imageLink + L"</image_link></links></response>";
}

// The current item is what a pass is working on; tests move it by hand.
class TestQueueStrategy : public CQueueStrategy {
public:
    using CQueueStrategy::currentIndex_;
};

struct RecordingTarget : ImageTarget {
    std::vector<size_t>* completions;
    explicit RecordingTarget(std::vector<size_t>* c) : completions(c) {}
    void OnUploadComplete(const UploadResults& results) override { completions->push_back(results.size()); }
    void Navigate(const wchar_t*) override { ADD_FAILURE() << "a queue pass opens no page"; }
    void PostData(const wchar_t*, ImageTargetPostData&) override { ADD_FAILURE() << "a queue pass posts no page"; }
};

class QueueStrategyTest : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        // A folder and an event of this test alone: test processes run side by side.
        eventName_ = L"VpQueueTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial_);
        CQueueStrategy::SetQueueLocation(queue_.Path(), eventName_);
    }
    void TearDown() override
    {
        CQueueStrategy::SetQueueLocation(L"", L"");
        CoUninitialize();
    }

    std::set<std::wstring> QueueFiles() const
    {
        std::set<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(queue_.File(L"tag*.tmp").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do names.insert(queue_.File(data.cFileName));
        while (FindNextFileW(find, &data));
        FindClose(find);
        return names;
    }

    QueueRecord ReadRecord(const std::wstring& file) const
    {
        std::string bytes = vptest::ReadFileBytes(file);
        QueueRecord record;
        std::string problem;
        EXPECT_TRUE(DecodeQueueRecord(bytes.data(), bytes.size(), record, problem)) << problem;
        return record;
    }

    std::wstring WriteRecord(const std::wstring& name, const std::wstring& path, const std::wstring& tags,
                             bool removeSizeBar = true)
    {
        QueueRecord record;
        record.path = path;
        record.tags = tags;
        record.removeSizeBar = removeSizeBar;
        return queue_.Write(name, EncodeQueueRecord(record));
    }

    // Tags items while another holder of the event keeps a pass running.
    int TagWhileAPassRuns(const std::vector<std::wstring>& paths, const std::wstring& tags, bool isPublic,
                          bool removeSizeBar)
    {
        HANDLE running = CreateEventW(nullptr, TRUE, FALSE, eventName_.c_str());
        CQueueStrategy writer;
        writer.SetOption(L"remove_size_bar", Flag(removeSizeBar));
        VARIANT items = vptest::PathArray(paths), flag = Flag(isPublic), size;
        VariantInit(&size);
        Variant tagText(tags.c_str());
        HRESULT hr = writer.Initialize(items, size, flag, *tagText.Get());
        EXPECT_FALSE(writer.HoldsQueueEvent());
        VariantClear(&items);
        CloseHandle(running);
        return hr;
    }

    // Runs the pass of strategy against the fake uploader, every item answered with a link.
    void RunPass(CQueueStrategy& strategy, vptest::FakeImageUploader& uploader)
    {
        strategy.SetUploader(&uploader);
        ASSERT_EQ(S_OK, strategy.UploadNextItem());
        for (int guard = 0; guard < 20 && uploader.finishCalls == 0; ++guard)
            ASSERT_EQ(0, strategy.DocumentComplete(Answer(L"http://vellumpost.com/i/" + std::to_wstring(guard) + L"/a.jpg").c_str()));
        EXPECT_EQ(1, uploader.finishCalls);
    }

    static int serial_;
    vptest::TempFolder queue_;
    std::wstring eventName_;
    VARIANT empty_ = {};
};

int QueueStrategyTest::serial_ = 0;

TEST_F(QueueStrategyTest, TheFirstTaggingRunsThePassAndQueuesEveryItem)
{
    CQueueStrategy strategy;
    EXPECT_EQ(queue_.Path() + L"\\", strategy.QueueFolder());
    strategy.SetOption(L"remove_size_bar", Flag(false));
    VARIANT items = vptest::PathArray({L"http://host/a.jpg", L"http://host/b.jpg"});
    VARIANT tags = vptest::PathArray({L"one", L"two"});
    VARIANT sizes = vptest::PathArray({L"640x480 (for message boards)", L""}), flag = Flag(false);
    ASSERT_EQ(0, strategy.Initialize(items, sizes, flag, tags));
    VariantClear(&items);
    VariantClear(&tags);
    VariantClear(&sizes);
    EXPECT_TRUE(strategy.HoldsQueueEvent());

    ASSERT_EQ(2u, strategy.QueueFileNames().size());
    EXPECT_EQ(2u, QueueFiles().size());
    QueueRecord first = ReadRecord(strategy.QueueFileNames()[0]);
    EXPECT_EQ(L"http://host/a.jpg", first.path);
    EXPECT_EQ(L"one", first.tags);
    EXPECT_FALSE(first.isPublic);
    EXPECT_EQ(L"640x480", first.size);
    EXPECT_FALSE(first.removeSizeBar);
    EXPECT_EQ(L"two", ReadRecord(strategy.QueueFileNames()[1]).tags);

    // Anyone tagging now only queues; a restart finds the pass running.
    EXPECT_EQ(1, TagWhileAPassRuns({L"http://host/c.jpg"}, L"three", true, true));
    CQueueStrategy restart;
    EXPECT_EQ(1, restart.Initialize(empty_, empty_, empty_, empty_));
    EXPECT_EQ(0, restart.GetItemCount());
}

TEST_F(QueueStrategyTest, ItemsQueuedBehindARunningPassKeepTheirPermissionAndReachTheNextPass)
{
    EXPECT_EQ(1, TagWhileAPassRuns({L"http://host/1.jpg", L"http://host/2.jpg", L"http://host/3.jpg"}, L"later",
                                   false, true));
    EXPECT_EQ(3u, QueueFiles().size());
    {
        HANDLE running = CreateEventW(nullptr, TRUE, FALSE, eventName_.c_str());
        CQueueStrategy writer;
        VARIANT items = vptest::PathArray({L"http://host/4.jpg"});
        EXPECT_EQ(E_FAIL, writer.Initialize(items, empty_, empty_, empty_)) << "queued items need tags";
        VariantClear(&items);
        CloseHandle(running);
    }

    std::vector<size_t> completions;
    CQueueStrategy pass;
    pass.SetTarget(std::make_unique<RecordingTarget>(&completions));
    ASSERT_EQ(0, pass.Initialize(empty_, empty_, empty_, empty_));
    ASSERT_EQ(3, pass.GetItemCount());
    std::set<std::wstring> paths;
    for (int i = 0; i < 3; ++i) {
        paths.insert(pass.GetItem(i).Path());
        EXPECT_EQ("later", pass.GetItem(i).tags);
        EXPECT_FALSE(pass.GetItem(i).isPublic) << "the permission chosen when tagging";
        EXPECT_EQ("", pass.GetItem(i).optsize);
    }
    EXPECT_EQ((std::set<std::wstring>{L"http://host/1.jpg", L"http://host/2.jpg", L"http://host/3.jpg"}), paths);

    vptest::FakeImageUploader uploader;
    RunPass(pass, uploader);
    ASSERT_EQ(3u, uploader.requests.size());
    for (const auto& request : uploader.requests) {
        EXPECT_EQ("later", vptest::FormField(request.body, "tags"));
        EXPECT_EQ("no", vptest::FormField(request.body, "public"));
    }
    EXPECT_EQ(std::vector<size_t>{3}, completions);
    EXPECT_FALSE(pass.HoldsQueueEvent()) << "the pass is over before the next one starts";
    EXPECT_TRUE(QueueFiles().empty());

    CQueueStrategy next;
    EXPECT_EQ(1, next.Initialize(empty_, empty_, empty_, empty_)) << "nothing left to upload";
    EXPECT_FALSE(next.HoldsQueueEvent()) << "an empty queue is idle";
}

TEST_F(QueueStrategyTest, APassSendsOneSizeBarChoiceAndTheOthersWaitForTheNext)
{
    // Unusable records sort first; they must not decide the choice.
    WriteRecord(L"tag0000.tmp", L"http://host/untagged.jpg", L"", false);
    queue_.Write(L"tag0001.tmp", Count(0xFFFFFFFF));
    WriteRecord(L"tag0002.tmp", L"http://host/a.jpg", L"a", true);
    WriteRecord(L"tag0003.tmp", L"http://host/b.jpg", L"b", false);
    WriteRecord(L"tag0004.tmp", L"http://host/c.jpg", L"c", true);

    std::vector<std::string> rembars[2];
    for (int passNumber = 0; passNumber < 2; ++passNumber) {
        CQueueStrategy pass;
        ASSERT_EQ(0, pass.Initialize(empty_, empty_, empty_, empty_)) << "pass " << passNumber;
        vptest::FakeImageUploader uploader;
        RunPass(pass, uploader);
        for (const auto& request : uploader.requests) rembars[passNumber].push_back(vptest::FormField(request.body, "rembar"));
    }
    // Which choice goes first depends on the folder's order; each pass holds one.
    std::vector<std::string> all = rembars[0];
    all.insert(all.end(), rembars[1].begin(), rembars[1].end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ((std::vector<std::string>{"1", "1", "<absent>"}), all);
    for (const auto& pass : rembars) {
        ASSERT_FALSE(pass.empty());
        EXPECT_EQ(pass.size(), static_cast<size_t>(std::count(pass.begin(), pass.end(), pass[0])));
    }
    CQueueStrategy last;
    EXPECT_EQ(1, last.Initialize(empty_, empty_, empty_, empty_));
    EXPECT_EQ(2u, QueueFiles().size()) << "the untagged and the damaged file stay";
}

TEST_F(QueueStrategyTest, AReadOnlyQueueFileIsStillRemovedOnceUploaded)
{
    // Left behind, it would be sent again by every pass the restart starts.
    std::wstring file = WriteRecord(L"tagRO.tmp", L"http://host/ro.jpg", L"ro");
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    CQueueStrategy pass;
    ASSERT_EQ(0, pass.Initialize(empty_, empty_, empty_, empty_));
    vptest::FakeImageUploader uploader;
    RunPass(pass, uploader);
    EXPECT_EQ(1u, uploader.requests.size());
    EXPECT_FALSE(vptest::FileExists(file));
}

TEST_F(QueueStrategyTest, DamagedFilesAreSkippedAndThePassGoesOnWithTheOthers)
{
    const std::string good = EncodeQueueRecord({L"http://host/good.jpg", L"good", true, L"", true});
    std::vector<std::wstring> damaged = {
        queue_.Write(L"tagA1.tmp", good.substr(0, good.size() / 2)),                   // truncated
        queue_.Write(L"tagA2.tmp", Count(0x7FFFFFFF) + Units("x")),                    // huge length
        queue_.Write(L"tagA3.tmp", Count(0x80000000) + Count(1) + Units("t") + "\1"),  // wraps in 32 bits
        queue_.Write(L"tagA4.tmp", Count(2) + Units("a") + "b"),                       // cut inside a unit
        queue_.Write(L"tagA5.tmp", ""),
        queue_.Write(L"tagA6.tmp", std::string(kMaxQueueFileBytes + 10, '\x01')),
    };
    std::wstring goodFile = queue_.Write(L"tagB.tmp", good);

    CQueueStrategy pass;
    ASSERT_EQ(0, pass.Initialize(empty_, empty_, empty_, empty_));
    ASSERT_EQ(1, pass.GetItemCount());
    EXPECT_EQ(L"http://host/good.jpg", pass.GetItem(0).Path());
    ASSERT_EQ(1u, pass.QueueFileNames().size());
    EXPECT_EQ(goodFile, pass.QueueFileNames()[0]);
    for (const auto& file : damaged) EXPECT_TRUE(vptest::FileExists(file)) << "damaged files are left alone";
}

TEST_F(QueueStrategyTest, CancelAnswers)
{
    vptest::TempFolder inTemp;
    vptest::TempFolder outside(vptest::TempFolder::OutsideTemporaryFolder);
    std::wstring userFile = outside.Write(L"user.swf", "user's own");
    struct Case {
        int answer;
        int expected;
        bool queueFilesStay;
    } cases[] = {{IDCANCEL, 1, true}, {IDNO, 0, true}, {IDYES, 0, false}};
    for (const Case& c : cases) {
        std::wstring tempItem = inTemp.Write(L"copy.swf", "temporary copy");
        std::wstring converted = inTemp.Write(L"converted.jpg", "resized");
        // Copies the product made itself; only such files are ever deleted.
        AdoptTemporaryFile(tempItem);
        AdoptTemporaryFile(converted);
        TestQueueStrategy strategy;
        std::vector<HWND> owners;
        strategy.SetCancelQuestion([&](HWND owner) {
            owners.push_back(owner);
            return c.answer;
        });
        VARIANT items =
            vptest::PathArray({L"http://host/x.jpg", vptest::FileUrl(tempItem), vptest::FileUrl(userFile)});
        ASSERT_EQ(0, strategy.Initialize(items, empty_, empty_, *Variant(L"t").Get()));
        VariantClear(&items);
        strategy.currentIndex_ = 1;
        strategy.GetItem(1).convertedPath = converted;
        std::vector<std::wstring> files = strategy.QueueFileNames();

        EXPECT_EQ(c.expected, strategy.QueryCancel(false)) << "answer " << c.answer;
        EXPECT_EQ(1u, owners.size());
        EXPECT_TRUE(vptest::FileExists(files[0])) << "the done part of the pass is not touched";
        EXPECT_EQ(c.queueFilesStay, vptest::FileExists(files[1])) << "answer " << c.answer;
        EXPECT_EQ(c.queueFilesStay, vptest::FileExists(files[2])) << "answer " << c.answer;
        EXPECT_EQ(c.answer == IDCANCEL, vptest::FileExists(converted)) << "answer " << c.answer;
        EXPECT_EQ(c.answer != IDYES, vptest::FileExists(tempItem)) << "answer " << c.answer;
        EXPECT_TRUE(vptest::FileExists(userFile));
        for (const auto& file : files) DeleteFileW(file.c_str());
        DeleteFileW(tempItem.c_str());
        DeleteFileW(converted.c_str());
    }
}

TEST_F(QueueStrategyTest, AForcedCancelAsksNothingAndDropsTheRestOfThePass)
{
    TestQueueStrategy strategy;
    strategy.SetCancelQuestion([](HWND) {
        ADD_FAILURE() << "a forced cancel asks nothing";
        return IDCANCEL;
    });
    VARIANT items = vptest::PathArray({L"http://host/a.jpg", L"http://host/b.jpg"});
    ASSERT_EQ(0, strategy.Initialize(items, empty_, empty_, *Variant(L"t").Get()));
    VariantClear(&items);
    strategy.currentIndex_ = -1;  // canceled before the first item was sent
    EXPECT_EQ(0, strategy.QueryCancel(true));
    EXPECT_TRUE(QueueFiles().empty());
}

// True when the object's security carries the low integrity label.
bool HasLowLabel(HANDLE object)
{
    PACL sacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!object || GetSecurityInfo(object, SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                   &sacl, &descriptor) != ERROR_SUCCESS)
        return false;
    bool low = false;
    for (DWORD i = 0; sacl && i < sacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        if (!GetAce(sacl, i, reinterpret_cast<void**>(&ace)) || ace->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE)
            continue;
        PSID sid = &reinterpret_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace)->SidStart;
        low = *GetSidSubAuthority(sid, 0) == SECURITY_MANDATORY_LOW_RID;
    }
    LocalFree(descriptor);
    return low;
}

TEST_F(QueueStrategyTest, TheQueueEventAndTheHistoryLockCarryTheLowLabel)
{
    // A protected-mode browser must be able to open what Explorer made.
    CQueueStrategy pass;
    VARIANT items = vptest::PathArray({L"http://host/a.jpg"});
    ASSERT_EQ(0, pass.Initialize(items, empty_, empty_, *Variant(L"t").Get()));
    VariantClear(&items);
    HANDLE event = OpenEventW(READ_CONTROL, FALSE, eventName_.c_str());
    EXPECT_TRUE(HasLowLabel(event));
    CloseHandle(event);

    SettingsStore store;
    UploadHistory history(store);
    HANDLE mutex = OpenMutexW(READ_CONTROL, FALSE, L"VellumpostUploadHistoryMutex");
    EXPECT_TRUE(HasLowLabel(mutex));
    CloseHandle(mutex);
}

// ---------------------------------------------------------------------------
// The question dialog

// Presses a button of the dialog once the modal loop runs, from a timer of
// the dialog's own thread.
struct ButtonPress {
    static int button;
    static std::wstring text, buttonText;
    static void CALLBACK Press(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        HWND dialog = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM found) -> BOOL {
                wchar_t name[32] = {};
                GetClassNameW(window, name, 32);
                if (lstrcmpW(name, L"#32770") != 0) return TRUE;
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) return;
        wchar_t line[128] = {};
        if (button != 0) GetDlgItemTextW(dialog, button, line, 128);
        buttonText = line;
        HWND label = FindWindowExW(dialog, nullptr, L"Static", nullptr);
        if (label) GetWindowTextW(label, line, 128);
        text = line;
        if (button == 0)
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);  // Escape
        else
            SendMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    }
};
int ButtonPress::button = 0;
std::wstring ButtonPress::text, ButtonPress::buttonText;

TEST(CancelTaggingTest, EachButtonGivesItsAnswer)
{
    struct Case {
        int button, answer;
        const wchar_t* label;
    } cases[] = {{IDYES, IDYES, L"Yes"}, {IDCANCEL, IDCANCEL, L"No"}, {IDNO, IDNO, L"Continue later"}, {0, IDCANCEL, nullptr}};
    for (const Case& c : cases) {
        ButtonPress::button = c.button;
        ButtonPress::text.clear();
        ASSERT_NE(0u, SetTimer(nullptr, 0, 10, ButtonPress::Press));
        EXPECT_EQ(c.answer, CCancelTagging().DoModal(nullptr)) << "button " << c.button;
        EXPECT_EQ(L"Do you really want to cancel tagging ?", ButtonPress::text);
        if (c.label) {
            EXPECT_EQ(c.label, ButtonPress::buttonText);
        }
    }
}

}  // namespace
