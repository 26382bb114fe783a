// Which addresses belong to the service: the pages that may drive the
// toolbar's scriptable objects, and the hosts whose pictures are already on
// the service. Hostile look-alikes of every kind must fall on the right side.
#include <string>

#include <gtest/gtest.h>

#include "common/HostCheck.h"
#include "common/ServiceUrl.h"

namespace {

using namespace std::string_literals;

struct HostCase {
    std::wstring url;
    const wchar_t* forced;
    bool accepted;
};

ServiceHosts Hosts(const wchar_t* forced)
{
    ServiceHosts hosts;
    hosts.domain = L"vellumpost.com";
    hosts.pageHosts = {L"vellumpost.com", L"www.vellumpost.com", L"my.vellumpost.com", L"profile.vellumpost.com"};
    hosts.forcedServer = forced;
    return hosts;
}

void Expect(ServiceScope scope, const HostCase& c)
{
    EXPECT_EQ(c.accepted, IsServiceUrl(c.url, scope, Hosts(c.forced)))
        << testing::PrintToString(c.url) << " with forced server " << testing::PrintToString(std::wstring(c.forced));
}

TEST(ServiceHosts, OnlyThePageHostsAndALoopbackForcedServerArePagesOfTheService)
{
    const HostCase cases[] = {
        {L"http://vellumpost.com/", L"", true},
        {L"https://www.vellumpost.com/upload.php?x=1", L"", true},
        {L"HTTP://My.VellumPost.COM/v_images.php", L"", true},
        {L"http://profile.vellumpost.com:8080/page", L"", true},
        {L"http://user:pw@www.vellumpost.com/", L"", true},
        // Hosts of the domain that serve uploads and users' files are no pages.
        {L"http://load3.vellumpost.com/upload_api.php", L"", false},
        {L"http://video.vellumpost.com/", L"", false},
        {L"http://i.vellumpost.com/someone/page.html", L"", false},
        {L"http://a.www.vellumpost.com/", L"", false},
        {L"http://www.vellumpost.com./", L"", false},
        // Look-alikes; the NULs are what a C string comparison would stop at.
        {L"http://vellumpost.com\0.evil.net/"s, L"", false},
        {L"https://www.vellumpost.com/\0x"s, L"", false},
        {L"http://badvellumpost.com/", L"", false},
        {L"http://vellumpost.com.evil.net/", L"", false},
        {L"http://www.vellumpost.com.evil.net/x", L"", false},
        {L"http://vellumpost.com@evil.net/", L"", false},
        {L"http://www.vellumpost.com:80@evil.net/", L"", false},
        {L"http://evil.net\\@vellumpost.com/", L"", false},
        {L"http://evil.net/vellumpost.com", L"", false},
        {L"http://evil.net#.vellumpost.com", L"", false},
        {L"http://www%2evellumpost.com/", L"", false},
        {L"http://www.vellumpost.com:99999/", L"", false},
        {L"ftp://vellumpost.com/", L"", false},
        {L"file:///C:/vellumpost.com/page.html", L"", false},
        {L"javascript:alert('vellumpost.com')", L"", false},
        {L"//www.vellumpost.com/", L"", false},
        {L"", L"", false},
        {L"http:///", L"", false},
        // The forced server: only on this machine, and on its port when it names one.
        {L"http://127.0.0.1:5000/page", L"127.0.0.1:5000", true},
        {L"http://127.0.0.1:5001/page", L"127.0.0.1:5000", false},
        {L"http://127.0.0.1:5001/page", L"127.0.0.1", true},
        {L"http://localhost/page", L"LOCALHOST:80", true},
        {L"http://127.0.0.1.evil.net/", L"127.0.0.1", false},
        {L"http://evil.net/", L"127.0.0.1:5000", false},
        {L"http://evil.net:5000/", L"evil.net:5000", false},
        {L"http://10.0.0.8/", L"10.0.0.8", false},
        {L"http://127.1/", L"127.1", false},
    };
    for (const HostCase& c : cases) Expect(ServiceScope::Pages, c);

    ServiceHosts none;
    EXPECT_FALSE(IsServiceUrl(L"http://anything.net/", ServiceScope::Pages, none)) << "no hosts accept no page";
}

TEST(ServiceHosts, AnyHostOfTheDomainHoldsPicturesAlreadyOnTheService)
{
    const HostCase cases[] = {
        {L"http://load7.vellumpost.com/images/a.jpg", L"", true},
        {L"https://i.vellumpost.com/a.jpg", L"", true},
        {L"http://VELLUMPOST.COM/a.jpg", L"", true},
        {L"http://evil.net/vellumpost.com/a.jpg", L"", false},
        {L"http://evil.net/a.jpg?from=www.vellumpost.com", L"", false},
        {L"http://vellumpost.com.evil.net/a.jpg", L"", false},
        {L"http://notvellumpost.com/a.jpg", L"", false},
        {L"file:///C:/vellumpost.com/a.jpg", L"", false},
        {L"http://127.0.0.1:5000/a.jpg", L"127.0.0.1:5000", false},
    };
    for (const HostCase& c : cases) Expect(ServiceScope::AnyHost, c);
}

TEST(ServiceHosts, TheServiceAddressesReplaceOnlyTheHostThatTheParserFinds)
{
    EXPECT_EQ(L"http://u@h:1/a?b", ReplaceUrlHost(L"http://u@old.host:80/a?b", L"h:1"));
    EXPECT_EQ(L"http://h\\x", ReplaceUrlHost(L"http://old\\x", L"h"));
    EXPECT_EQ(L"no address", ReplaceUrlHost(L"no address", L"h"));
    EXPECT_EQ(L"", UrlHost(L"http://a.com\0.b/"s));
}

}  // namespace
