// The tag upload queue against the development service, across processes: a
// second process that tags while a pass runs only writes queue files, and the
// next pass uploads them; size-bar choices split passes; a pass stopped with
// "Continue later" leaves its items to the next one; an item that fails, or a
// file that cannot be deleted, never comes back pass after pass.
#include <windows.h>
#include <oleauto.h>

#include <gdiplus.h>

#include <algorithm>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "common/Handle.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/Variant.h"
#include "engine/GdiplusSession.h"
#include "engine/IEImageUploader.h"
#include "engine/ImageTarget.h"
#include "engine/QueueFile.h"
#include "engine/QueueStrategy.h"
#include "engine/StrategyArgs.h"
#include "support/ChildProcess.h"
#include "support/DevService.h"
#include "support/EngineFakes.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"
#include "support/UploadLoop.h"

namespace {

using Microsoft::WRL::ComPtr;
const DWORD kTimeoutMs = 60000;

VARIANT Flag(bool on)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = on ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

// Tags items through a new strategy: what the queue entry of the uploader
// object does with the user's choices.
HRESULT Tag(const std::vector<std::wstring>& urls, const std::vector<std::wstring>& tags, bool isPublic,
            bool removeSizeBar, CQueueStrategy& strategy)
{
    strategy.SetOption(L"remove_size_bar", Flag(removeSizeBar));
    Variant items, tagTexts, size;
    *items.Out() = vptest::PathArray(urls);
    *tagTexts.Out() = vptest::PathArray(tags);
    return strategy.Initialize(*items.Get(), *size.Get(), Flag(isPublic), *tagTexts.Get());
}

// Child: tags the items given after the queue folder and event name, then
// reports Initialize's answer as its exit code (10 + code for a failure).
VP_TEST_CHILD(TagWhileAPassRuns)
{
    if (argc < 3) return 90;
    auto widen = [](const char* text) {
        int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
        std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
        if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], n);
        return out;
    };
    CQueueStrategy::SetQueueLocation(widen(argv[0]), widen(argv[1]));
    std::vector<std::wstring> urls, tags;
    for (int i = 2; i < argc; ++i) {
        urls.push_back(widen(argv[i]));
        tags.push_back(L"child" + std::to_wstring(i - 1));
    }
    CQueueStrategy strategy;
    HRESULT hr = Tag(urls, tags, false, true, strategy);
    return SUCCEEDED(hr) ? static_cast<int>(hr) : 10;
}

struct PassRecord {
    std::vector<size_t> completions;
    std::vector<std::string> tags, publicFlags, rembars;
};

struct RecordingTarget : ImageTarget {
    PassRecord* record;
    explicit RecordingTarget(PassRecord* r) : record(r) {}
    void OnUploadComplete(const UploadResults& results) override { record->completions.push_back(results.size()); }
};

std::string Field(const vptest::Json& request, const std::string& name)
{
    for (const vptest::Json& field : request["fields"].Items())
        if (field["name"].String() == name) return field["value"].String();
    return "<absent>";
}

class QueueServiceTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service_.Available());
        service_.Reset();
        service_.PointToolbarHere();
        eventName_ = L"VpQueueServiceTest-" + std::to_wstring(GetCurrentProcessId());
        CQueueStrategy::SetQueueLocation(queue_.Path(), eventName_);
    }
    void TearDown() override { CQueueStrategy::SetQueueLocation(L"", L""); }

    void SetSetting(const wchar_t* name, DWORD value)
    {
        RegKey key;
        key.Create(HKEY_CURRENT_USER, SettingsKeyPath());
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }

    std::wstring Picture(const std::wstring& name)
    {
        std::wstring path = pictures_.File(name);
        vptest::MakePicture(path, 60, 40, Gdiplus::ImageFormatPNG);
        return path;
    }

    std::vector<std::wstring> QueueFiles() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(queue_.File(L"tag*.tmp").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return names;
        do names.push_back(queue_.File(data.cFileName));
        while (FindNextFileW(find, &data));
        FindClose(find);
        return names;
    }
    size_t QueueFileCount() const { return QueueFiles().size(); }

    // Runs the pass of strategy (already initialized) on an uploader of a
    // test apartment; the uploader owns the strategy from here on. What the
    // service received for the pass is returned.
    PassRecord RunPass(std::unique_ptr<CQueueStrategy> strategy, std::deque<int> answers = {})
    {
        PassRecord record;
        const size_t before = Uploads().size();
        vptest::RunInApartment([&] {
            ComPtr<CIEImageUploader> uploader = CIEImageUploader::Make();
            auto* progress = new vptest::FakeProgress;
            progress->answers = answers;
            uploader->SetProgressDisplay(progress);
            ASSERT_EQ(S_OK, uploader->put_strategy(reinterpret_cast<LONG_PTR>(strategy.release())));
            auto target = std::make_unique<RecordingTarget>(&record);
            ASSERT_EQ(S_OK, uploader->put_target(reinterpret_cast<LONG_PTR>(target.release())));
            uploader->Upload();
            EXPECT_TRUE(vptest::PumpUntilFinished(kTimeoutMs)) << "the pass did not end";
            EXPECT_TRUE(progress->answers.empty()) << "every scripted answer was asked for";
        });
        std::vector<vptest::Json> uploads = Uploads();
        for (size_t i = before; i < uploads.size(); ++i) {
            record.tags.push_back(Field(uploads[i], "tags"));
            record.publicFlags.push_back(Field(uploads[i], "public"));
            record.rembars.push_back(Field(uploads[i], "rembar"));
        }
        return record;
    }

    std::vector<vptest::Json> Uploads() const
    {
        std::vector<vptest::Json> uploads;
        const vptest::Json records = service_.Requests();
        for (const vptest::Json& record : records.Items())
            if (record["path"].String() == "/upload_api.php" && record["outcome"].String() == "stored")
                uploads.push_back(record);
        return uploads;
    }

    // The pass the restart target would start: empty arguments.
    std::unique_ptr<CQueueStrategy> NextPass(HRESULT& initialized)
    {
        auto strategy = std::make_unique<CQueueStrategy>();
        const Variant empty;
        initialized = strategy->Initialize(*empty.Get(), *empty.Get(), *empty.Get(), *empty.Get());
        return strategy;
    }

    GdiplusSession gdiplus_;
    vptest::DevService service_;
    vptest::TempFolder queue_;
    vptest::TempFolder pictures_{vptest::TempFolder::OutsideTemporaryFolder};
    std::wstring eventName_;
};

TEST_F(QueueServiceTest, ThreeItemsTaggedInAnotherProcessDuringAPassGoToTheNextPass)
{
    std::wstring first = Picture(L"first.png");
    auto running = std::make_unique<CQueueStrategy>();
    ASSERT_EQ(0, Tag({vptest::FileUrl(first)}, {L"first"}, true, true, *running));

    // A damaged leftover in the folder must not stop anything.
    queue_.Write(L"tagDEAD.tmp", std::string("\xff\xff\xff\x7f", 4) + "xx");

    HANDLE child = vptest::StartChild("TagWhileAPassRuns",
                                      {queue_.Path(), eventName_, vptest::FileUrl(Picture(L"a.png")),
                                       vptest::FileUrl(Picture(L"b.png")), vptest::FileUrl(Picture(L"c.png"))});
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(1, vptest::WaitChild(child, kTimeoutMs)) << "tagging during a pass starts nothing";
    EXPECT_EQ(5u, QueueFileCount());
    EXPECT_TRUE(Uploads().empty()) << "queued items are not sent by the process that tagged them";

    PassRecord pass = RunPass(std::move(running));
    EXPECT_EQ(std::vector<std::string>{"first"}, pass.tags) << "the running pass keeps to its own items";
    EXPECT_EQ(std::vector<size_t>{1}, pass.completions);

    HRESULT initialized = E_FAIL;
    std::unique_ptr<CQueueStrategy> next = NextPass(initialized);
    ASSERT_EQ(0, initialized);
    PassRecord second = RunPass(std::move(next));
    std::sort(second.tags.begin(), second.tags.end());
    EXPECT_EQ((std::vector<std::string>{"child1", "child2", "child3"}), second.tags);
    EXPECT_EQ((std::vector<std::string>{"no", "no", "no"}), second.publicFlags) << "the child tagged them private";
    EXPECT_EQ(std::vector<size_t>{3}, second.completions);
    EXPECT_EQ(1u, QueueFileCount()) << "only the damaged file is left";

    std::unique_ptr<CQueueStrategy> idle = NextPass(initialized);
    EXPECT_EQ(1, initialized);
}

TEST_F(QueueServiceTest, DifferentSizeBarChoicesAreUploadedInDifferentPasses)
{
    {
        // Another process's pass is running while three items are tagged.
        HANDLE running = CreateEventW(nullptr, TRUE, FALSE, eventName_.c_str());
        const bool choices[] = {true, false, true};
        for (int i = 0; i < 3; ++i) {
            CQueueStrategy writer;
            EXPECT_EQ(1, Tag({vptest::FileUrl(Picture(L"p" + std::to_wstring(i) + L".png"))}, {L"t" + std::to_wstring(i)},
                             true, choices[i], writer));
        }
        CloseHandle(running);
    }
    std::vector<std::vector<std::string>> passes;
    for (int i = 0; i < 2; ++i) {
        HRESULT initialized = E_FAIL;
        std::unique_ptr<CQueueStrategy> pass = NextPass(initialized);
        ASSERT_EQ(0, initialized) << "pass " << i;
        passes.push_back(RunPass(std::move(pass)).rembars);
    }
    ASSERT_EQ(3u, passes[0].size() + passes[1].size());
    for (const auto& rembars : passes) {
        ASSERT_FALSE(rembars.empty());
        EXPECT_TRUE(std::all_of(rembars.begin(), rembars.end(), [&](const std::string& r) { return r == rembars[0]; }));
    }
    EXPECT_NE(passes[0][0], passes[1][0]);
    HRESULT initialized = E_FAIL;
    std::unique_ptr<CQueueStrategy> idle = NextPass(initialized);
    EXPECT_EQ(1, initialized);
}

TEST_F(QueueServiceTest, ALeftoverOfContinueLaterIsUploadedByTheNextPass)
{
    SetSetting(L"ImplicitRetryCount", 0);
    service_.ArmFault(L"status=503");
    std::wstring a = Picture(L"later-a.png"), b = Picture(L"later-b.png");
    auto stopped = std::make_unique<CQueueStrategy>();
    ASSERT_EQ(0, Tag({vptest::FileUrl(a), vptest::FileUrl(b)}, {L"la", L"lb"}, true, true, *stopped));
    int asked = 0;
    stopped->SetCancelQuestion([&](HWND) {
        ++asked;
        return IDNO;  // continue later
    });
    // The failed first item asks; Cancel there asks whether to cancel tagging.
    PassRecord pass = RunPass(std::move(stopped), {IDCANCEL});
    EXPECT_EQ(1, asked);
    EXPECT_TRUE(pass.tags.empty());
    EXPECT_TRUE(pass.completions.empty()) << "a canceled pass does not complete";
    EXPECT_EQ(2u, QueueFileCount());
    EXPECT_TRUE(vptest::FileExists(a));

    HRESULT initialized = E_FAIL;
    std::unique_ptr<CQueueStrategy> next = NextPass(initialized);
    ASSERT_EQ(0, initialized) << "the canceled pass released the queue";
    PassRecord resumed = RunPass(std::move(next));
    std::sort(resumed.tags.begin(), resumed.tags.end());
    EXPECT_EQ((std::vector<std::string>{"la", "lb"}), resumed.tags);
    EXPECT_EQ(0u, QueueFileCount());
}

TEST_F(QueueServiceTest, AnItemThatCannotBePreparedLeavesTheQueueOnceTheUserWasTold)
{
    // Named as a picture, but no picture: its thumbnail cannot be made.
    const std::wstring broken = pictures_.Write(L"broken.jpg", "not a picture at all");
    auto pass = std::make_unique<CQueueStrategy>();
    ASSERT_EQ(0, Tag({vptest::FileUrl(broken), vptest::FileUrl(Picture(L"fine.png"))}, {L"broken", L"fine"}, true,
                     true, *pass));
    ASSERT_EQ(2u, QueueFileCount());
    PassRecord record = RunPass(std::move(pass), {IDOK});  // the one question: the file cannot be processed
    EXPECT_EQ(std::vector<std::string>{"fine"}, record.tags);
    EXPECT_EQ(0u, QueueFileCount()) << "the failed item's file went with the message";
    EXPECT_TRUE(vptest::FileExists(broken)) << "the user's own file stays";

    HRESULT initialized = E_FAIL;
    std::unique_ptr<CQueueStrategy> idle = NextPass(initialized);
    EXPECT_EQ(1, initialized) << "the next pass does not bring the same error back";
}

TEST_F(QueueServiceTest, AQueueFileThatCannotBeDeletedIsSentOnceAndTheRestartsStop)
{
    HANDLE running = CreateEventW(nullptr, TRUE, FALSE, eventName_.c_str());
    HANDLE child = vptest::StartChild("TagWhileAPassRuns",
                                      {queue_.Path(), eventName_, vptest::FileUrl(Picture(L"held.png"))});
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(1, vptest::WaitChild(child, kTimeoutMs));
    CloseHandle(running);
    ASSERT_EQ(1u, QueueFileCount());

    // Another program (a scanner, an indexer) keeps the file open without
    // letting it be deleted, while the restart target starts pass after pass.
    const std::wstring held = QueueFiles()[0];
    auto holder = std::make_unique<File>();
    ASSERT_TRUE(holder->Create(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0));
    std::vector<std::string> sent;
    int passes = 0;
    for (HRESULT initialized = 0; passes < 4; ++passes) {
        std::unique_ptr<CQueueStrategy> next = NextPass(initialized);
        if (initialized != 0) break;
        PassRecord record = RunPass(std::move(next));
        sent.insert(sent.end(), record.tags.begin(), record.tags.end());
    }
    EXPECT_EQ(std::vector<std::string>{"child1"}, sent);
    EXPECT_EQ(1, passes) << "the pass after the one that sent it finds nothing and ends the restarts";
    EXPECT_EQ(1u, QueueFileCount());

    // Once the file is free, the next run of passes the user starts sends and removes it.
    holder.reset();
    auto tagged = std::make_unique<CQueueStrategy>();
    ASSERT_EQ(0, Tag({vptest::FileUrl(Picture(L"new.png"))}, {L"new"}, true, true, *tagged));
    EXPECT_EQ(std::vector<std::string>{"new"}, RunPass(std::move(tagged)).tags);
    HRESULT initialized = E_FAIL;
    std::unique_ptr<CQueueStrategy> next = NextPass(initialized);
    ASSERT_EQ(0, initialized);
    EXPECT_EQ(std::vector<std::string>{"child1"}, RunPass(std::move(next)).tags);
    EXPECT_EQ(0u, QueueFileCount());
}

}  // namespace
