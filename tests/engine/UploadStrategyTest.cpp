// The strategy base: the item loop, the common form fields, and the option
// values of Initialize in every form a caller can send them.
#include <windows.h>
#include <oleauto.h>

#include <set>

#include <memory>

#include <gtest/gtest.h>

#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "engine/ImageTarget.h"
#include "engine/UploadStrategy.h"
#include "support/EngineFakes.h"

namespace {

class TestStrategy : public CUploadStrategy {
public:
    std::set<std::wstring> rejected;
    int failedItems = 0;
    std::wstring GetPostUrl() override { return L"http://127.0.0.1:1/upload_api.php"; }
    bool IsItemRejected(const CUploadItem& item) override { return rejected.count(item.Path()) != 0; }
    void OnItemFailed() override { ++failedItems; }
};

// A SAFEARRAY of variants built from a list of values.
class VariantArray {
public:
    explicit VariantArray(std::initializer_list<VARIANT> values)
    {
        array_ = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
        LONG i = 0;
        for (const VARIANT& v : values) {
            SafeArrayPutElement(array_, &i, const_cast<VARIANT*>(&v));
            ++i;
        }
        VariantInit(&value_);
        V_VT(&value_) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(&value_) = array_;
    }
    ~VariantArray() { VariantClear(&value_); }
    const VARIANT& Get() const { return value_; }

private:
    SAFEARRAY* array_;
    VARIANT value_;
};

VARIANT Text(const wchar_t* text)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text ? SysAllocString(text) : nullptr;
    return v;
}

VARIANT Flag(bool on)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = on ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT Empty()
{
    VARIANT v;
    VariantInit(&v);
    return v;
}

VARIANT Number(LONG n)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}

// An array of BSTRs, as native callers pass item lists.
VARIANT Paths(std::initializer_list<const wchar_t*> paths)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(paths.size()));
    LONG i = 0;
    for (const wchar_t* p : paths) {
        BSTR b = p ? SysAllocString(p) : nullptr;
        SafeArrayPutElement(array, &i, b);
        SysFreeString(b);
        ++i;
    }
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&v) = array;
    return v;
}

class UploadStrategyTest : public testing::Test {
protected:
    void SetUp() override { strategy_.SetUploader(&uploader_); }

    vptest::FakeImageUploader uploader_;
    TestStrategy strategy_;
};

TEST_F(UploadStrategyTest, NothingToUploadFinishesAtOnce)
{
    EXPECT_EQ(E_FAIL, strategy_.UploadNextItem());
    EXPECT_EQ(1, uploader_.finishCalls);
    EXPECT_TRUE(uploader_.requests.empty());
}

TEST_F(UploadStrategyTest, CanceledBeforeTheFirstItemBuildsNoRequest)
{
    VARIANT items = Paths({L"a.jpg", L"b.jpg"});
    ASSERT_EQ(0, strategy_.SetItems(items));
    uploader_.canceled = true;
    EXPECT_EQ(E_FAIL, strategy_.UploadNextItem());
    EXPECT_TRUE(uploader_.requests.empty());
    EXPECT_EQ(1, uploader_.finishCalls);
    VariantClear(&items);
}

TEST_F(UploadStrategyTest, RejectedItemsAreSkippedAsFailures)
{
    VARIANT items = Paths({L"a.xyz", L"b.xyz"});
    ASSERT_EQ(0, strategy_.SetItems(items));
    strategy_.rejected = {L"a.xyz", L"b.xyz"};
    EXPECT_EQ(E_FAIL, strategy_.UploadNextItem());
    EXPECT_EQ(2, strategy_.failedItems);
    EXPECT_EQ(1, uploader_.finishCalls);
    EXPECT_TRUE(uploader_.requests.empty());
    VariantClear(&items);
}

TEST_F(UploadStrategyTest, AFailedPostMovesOnToTheNextItem)
{
    VARIANT items = Paths({L"a.jpg", L"b.jpg", L"c.jpg"});
    ASSERT_EQ(0, strategy_.SetItems(items));
    strategy_.rejected = {L"a.jpg"};
    uploader_.uploadResult = E_FAIL;
    EXPECT_EQ(E_FAIL, strategy_.UploadNextItem());
    EXPECT_EQ(2u, uploader_.requests.size()) << "b and c were tried";
    uploader_.uploadResult = S_OK;
    VariantClear(&items);
}

TEST_F(UploadStrategyTest, ItemsAreAnnouncedToTheProgressDisplay)
{
    VARIANT one = Text(L"C:\\only.jpg");
    ASSERT_EQ(0, strategy_.SetItems(one));
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    ASSERT_EQ(1u, uploader_.progress.itemNames.size());
    EXPECT_EQ(L"C:\\only.jpg", uploader_.progress.itemNames[0]);
    EXPECT_TRUE(uploader_.progress.itemCounts.empty());
    VariantClear(&one);

    TestStrategy several;
    several.SetUploader(&uploader_);
    VARIANT items = Paths({L"a.jpg", L"b.jpg"});
    ASSERT_EQ(0, several.SetItems(items));
    ASSERT_EQ(S_OK, several.UploadNextItem());
    ASSERT_EQ(S_OK, several.UploadNextItem());
    ASSERT_EQ(2u, uploader_.progress.itemCounts.size());
    EXPECT_EQ(std::make_pair(1, 2), uploader_.progress.itemCounts[1]);
    VariantClear(&items);
}

TEST_F(UploadStrategyTest, CommonFieldsInOrder)
{
    VARIANT items = Paths({L"a.jpg"});
    VARIANT sizes = Text(L"320x240 (for websites and email)");
    VARIANT isPublic = Flag(false);
    VARIANT tags = Text(L"cats dogs");
    ASSERT_EQ(0, strategy_.Initialize(items, sizes, isPublic, tags));
    VARIANT statistics = Number(2 + 16);
    VARIANT cookie = Text(L"uid=42");
    strategy_.SetOption(L"statistics", statistics);
    strategy_.SetOption(L"cookie", cookie);
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    const std::string& body = uploader_.requests.at(0).body;
    EXPECT_EQ((std::vector<std::string>{"toolbar", "public", "xml", "tags", "optimage", "optsize",
                                        "statistics_operation", "statistics_source", "cookie"}),
              vptest::FormFieldNames(body));
    EXPECT_EQ("IEVellumpostToolbar-4.8.3.75", vptest::FormField(body, "toolbar"));
    EXPECT_EQ("no", vptest::FormField(body, "public"));
    EXPECT_EQ("newformat", vptest::FormField(body, "xml"));
    EXPECT_EQ("cats dogs", vptest::FormField(body, "tags"));
    EXPECT_EQ("320x240", vptest::FormField(body, "optsize"));
    EXPECT_EQ("upload", vptest::FormField(body, "statistics_operation"));
    EXPECT_EQ("toolbar", vptest::FormField(body, "statistics_source"));
    EXPECT_EQ("uid=42", vptest::FormField(body, "cookie"));
    for (VARIANT* v : {&items, &sizes, &isPublic, &tags, &statistics, &cookie}) VariantClear(v);
}

TEST_F(UploadStrategyTest, StatisticsZeroAndNoTagsSendOnlyTheFixedFields)
{
    VARIANT items = Paths({L"a.jpg"});
    VARIANT none = Empty();
    ASSERT_EQ(0, strategy_.Initialize(items, none, none, none));
    VARIANT zero = Number(0);
    strategy_.SetOption(L"statistics", zero);
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    EXPECT_EQ((std::vector<std::string>{"toolbar", "public", "xml"}),
              vptest::FormFieldNames(uploader_.requests.at(0).body));
    EXPECT_EQ("yes", vptest::FormField(uploader_.requests.at(0).body, "public"));
    VariantClear(&items);
}

TEST_F(UploadStrategyTest, TagImageStatisticsHaveAnUnknownSource)
{
    VARIANT items = Paths({L"a.jpg"});
    ASSERT_EQ(0, strategy_.SetItems(items));
    VARIANT seven = Number(7);
    strategy_.SetOption(L"statistics", seven);
    ASSERT_EQ(S_OK, strategy_.UploadNextItem());
    EXPECT_EQ("tag_image", vptest::FormField(uploader_.requests.at(0).body, "statistics_operation"));
    EXPECT_EQ("unknown", vptest::FormField(uploader_.requests.at(0).body, "statistics_source"));
    VariantClear(&items);
}

TEST_F(UploadStrategyTest, ASingleStringIsAOneItemUploadAndEveryOptionAppliesToIt)
{
    VARIANT item = Text(L"C:\\x.png");
    VARIANT size = Text(L"");
    VARIANT isPublic = Flag(false);
    VARIANT tags = Text(L"t");
    ASSERT_EQ(0, strategy_.Initialize(item, size, isPublic, tags));
    ASSERT_EQ(1, strategy_.GetItemCount());
    EXPECT_EQ("resample", strategy_.GetItem(0).optsize);
    EXPECT_FALSE(strategy_.GetItem(0).isPublic);
    EXPECT_EQ("t", strategy_.GetItem(0).tags);
    for (VARIANT* v : {&item, &size, &isPublic, &tags}) VariantClear(v);
}

TEST_F(UploadStrategyTest, ShortOptionArraysLeaveDefaultsAndLongOnesAreCut)
{
    // Items are private by default here, so an entry that publishes one shows.
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
    DWORD off = 0;
    RegSetValueExW(key, L"Public", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof(off));
    VARIANT items = Paths({L"a.jpg", nullptr, L"c.jpg", L"d.jpg"});
    VariantArray sizes({Text(L"640x480 (for message boards)"), Empty()});
    VariantArray flags({Flag(true), Number(5), Empty(), Flag(false), Flag(true)});
    VariantArray tags({Text(L"one"), Text(L"two"), Text(L"three"), Text(L"four")});
    ASSERT_EQ(0, strategy_.Initialize(items, sizes.Get(), flags.Get(), tags.Get()));
    ASSERT_EQ(4, strategy_.GetItemCount());
    EXPECT_EQ(L"", strategy_.GetItem(1).Path()) << "a null element gives an empty path";
    EXPECT_EQ("640x480", strategy_.GetItem(0).optsize);
    EXPECT_EQ("", strategy_.GetItem(1).optsize);
    EXPECT_EQ("", strategy_.GetItem(2).optsize);
    EXPECT_TRUE(strategy_.GetItem(0).isPublic);
    EXPECT_TRUE(strategy_.GetItem(1).isPublic) << "an entry that is not a Boolean makes its item public";
    EXPECT_FALSE(strategy_.GetItem(2).isPublic) << "an empty entry keeps the item's default";
    EXPECT_FALSE(strategy_.GetItem(3).isPublic);
    EXPECT_EQ("three", strategy_.GetItem(2).tags);
    VariantClear(&items);
}

TEST_F(UploadStrategyTest, ItemsOfTheWrongTypeAreRefused)
{
    VARIANT number = Number(3);
    VARIANT none = Empty();
    EXPECT_EQ(E_INVALIDARG, strategy_.Initialize(number, none, none, none));
    EXPECT_EQ(0, strategy_.GetItemCount());
    EXPECT_THROW(strategy_.GetItem(0), InvalidItemIndex);
    EXPECT_THROW(strategy_.GetItem(-1), InvalidItemIndex);

    // An array of variants holding texts (what script engines pass) is read element by element.
    VariantArray scriptList({Text(L"a.jpg"), Number(7)});
    EXPECT_EQ(0, strategy_.SetItems(scriptList.Get()));
    ASSERT_EQ(2, strategy_.GetItemCount());
    EXPECT_EQ(L"7", strategy_.GetItem(1).Path());
}

TEST_F(UploadStrategyTest, PublicDefaultComesFromTheSetting)
{
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
    DWORD off = 0;
    RegSetValueExW(key, L"Public", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof(off));
    VARIANT items = Paths({L"a.jpg"});
    VARIANT none = Empty();
    ASSERT_EQ(0, strategy_.Initialize(items, none, none, none));
    EXPECT_FALSE(strategy_.GetItem(0).isPublic);
    VariantClear(&items);
}

TEST_F(UploadStrategyTest, TargetReplacementDeletesTheOldOne)
{
    struct CountingTarget : ImageTarget {
        int* deleted;
        explicit CountingTarget(int* d) : deleted(d) {}
        ~CountingTarget() override { ++*deleted; }
    };
    int deleted = 0;
    strategy_.SetTarget(std::make_unique<CountingTarget>(&deleted));
    strategy_.SetTarget(std::make_unique<CountingTarget>(&deleted));
    EXPECT_EQ(1, deleted);
    strategy_.SetTarget(nullptr);
    EXPECT_EQ(2, deleted);
    strategy_.Target().Navigate(L"x");  // the empty target takes it
}

}  // namespace
