// Endpoint choice: load hosts, redraws, the first call, and the forced server.
#include <windows.h>

#include <set>

#include <gtest/gtest.h>

#include "common/RegKey.h"
#include "common/ServiceUrl.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "engine/ServerSelector.h"
#include "resources/resource.h"

namespace {

const wchar_t kHost[] = L"www.example.test";
const wchar_t kDomain[] = L"example.test";
const wchar_t kUrl[] = L"http://www.example.test/upload_api.php";
const wchar_t kPattern[] = L"load%i.example.test";

TEST(ServerSelectorTest, RandomPicksAreLoadHostsAndNeverTheSameTwiceInARow)
{
    CServerSelector selector(kHost, kDomain, kUrl, kPattern, L"");
    std::set<std::wstring> seen;
    std::wstring last;
    for (int i = 0; i < 200; ++i) {
        std::wstring url = selector.RandomPick();
        EXPECT_NE(last, url);
        ASSERT_EQ(0u, url.find(L"http://load")) << testing::PrintToString(url);
        EXPECT_NE(std::wstring::npos, url.find(L".example.test/upload_api.php"));
        seen.insert(url);
        last = url;
    }
    EXPECT_EQ(10u, seen.size());
    EXPECT_EQ(L"load10.example.test", selector.Hosts().back());
}

TEST(ServerSelectorTest, WithoutThePatternTheHostAndTheDomainAlternate)
{
    CServerSelector selector(kHost, kDomain, kUrl, L"", L"");
    // With two hosts a repeat needs every redraw to hit the last pick (one in
    // eight); over many picks both hosts come up and repeats stay rare.
    std::set<std::wstring> seen;
    std::wstring last;
    int repeats = 0;
    for (int i = 0; i < 200; ++i) {
        std::wstring url = selector.RandomPick();
        EXPECT_TRUE(url == kUrl || url == L"http://example.test/upload_api.php") << testing::PrintToString(url);
        if (url == last) ++repeats;
        seen.insert(url);
        last = url;
    }
    EXPECT_EQ(2u, seen.size());
    EXPECT_LT(repeats, 60) << "without redraws half the picks would repeat";
    CServerSelector single(kHost, L"", kUrl, L"", L"");
    EXPECT_EQ(kUrl, single.RandomPick()) << "one host or none: the URL unchanged";
}

TEST(ServerSelectorTest, FirstCallGivesTheUrlAsRead)
{
    CServerSelector selector(kHost, kDomain, kUrl, kPattern, L"");
    EXPECT_EQ(kUrl, selector.FirstOrRandomPick());
    EXPECT_NE(kUrl, selector.FirstOrRandomPick());
}

TEST(ServerSelectorTest, ForcedServerIsAlwaysUsed)
{
    CServerSelector selector(kHost, kDomain, kUrl, kPattern, L"127.0.0.1:8080");
    EXPECT_EQ(L"http://127.0.0.1:8080/upload_api.php", selector.FirstOrRandomPick());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(L"http://127.0.0.1:8080/upload_api.php", selector.RandomPick());
}

TEST(ServerSelectorTest, StringTableEndpointsFollowTheSetting)
{
    CServerSelector plain(IDS_UPLOAD_URL);
    EXPECT_NE(std::wstring::npos, plain.RandomPick().find(L"/upload_api.php"));
    EXPECT_EQ(0u, plain.RandomPick().find(L"http://load"));

    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
    SettingsStore::WriteText(key, L"ForceServer", L"127.0.0.1:9");
    CServerSelector forced(IDS_UPLOAD_URL);
    EXPECT_EQ(L"http://127.0.0.1:9/upload_api.php", forced.RandomPick());
    EXPECT_EQ(L"http://127.0.0.1:9/upload_api.php", ServiceUrl(IDS_VIDEO_UPLOAD_URL))
        << "the video endpoint follows the forced server too";
    EXPECT_EQ(L"http://127.0.0.1:9/toolbar/pictures.php", ServiceUrl(IDS_RESULTS_PAGE_URL));
}

TEST(ServiceUrlTest, HostReplacementKeepsPathAndQuery)
{
    EXPECT_EQ(L"http://h:1/a/b?c=d", ReplaceUrlHost(L"http://old.host/a/b?c=d", L"h:1"));
    EXPECT_EQ(L"https://h", ReplaceUrlHost(L"https://old", L"h"));
    EXPECT_EQ(L"old.host:80", UrlHost(L"http://old.host:80/x"));
    EXPECT_EQ(L"", UrlHost(L""));
}

}  // namespace
