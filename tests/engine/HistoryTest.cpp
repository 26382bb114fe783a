// The upload history in the registry: value names, order, the limit and its
// eviction, gaps, the toolbar's copies of several windows, whole entries when
// several threads and processes add at once, and a lock held elsewhere.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/LogWriter.h"
#include "common/SettingsStore.h"
#include "engine/UploadHistory.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace {

CUploadResult Entry(const std::wstring& tag, bool withThumb = true)
{
    CUploadResult result;
    result.name = tag + L".jpg";
    result.SetImageLink((L"http://h/i/" + tag + L"/" + tag + L".jpg").c_str());
    if (withThumb) result.thumbLink = L"http://h/t/" + tag + L".jpg";
    result.adLink = L"http://h/ad/" + tag;
    result.imageHtml = L"html " + tag;
    result.imageBB = L"bb " + tag;
    result.imageBB2 = L"bb2 " + tag;
    result.thumbHtml = L"thtml " + tag;
    result.thumbBB = L"tbb " + tag;
    result.thumbBB2 = L"tbb2 " + tag;
    return result;
}

bool HasValue(SettingsStore& store, const std::wstring& name)
{
    std::wstring value;
    return SettingsStore::ReadText(store.HistoryKey(), name.c_str(), value);
}

std::wstring Value(SettingsStore& store, const std::wstring& name)
{
    std::wstring value;
    return SettingsStore::ReadText(store.HistoryKey(), name.c_str(), value) ? value : L"<absent>";
}

// Tags of entries 0..n-1, by their names.
std::vector<std::wstring> Names(UploadHistory& history)
{
    std::vector<std::wstring> names;
    const int count = history.HistoryCount();
    for (int i = 0; i < count; ++i) {
        CUploadResult entry;
        history.ReadHistoryEntry(i, entry);
        names.push_back(entry.name.value_or(L"<absent>"));
    }
    return names;
}

std::vector<std::wstring> NamesOf(const std::vector<CUploadResult>& items)
{
    std::vector<std::wstring> names;
    for (const CUploadResult& item : items) names.push_back(item.name.value_or(L"<absent>"));
    return names;
}

void SetMaxHistory(SettingsStore& store, DWORD limit)
{
    RegSetValueExW(store.HistoryKey(), L"MaxHistory", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&limit), sizeof(limit));
}

std::vector<std::wstring> Tags(int first, int last)
{
    std::vector<std::wstring> names;
    for (int i = first; i <= last; ++i) names.push_back(std::to_wstring(i) + L".jpg");
    return names;
}

// True when every field of entry index belongs to one and the same addition.
::testing::AssertionResult EntryIsWhole(UploadHistory& history, int index)
{
    CUploadResult entry;
    history.ReadHistoryEntry(index, entry);
    if (!entry.name) return ::testing::AssertionFailure() << "entry " << index << " has no name";
    std::wstring tag = entry.name->substr(0, entry.name->size() - 4);
    CUploadResult expected = Entry(tag);
    for (auto field : {&CUploadResult::imageLink, &CUploadResult::thumbLink, &CUploadResult::adLink,
                       &CUploadResult::imageHtml, &CUploadResult::imageBB, &CUploadResult::imageBB2,
                       &CUploadResult::thumbHtml, &CUploadResult::thumbBB, &CUploadResult::thumbBB2}) {
        if (entry.*field != expected.*field)
            return ::testing::AssertionFailure()
                   << "entry " << index << " of " << testing::PrintToString(tag) << " holds "
                   << testing::PrintToString((entry.*field).value_or(L"<absent>"));
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(UploadHistoryTest, FirstAdditionWritesEveryFieldOfEntryZero)
{
    SettingsStore store;
    UploadHistory history(store);
    EXPECT_EQ(10u, history.MaxHistory());
    EXPECT_EQ(0, history.HistoryCount());
    EXPECT_EQ(0, history.AddHistoryEntry(Entry(L"a")));
    EXPECT_EQ(L"a.jpg", Value(store, L"history(0).image_name"));
    EXPECT_EQ(L"http://h/i/a/a.jpg", Value(store, L"history(0).image_link"));
    EXPECT_EQ(L"http://h/t/a.jpg", Value(store, L"history(0).thumb_link"));
    EXPECT_EQ(L"http://h/ad/a", Value(store, L"history(0).ad_link"));
    EXPECT_EQ(L"html a", Value(store, L"history(0).image_html"));
    EXPECT_EQ(L"tbb2 a", Value(store, L"history(0).thumb_bb2"));
    EXPECT_FALSE(HasValue(store, L"history(0).short_link"));

    CUploadResult read;
    read.responseText = L"left from before";
    history.ReadHistoryEntry(0, read);
    EXPECT_EQ(L"i/a/a.jpg", read.shortLink.value_or(L"<absent>"));  // derived, not stored
    EXPECT_FALSE(read.responseText.has_value());
    EXPECT_TRUE(EntryIsWhole(history, 0));
}

TEST(UploadHistoryTest, MissingFieldsAreDeletedNotWrittenEmpty)
{
    SettingsStore store;
    UploadHistory history(store);
    history.WriteHistoryEntry(0, Entry(L"a"));
    history.WriteHistoryEntry(0, Entry(L"b", false));
    EXPECT_FALSE(HasValue(store, L"history(0).thumb_link"));
    EXPECT_EQ(L"b.jpg", Value(store, L"history(0).image_name"));
    CUploadResult read;
    history.ReadHistoryEntry(0, read);
    EXPECT_FALSE(read.thumbLink.has_value());
}

TEST(UploadHistoryTest, TheOldestGoesWhenTheHistoryIsFull)
{
    SettingsStore store;
    UploadHistory history(store);
    for (int i = 0; i < 10; ++i) history.AddHistoryEntry(Entry(std::to_wstring(i)));
    EXPECT_EQ(Tags(0, 9), Names(history));
    EXPECT_EQ(9, history.AddHistoryEntry(Entry(L"10")));
    EXPECT_EQ(Tags(1, 10), Names(history));
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(EntryIsWhole(history, i));
    EXPECT_FALSE(HasValue(store, L"history(10).image_name"));
}

TEST(UploadHistoryTest, ALimitLoweredByHandDropsOneEntryPerAddition)
{
    SettingsStore store;
    UploadHistory history(store);
    for (int i = 0; i < 10; ++i) history.AddHistoryEntry(Entry(std::to_wstring(i)));
    SetMaxHistory(store, 3);
    EXPECT_EQ(3u, history.MaxHistory());
    EXPECT_EQ(9, history.AddHistoryEntry(Entry(L"10")));
    EXPECT_EQ(Tags(1, 10), Names(history));
}

TEST(UploadHistoryTest, ALimitOfZeroNeverWritesBelowEntryZero)
{
    SettingsStore store;
    UploadHistory history(store);
    SetMaxHistory(store, 0);
    EXPECT_EQ(0, history.AddHistoryEntry(Entry(L"a")));
    EXPECT_EQ(0, history.AddHistoryEntry(Entry(L"b")));
    EXPECT_EQ(std::vector<std::wstring>{L"b.jpg"}, Names(history));
    EXPECT_FALSE(HasValue(store, L"history(-1).image_name"));
}

TEST(UploadHistoryTest, AGapEndsTheHistory)
{
    SettingsStore store;
    UploadHistory history(store);
    for (int i = 0; i < 7; ++i) history.WriteHistoryEntry(i, Entry(std::to_wstring(i)));
    RegDeleteValueW(store.HistoryKey(), L"history(4).image_link");
    EXPECT_EQ(4, history.HistoryCount());
    // An empty image link is no entry either.
    SettingsStore::WriteText(store.HistoryKey(), L"history(3).image_link", L"");
    EXPECT_EQ(3, history.HistoryCount());
    SettingsStore::WriteText(store.HistoryKey(), L"history(3).image_link", L"http://h/i/3/3.jpg");

    EXPECT_EQ(4, history.AddHistoryEntry(Entry(L"new")));
    EXPECT_EQ(L"new.jpg", Value(store, L"history(4).image_name"));
    EXPECT_EQ(L"5.jpg", Value(store, L"history(5).image_name"));  // beyond the gap: untouched
    EXPECT_EQ(7, history.HistoryCount());
}

TEST(UploadHistoryTest, RemovingShiftsLaterEntriesDown)
{
    SettingsStore store;
    UploadHistory history(store);
    for (int i = 0; i < 4; ++i) history.AddHistoryEntry(Entry(std::to_wstring(i), i != 2));
    history.RemoveHistoryEntry(1);
    EXPECT_EQ((std::vector<std::wstring>{L"0.jpg", L"2.jpg", L"3.jpg"}), Names(history));
    // The moved entry without thumbnail does not keep its successor's thumbnail.
    EXPECT_FALSE(HasValue(store, L"history(1).thumb_link"));
    for (const wchar_t* suffix : {L"image_name", L"image_link", L"thumb_link", L"ad_link", L"image_html", L"image_bb",
                                  L"image_bb2", L"thumb_html", L"thumb_bb", L"thumb_bb2"})
        EXPECT_FALSE(HasValue(store, std::wstring(L"history(3).") + suffix)) << testing::PrintToString(std::wstring(suffix));
}

TEST(ToolbarHistoryTest, ALoweredLimitShowsTheNewestAndAddingDropsOnlyTheOldest)
{
    SettingsStore store;
    UploadHistory history(store);
    for (int i = 0; i < 5; ++i) history.AddHistoryEntry(Entry(std::to_wstring(i)));
    SetMaxHistory(store, 3);

    ToolbarHistory copy;
    ASSERT_TRUE(copy.Load(history));
    EXPECT_EQ(Tags(2, 4), NamesOf(copy.Items()));
    EXPECT_FALSE(copy.Add(history, Entry(L"5")));
    EXPECT_EQ(Tags(1, 5), Names(history)) << "one entry goes per addition, none is overwritten";
    EXPECT_EQ(Tags(3, 5), NamesOf(copy.Items()));
}

TEST(ToolbarHistoryTest, TwoBrowserWindowsAddingInTurnKeepEveryEntry)
{
    SettingsStore storeA, storeB;
    UploadHistory historyA(storeA), historyB(storeB);
    ToolbarHistory windowA, windowB;
    ASSERT_TRUE(windowA.Load(historyA));
    ASSERT_TRUE(windowB.Load(historyB));
    EXPECT_TRUE(windowA.Add(historyA, Entry(L"0"))) << "the first entry enables the history button";
    EXPECT_TRUE(windowB.Add(historyB, Entry(L"1"))) << "window B's list was empty until now";
    CHistoryImageTarget().OnItemUploaded(Entry(L"2"));  // an upload from Explorer in between
    for (int i = 3; i < 14; ++i) EXPECT_FALSE((i % 2 ? windowB : windowA).Add(i % 2 ? historyB : historyA, Entry(std::to_wstring(i))));
    EXPECT_EQ(Tags(4, 13), Names(historyA)) << "full: only the oldest went";
    EXPECT_EQ(Tags(4, 13), NamesOf(windowB.Items())) << "the last writer sees everyone's entries";
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(EntryIsWhole(historyA, i));

    // A limit of 0 shows the newest entry; the store drops one per addition.
    SetMaxHistory(storeA, 0);
    EXPECT_FALSE(windowA.Add(historyA, Entry(L"z")));
    EXPECT_EQ(std::vector<std::wstring>{L"z.jpg"}, NamesOf(windowA.Items()));
    EXPECT_EQ(10u, Names(historyA).size());
}

namespace {

// Adds count entries through a store of its own, as the band and an upload
// thread do, and checks after each addition, holding the history lock, that
// every entry is whole; returns the number of torn entries it saw.
int AddMany(const std::wstring& prefix, int count)
{
    SettingsStore store;
    UploadHistory history(store);
    int torn = 0;
    for (int i = 0; i < count; ++i) {
        history.AddHistoryEntry(Entry(prefix + std::to_wstring(i)));
        UploadHistory::Hold hold(history);
        if (!hold) return -1;
        const int entries = history.HistoryCount();
        for (int k = 0; k < entries; ++k)
            if (!EntryIsWhole(history, k)) ++torn;
    }
    return torn;
}

}  // namespace

TEST(UploadHistoryTest, TwoThreadsAddingAtOnceLeaveWholeEntries)
{
    int tornFirst = 0, tornSecond = 0;
    std::thread first([&] { tornFirst = AddMany(L"first", 50); });
    std::thread second([&] { tornSecond = AddMany(L"second", 50); });
    first.join();
    second.join();
    EXPECT_EQ(0, tornFirst);
    EXPECT_EQ(0, tornSecond);

    SettingsStore store;
    UploadHistory history(store);
    ASSERT_EQ(10, history.HistoryCount());
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(EntryIsWhole(history, i));
}

// argv: entry prefix, name of the event that starts both writers at once.
VP_TEST_CHILD(HistoryWriterChild)
{
    if (argc < 2) return 2;
    HANDLE start = OpenEventA(SYNCHRONIZE, FALSE, argv[1]);
    if (!start || WaitForSingleObject(start, 30000) != WAIT_OBJECT_0) return 3;
    CloseHandle(start);
    std::string prefix = argv[0];
    return AddMany(std::wstring(prefix.begin(), prefix.end()), 50) == 0 ? 0 : 1;
}

TEST(UploadHistoryTest, TwoProcessesAddingAtOnceLeaveWholeEntries)
{
    const std::wstring startName = L"VpHistoryWriters" + std::to_wstring(GetCurrentProcessId());
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, startName.c_str());
    ASSERT_NE(nullptr, start);
    HANDLE a = vptest::StartChild("HistoryWriterChild", {L"procA", startName});
    HANDLE b = vptest::StartChild("HistoryWriterChild", {L"procB", startName});
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    SetEvent(start);
    EXPECT_EQ(0, vptest::WaitChild(a, 60000));
    EXPECT_EQ(0, vptest::WaitChild(b, 60000));
    CloseHandle(start);

    SettingsStore store;
    UploadHistory history(store);
    ASSERT_EQ(10, history.HistoryCount());
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(EntryIsWhole(history, i));
}

// argv: name of a history lock that the parent holds. Every operation fails
// within the bounded wait; the toolbar's copy still offers the new link.
VP_TEST_CHILD(HistoryLockedChild)
{
    if (argc < 1) return 2;
    std::string name = argv[0];
    UploadHistory::SetLockLocation(std::wstring(name.begin(), name.end()), 200);
    SettingsStore store;
    UploadHistory history(store);
    ToolbarHistory copy;
    CUploadResult read;
    if (history.HistoryCount() != -1 || history.AddHistoryEntry(Entry(L"a")) != -1 ||
        history.ReadHistoryEntry(0, read) || history.WriteHistoryEntry(0, Entry(L"b")) || history.RemoveHistoryEntry(0))
        return 3;
    if (copy.Load(history) || !copy.Add(history, Entry(L"c")) || NamesOf(copy.Items()) != std::vector<std::wstring>{L"c.jpg"})
        return 4;
    return 0;
}

TEST(UploadHistoryTest, AnOperationFailsWhenAnotherProcessKeepsTheLock)
{
    const std::wstring name = L"VpHistoryLockTest" + std::to_wstring(GetCurrentProcessId());
    SettingsStore store;
    DWORD on = 1;
    RegSetValueExW(store.MainKey(), L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
    HANDLE held = CreateMutexW(nullptr, TRUE, name.c_str());
    ASSERT_NE(nullptr, held);
    HANDLE child = vptest::StartChild("HistoryLockedChild", {name});
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(0, vptest::WaitChild(child, 60000));
    ReleaseMutex(held);

    UploadHistory::SetLockLocation(name, 200);
    {
        UploadHistory history(store);
        EXPECT_EQ(0, history.HistoryCount()) << "nothing was written while the lock was held";
        EXPECT_EQ(0, history.AddHistoryEntry(Entry(L"a"))) << "a free lock works again";
    }
    UploadHistory::SetLockLocation(L"", 0);
    CloseHandle(held);
    const std::string log = vptest::ReadFileBytes(LogWriter("probe").Path());
    EXPECT_NE(std::string::npos, log.find("UploadHistory\t- Cannot take the history lock within 200 ms"));
}
