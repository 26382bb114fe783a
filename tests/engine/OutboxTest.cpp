// The outbox without the network: records survive a round trip and refuse
// every alteration, the retry schedule grows and stays bounded, the folder
// moves damaged records aside, keeps product-made copies and holds its
// bounds, and a pass never sends a record whose file is gone or changed.
#include <windows.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "engine/Outbox.h"
#include "engine/OutboxPolicy.h"
#include "engine/OutboxRecord.h"
#include "engine/OutboxSender.h"
#include "support/TempFolder.h"

namespace {

OutboxRecord SampleRecord(const std::wstring& path)
{
    OutboxRecord record;
    record.path = path;
    record.name = L"C:\\Pictures\\Urlaub %41\nÄrger.jpg";
    record.optsize = "640x480";
    record.tags = "sea=sun%20\r\nline";
    record.isPublic = false;
    record.removeSizeBar = false;
    record.statistics = 48;
    record.created = 0x01DB0000ABCDEF12ULL;
    record.fileSize = 123456789012ULL;
    record.fileTime = 42;
    record.attempts = 3;
    record.lastFailure = L"No connection to the service";
    record.nextAttempt = 0x01DB000100000000ULL;
    return record;
}

OutboxRecord SlideshowMember(const std::wstring& address)
{
    OutboxRecord record = SampleRecord(address);
    record.kind = OutboxKind::SlideshowMember;
    record.slideshow.group = L"01db-00ff";
    record.slideshow.slot = 2;
    record.slideshow.effect = "trans%\n";
    record.slideshow.size = "640x480";
    record.slideshow.isPublic = false;
    record.slideshow.links = {{0, L"http://i.example/1/a.jpg"}, {1, L"http://i.example/1/b.jpg"}};
    return record;
}

TEST(OutboxRecordTest, RoundTripsEveryFieldAndRefusesAnyAlteration)
{
    const OutboxRecord record = SampleRecord(L"C:\\Users\\u\\a b.jpg");
    const std::string bytes = SerializeOutboxRecord(record);
    ASSERT_FALSE(bytes.empty());
    OutboxRecord read;
    ASSERT_TRUE(ParseOutboxRecord(bytes, read));
    // Written again, the record read gives the same bytes: no field is lost.
    EXPECT_EQ(bytes, SerializeOutboxRecord(read));
    EXPECT_EQ(record.name, read.name);
    EXPECT_EQ(record.tags, read.tags);
    EXPECT_EQ(record.fileSize, read.fileSize);

    // Every single changed byte, every cut and an appended tail are refused.
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::string changed = bytes;
        changed[i] = static_cast<char>(changed[i] ^ 0x04);
        EXPECT_FALSE(ParseOutboxRecord(changed, read)) << "byte " << i;
    }
    for (size_t cut = 0; cut < bytes.size(); cut += 7)
        EXPECT_FALSE(ParseOutboxRecord(bytes.substr(0, cut), read)) << "cut at " << cut;
    EXPECT_FALSE(ParseOutboxRecord(bytes + "x", read));
    EXPECT_FALSE(ParseOutboxRecord(std::string(kMaxOutboxRecordBytes + 1, 'a'), read));

    // Texts that would not survive the format are never written.
    OutboxRecord withNul = record;
    withNul.name = std::wstring(L"a\0b", 3);
    EXPECT_TRUE(SerializeOutboxRecord(withNul).empty());
    OutboxRecord huge = record;
    huge.tags.assign(kMaxOutboxRecordBytes, 't');
    EXPECT_TRUE(SerializeOutboxRecord(huge).empty());
}

TEST(OutboxRecordTest, ASlideshowMemberKeepsItsGroupPlaceOptionsAndLinksAndRefusesAForeignGroup)
{
    OutboxRecord record = SlideshowMember(L"https://i.example/0/c.jpg");
    const std::string bytes = SerializeOutboxRecord(record);
    OutboxRecord read;
    ASSERT_TRUE(ParseOutboxRecord(bytes, read));
    EXPECT_EQ(bytes, SerializeOutboxRecord(read));
    EXPECT_EQ(record.slideshow.links, read.slideshow.links);
    record.slideshow.group = L"..\\x";
    EXPECT_FALSE(ParseOutboxRecord(SerializeOutboxRecord(record), read)) << "a group is an id, never a path";
}

TEST(OutboxPolicyTest, RetriesBackOffWithinBoundsAndOnlyLastingRefusalsDrop)
{
    ULONGLONG previousBase = 0;
    for (int attempts = 1; attempts <= 20; ++attempts) {
        ULONGLONG low = RetryDelayMs(attempts, 0), high = RetryDelayMs(attempts, 400);
        ULONGLONG base = RetryDelayMs(attempts, 200);
        EXPECT_GE(low, 24000u);
        EXPECT_LE(high, 36u * 60 * 1000) << "never beyond 30 min plus a fifth";
        EXPECT_LT(low, base);
        EXPECT_LT(base, high);
        EXPECT_GE(base, previousBase);
        previousBase = base;
    }
    EXPECT_EQ(30000u, RetryDelayMs(1, 200));
    EXPECT_EQ(30u * 60 * 1000, RetryDelayMs(20, 200));
    std::set<ULONGLONG> spread;
    for (unsigned random = 0; random < 1000; random += 37) spread.insert(RetryDelayMs(3, random));
    EXPECT_GT(spread.size(), 20u) << "the jitter spreads retries";

    EXPECT_FALSE(KeepsAfter(ClassifyAnswerError(std::wstring(L"file_too_big"))));
    EXPECT_FALSE(KeepsAfter(ClassifyAnswerError(std::wstring(L"resource_not_found"))));
    EXPECT_TRUE(KeepsAfter(ClassifyAnswerError(std::nullopt))) << "an answer that cannot be read may pass";
    EXPECT_TRUE(KeepsAfter(ClassifyAnswerError(std::wstring(L"transload_error"))));
    EXPECT_TRUE(KeepsAfter(OutboxFailure::Transport));
    EXPECT_TRUE(KeepsAfter(OutboxFailure::Timeout));

    EXPECT_EQ(OutboxAdmission::Admitted, AdmitRecord(kOutboxMaxRecords - 1, 0, 0));
    EXPECT_EQ(OutboxAdmission::TooManyRecords, AdmitRecord(kOutboxMaxRecords, 0, 0));
    EXPECT_EQ(OutboxAdmission::Admitted, AdmitRecord(0, kOutboxMaxKeptBytes - 10, 10));
    EXPECT_EQ(OutboxAdmission::TooManyBytes, AdmitRecord(0, kOutboxMaxKeptBytes - 10, 11));
    EXPECT_EQ(OutboxAdmission::TooManyBytes, AdmitRecord(0, 5, ~0ULL)) << "no overflow";
}

class OutboxFolderTest : public testing::Test {
protected:
    std::wstring FolderPath() const { return box_.Path() + L"\\"; }

    vptest::TempFolder box_;
    vptest::TempFolder user_{vptest::TempFolder::OutsideTemporaryFolder};
};

TEST_F(OutboxFolderTest, RecordsAreReplacedWholeAndDamagedOnesMovedAside)
{
    Outbox outbox(FolderPath());
    OutboxAdmission admission;
    const std::wstring first = outbox.Add(SampleRecord(L"C:\\a.jpg"), 0, admission);
    const std::wstring second = outbox.Add(SampleRecord(L"C:\\b.jpg"), 0, admission);
    ASSERT_FALSE(first.empty());
    ASSERT_NE(first, second);
    OutboxRecord changed = SampleRecord(L"C:\\a.jpg");
    changed.attempts = 9;
    ASSERT_TRUE(outbox.Write(first, changed));
    EXPECT_FALSE(vptest::FileExists(FolderPath() + first + L".tmp")) << "no temporary file is left";

    // A torn record and a file with a foreign name go to "damaged".
    std::string bytes = vptest::ReadFileBytes(FolderPath() + second + L".vpo");
    box_.Write(second + L".vpo", bytes.substr(0, bytes.size() / 2));
    box_.Write(L"..evil.vpo", "x");
    std::vector<Outbox::Entry> entries = outbox.List();
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(first, entries[0].id);
    EXPECT_EQ(9, entries[0].record.attempts);
    EXPECT_TRUE(vptest::FileExists(FolderPath() + L"damaged\\" + second + L".vpo"));
    EXPECT_FALSE(vptest::FileExists(FolderPath() + second + L".vpo"));

    EXPECT_TRUE(outbox.Remove(first));
    EXPECT_TRUE(outbox.List().empty());
    EXPECT_FALSE(outbox.Write(L"..\\escape", changed)) << "ids never name other folders";
}

TEST_F(OutboxFolderTest, KeptCopiesAreCountedAndRemovedWithTheirRecordButUserFilesStay)
{
    Outbox outbox(FolderPath());
    vptest::TempFolder temp;
    std::wstring capture = temp.Write(L"capture.png", std::string(3000, 'p'));
    std::wstring own = user_.Write(L"own.jpg", "mine");
    OutboxAdmission admission;
    OutboxRecord made = SampleRecord(capture);
    std::wstring madeId = outbox.Add(made, 3000, admission);
    std::wstring ownId = outbox.Add(SampleRecord(own), 0, admission);
    ASSERT_TRUE(outbox.KeepCopy(madeId, made));
    EXPECT_TRUE(made.keptCopy);
    EXPECT_FALSE(vptest::FileExists(capture));
    EXPECT_EQ(std::string(3000, 'p'), vptest::ReadFileBytes(made.path));
    EXPECT_EQ(3000u, outbox.KeptBytes());

    EXPECT_TRUE(outbox.Remove(madeId));
    EXPECT_TRUE(outbox.Remove(ownId));
    EXPECT_FALSE(vptest::FileExists(made.path));
    EXPECT_TRUE(vptest::FileExists(own)) << "the user's file is never the outbox's to delete";
}

TEST_F(OutboxFolderTest, TheBoundsRefuseNewRecordsAndCopies)
{
    Outbox outbox(FolderPath());
    OutboxAdmission admission;
    for (size_t i = 0; i < kOutboxMaxRecords; ++i)
        ASSERT_FALSE(outbox.Add(SampleRecord(L"C:\\p.jpg"), 0, admission).empty()) << i;
    EXPECT_TRUE(outbox.Add(SampleRecord(L"C:\\p.jpg"), 0, admission).empty());
    EXPECT_EQ(OutboxAdmission::TooManyRecords, admission);
    EXPECT_EQ(kOutboxMaxRecords, outbox.List().size()) << "nothing was dropped to make room";

    Outbox fresh(FolderPath() + L"copies\\");
    CreateDirectoryW(fresh.Folder().c_str(), nullptr);
    EXPECT_TRUE(fresh.Add(SampleRecord(L"C:\\p.jpg"), kOutboxMaxKeptBytes + 1, admission).empty());
    EXPECT_EQ(OutboxAdmission::TooManyBytes, admission);
}

TEST_F(OutboxFolderTest, APassLeavesRecordsOfGoneChangedOrUnacceptableFilesAndRecordsNotYetDue)
{
    Outbox outbox(FolderPath());
    std::wstring changedPath = user_.Write(L"changed.jpg", "before");
    OutboxRecord gone = SampleRecord(user_.File(L"gone.jpg"));
    OutboxRecord changed = SampleRecord(changedPath);
    ASSERT_TRUE(ReadFileStamp(changedPath, changed.fileSize, changed.fileTime));
    user_.Write(L"changed.jpg", "after, and longer");
    std::wstring laterPath = user_.Write(L"later.jpg", "later");
    OutboxRecord later = SampleRecord(laterPath);
    ASSERT_TRUE(ReadFileStamp(laterPath, later.fileSize, later.fileTime));
    later.nextAttempt = OutboxNow() + 600ULL * 1000 * 10000;
    // Records planted by another program: a file of a kind no upload takes,
    // and a picture on a share.
    std::wstring textPath = user_.Write(L"secrets.txt", "secret");
    OutboxRecord text = SampleRecord(textPath);
    ASSERT_TRUE(ReadFileStamp(textPath, text.fileSize, text.fileTime));
    OutboxRecord share = SampleRecord(L"\\\\attacker\\share\\a.jpg");
    OutboxAdmission admission;
    for (const OutboxRecord* record : {&gone, &changed, &later, &text, &share}) outbox.Add(*record, 0, admission);
    // Addresses for the service to fetch: none but a bounded http or https
    // one with a host, never for a plain file record, never a file the user
    // did not choose.
    const std::wstring addresses[] = {L"ftp://example.com/a.jpg", L"file:///C:/Windows/win.ini", L"javascript:x()",
                                      L"http://example.com/a\tb.jpg", L"http:///a.jpg",
                                      L"http://example.com/" + std::wstring(3000, L'a') + L".jpg"};
    for (OutboxKind kind : {OutboxKind::Transload, OutboxKind::BlogPost, OutboxKind::TagQueueItem})
        for (const std::wstring& address : addresses) {
            OutboxRecord planted = SampleRecord(address);
            planted.kind = kind;
            outbox.Add(planted, 0, admission);
        }
    outbox.Add(SampleRecord(L"http://example.com/a.jpg"), 0, admission);
    outbox.Add(SlideshowMember(L"\\\\attacker\\share\\b.jpg"), 0, admission);

    EXPECT_EQ(OutboxFileState::Missing, CheckRecordedFile(gone));
    EXPECT_EQ(OutboxFileState::Changed, CheckRecordedFile(changed));
    EXPECT_EQ(OutboxFileState::Unchanged, CheckRecordedFile(later));
    OutboxPassResult pass = SendDueUploads(outbox);
    EXPECT_EQ(0, pass.sent);
    EXPECT_EQ(4 + 18 + 2, pass.unsendable);
    EXPECT_EQ(1, pass.waiting);
    EXPECT_GT(pass.nextDueMs, 590u * 1000);
    EXPECT_EQ(5u + 18 + 2, outbox.List().size()) << "nothing is dropped unasked";
}

DWORD WINAPI TryLockFromAnotherThread(LPVOID got)
{
    OutboxRecordLock other(L"0123-abcd");
    *static_cast<bool*>(got) = other.TryAcquire();
    return 0;
}

DWORD WINAPI EndHoldingALock(LPVOID)
{
    // The thread ends holding the lock: the object is left behind on purpose.
    auto* lock = new OutboxRecordLock(L"0123-dead");
    lock->TryAcquire();
    return 0;
}

TEST_F(OutboxFolderTest, ARecordLockHasOneHolderAndIsFreedWhenItsHolderEnds)
{
    OutboxRecordLock mine(L"0123-abcd");
    ASSERT_TRUE(mine.TryAcquire());
    bool otherGot = true;
    HANDLE thread = CreateThread(nullptr, 0, TryLockFromAnotherThread, &otherGot, 0, nullptr);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_FALSE(otherGot);

    // A holder that ends without letting go leaves the lock to the next one.
    HANDLE holder = CreateThread(nullptr, 0, EndHoldingALock, nullptr, 0, nullptr);
    WaitForSingleObject(holder, 10000);
    CloseHandle(holder);
    OutboxRecordLock next(L"0123-dead");
    EXPECT_TRUE(next.TryAcquire());
}

}  // namespace
