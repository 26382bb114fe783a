// Settings decoding: defaults for missing, mistyped, empty and out-of-range
// values, the flag rule, and text round trips.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"

namespace {

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(key_.Create(HKEY_CURRENT_USER, SettingsKeyPath())); }

    void PutDword(const wchar_t* name, DWORD value)
    {
        RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    void PutRaw(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
    }

    RegKey key_;
};

TEST(SettingsKeyTest, VistaAndLaterUseTheLowRegistryKey)
{
    // Wine reports a version after 5.x.
    ASSERT_TRUE(UsesLowIntegrityPaths());
    EXPECT_STREQ(L"Software\\Microsoft\\Internet Explorer\\LowRegistry\\VellumpostToolbar", SettingsKeyPath());
    EXPECT_EQ(L"Software\\Microsoft\\Internet Explorer\\LowRegistry\\VellumpostToolbar\\Tags", TagsKeyPath());
}

TEST(SettingsStoreDefaults, FreshStoreCreatesKeysAndReadsDefaults)
{
    {
        SettingsStore store;
        EXPECT_NE(nullptr, store.MainKey());
        EXPECT_NE(nullptr, store.HistoryKey());
        EXPECT_EQ(37801u, store.ImagesSize());
        EXPECT_EQ(37777u, store.LinkStyleId());
        EXPECT_EQ(0, store.LinkStyle());
        EXPECT_FALSE(store.Resize());
        EXPECT_EQ(37785u, store.ResizeTo());
        EXPECT_TRUE(store.Public());
        EXPECT_TRUE(store.RemoveSizeBar());
        EXPECT_TRUE(store.Tooltips());
        EXPECT_TRUE(store.ButtonLogin());
        EXPECT_TRUE(store.SearchPanel());
        EXPECT_EQ(999u, store.ImplicitRetryCount());
        EXPECT_EQ(L"desktop", store.ScreenShot());
        EXPECT_TRUE(store.NewLineSeparator());
        EXPECT_TRUE(store.UpdateBrowserAfterUpload());
        EXPECT_EQ(3u, store.CheckForUpdateInterval());
        EXPECT_EQ(0u, store.LastCheckForUpdateTime());
        EXPECT_FALSE(store.Logged());
        EXPECT_EQ(L"", store.Uid());
        EXPECT_EQ(L"", store.ForceServer());
        EXPECT_EQ(100u, store.WebMinWidth());
        EXPECT_EQ(100u, store.WebMinHeight());
        EXPECT_EQ(10u, store.MaxHistory());
        EXPECT_FALSE(store.LogEnabled());
    }
    RegKey history;
    std::wstring path = std::wstring(SettingsKeyPath()) + L"\\History";
    EXPECT_TRUE(history.Open(HKEY_CURRENT_USER, path.c_str()));
}

TEST_F(SettingsStoreTest, OutOfRangeMenuNumbersReadAsDefaults)
{
    SettingsStore store;
    struct Case {
        const wchar_t* name;
        DWORD stored;
        DWORD expected;
        DWORD (SettingsStore::*get)() const;
    } cases[] = {
        {L"LinkStyleID", 37776, 37777, &SettingsStore::LinkStyleId},
        {L"LinkStyleID", 37781, 37777, &SettingsStore::LinkStyleId},
        {L"LinkStyleID", 37780, 37780, &SettingsStore::LinkStyleId},
        {L"ImagesSize", 37800, 37800, &SettingsStore::ImagesSize},
        {L"ImagesSize", 37802, 37801, &SettingsStore::ImagesSize},
        {L"ImagesSize", 0, 37801, &SettingsStore::ImagesSize},
        {L"ResizeTo", 37782, 37785, &SettingsStore::ResizeTo},
        {L"ResizeTo", 37792, 37785, &SettingsStore::ResizeTo},
        {L"ResizeTo", 37783, 37783, &SettingsStore::ResizeTo},
        {L"ResizeTo", 37791, 37791, &SettingsStore::ResizeTo},
    };
    for (const auto& c : cases) {
        PutDword(c.name, c.stored);
        EXPECT_EQ(c.expected, (store.*c.get)()) << "stored " << c.stored;
    }
    PutDword(L"LinkStyleID", 37779);
    EXPECT_EQ(2, store.LinkStyle());
}

TEST_F(SettingsStoreTest, FlagsReadOneAsOnAnyOtherNumberAsOffAndBadTypesAsDefault)
{
    SettingsStore store;
    PutDword(L"Public", 2);
    EXPECT_FALSE(store.Public());
    PutDword(L"Public", 1);
    EXPECT_TRUE(store.Public());
    PutDword(L"Resize", 1);
    EXPECT_TRUE(store.Resize());
    PutDword(L"Resize", 0xFFFFFFFF);
    EXPECT_FALSE(store.Resize());

    // A flag stored as text, as an empty binary value or with zero size reads as its default.
    PutRaw(L"Public", REG_SZ, L"0", 4);
    EXPECT_TRUE(store.Public());
    PutRaw(L"Tooltips", REG_DWORD, nullptr, 0);
    EXPECT_TRUE(store.Tooltips());
    DWORD zero = 0;
    PutRaw(L"Logged", REG_BINARY, &zero, sizeof(zero));
    EXPECT_FALSE(store.Logged());
    PutRaw(L"ImplicitRetryCount", REG_SZ, L"5", 4);
    EXPECT_EQ(999u, store.ImplicitRetryCount());
}

TEST_F(SettingsStoreTest, TextsRoundTripWithTheirTerminator)
{
    SettingsStore store;
    store.SetUid(L"user 42");
    DWORD type = 0, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, L"UID", nullptr, &type, nullptr, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(2u * 7 + 2, size);
    EXPECT_EQ(L"user 42", store.Uid());

    store.SetScreenShot(L"");
    EXPECT_EQ(L"", store.ScreenShot()) << "an existing empty value is the empty string, not the default";

    // Stored without a terminator, or with an odd byte count: still read safely.
    PutRaw(L"ForceServer", REG_SZ, L"127.0.0.1:8080", 14 * 2);
    EXPECT_EQ(L"127.0.0.1:8080", store.ForceServer());
    PutRaw(L"ForceServer", REG_SZ, L"abc", 5);
    EXPECT_EQ(L"ab", store.ForceServer());
}

TEST_F(SettingsStoreTest, OversizedTextReadsAsDefault)
{
    SettingsStore store;
    std::wstring huge(SettingsStore::kMaxTextChars + 10, L'x');
    PutRaw(L"ScreenShot", REG_SZ, huge.c_str(), static_cast<DWORD>((huge.size() + 1) * 2));
    EXPECT_EQ(L"desktop", store.ScreenShot());
}

TEST_F(SettingsStoreTest, UpdateTimeIsAQwordOnly)
{
    SettingsStore store;
    store.SetLastCheckForUpdateTime(0x123456789ULL);
    EXPECT_EQ(0x123456789ULL, store.LastCheckForUpdateTime());
    PutDword(L"LastCheckForUpdateTime", 77);
    EXPECT_EQ(0u, store.LastCheckForUpdateTime());
}

TEST_F(SettingsStoreTest, NumbersAreReadEveryTimeNotCached)
{
    SettingsStore store;
    PutDword(L"ImplicitRetryCount", 2);
    EXPECT_EQ(2u, store.ImplicitRetryCount());
    store.SetImplicitRetryCount(0);
    EXPECT_EQ(0u, store.ImplicitRetryCount());
    RegKey history;
    std::wstring path = std::wstring(SettingsKeyPath()) + L"\\History";
    ASSERT_TRUE(history.Open(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS));
    DWORD max = 4;
    RegSetValueExW(history, L"MaxHistory", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&max), sizeof(max));
    EXPECT_EQ(4u, store.MaxHistory());
}

}  // namespace
