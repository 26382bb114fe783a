// The login handshake against the development service: the user logs in at
// the service's login page, the page's cookies go into a document double, the
// registered supervisor answers the challenge in them, and the service judges
// that answer when it comes back with the next request.
#include <windows.h>
#include <wininet.h>

#include <string>

#include <gtest/gtest.h>

#include "ServiceTestBase.h"
#include "VellumpostToolbar_h.h"
#include "common/SettingsStore.h"
#include "support/BrowserDoubles.h"
#include "support/BrowserStockBar.h"
#include "support/Registration.h"

namespace vptest {
namespace {

using Microsoft::WRL::ComPtr;

class LoginServiceTest : public ServiceTestBase {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0u, RunRegsvr32(L"/s", ToolbarLibraryPath())); }
    void SetUp() override
    {
        ServiceTestBase::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    }
    void TearDown() override { CoUninitialize(); }

    // The cookies the Internet client keeps for the service, as a page reads them.
    std::wstring ServiceCookies() const
    {
        wchar_t text[4096] = {};
        DWORD size = ARRAYSIZE(text);
        return InternetGetCookieW(service_.Url(L"/").c_str(), nullptr, text, &size) ? text : L"";
    }
};

TEST_F(LoginServiceTest, TheChallengeAnswerWrittenIntoThePageSatisfiesTheService)
{
    service_.Get(L"/registration/setlogin.php?login=carol");
    const std::wstring cookies = ServiceCookies();
    ASSERT_NE(std::wstring::npos, cookies.find(L"IMGTCHALLENGE=")) << "cookies: " << cookies;

    // A hidden browser: the page is judged and answered, no handlers needed.
    auto browser = BrowserWebBrowser::Create();
    auto frame = BrowserWebBrowser::Create();
    frame->document = BrowserDocument::Create();
    frame->document->SetCookies(cookies);
    ComPtr<BrowserStockBar> bar = BrowserStockBar::Make();
    ComPtr<INavigatorSupervisor> supervisor;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NavigatorSupervisor, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(&supervisor)));
    ASSERT_EQ(S_OK, supervisor->Start(Query<IDispatch>(browser).Get(), bar.Get()));
    EXPECT_EQ(S_OK, browser->FireDocumentComplete(*frame, service_.Url(L"/registration/setlogin.php?login=carol")));
    EXPECT_EQ(S_OK, supervisor->Stop());

    SettingsStore store;
    EXPECT_TRUE(store.Logged());
    EXPECT_EQ(L"carol", store.Uid());
    const std::wstring response = frame->document->Cookie(L"IMGTRESPONSE");
    ASSERT_FALSE(response.empty());
    ASSERT_TRUE(InternetSetCookieW(service_.Url(L"/").c_str(), L"IMGTRESPONSE", response.c_str()));
    service_.Get(L"/");
    const Json requests = service_.Requests();
    ASSERT_GE(requests.Size(), 2u);
    const Json& judged = requests[requests.Size() - 1]["challenge"];
    EXPECT_EQ("valid", judged["verdict"].String()) << "expected " << judged["expected"].String();
}

}  // namespace
}  // namespace vptest
