// The update check against the development service's update document: what
// is offered for which version and link, what the user's answer opens, the
// owner window kept while the question shows, and the worker that serves
// request after request.
#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>

#include "browser/CheckUpdate.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/VersionStrings.h"
#include "dialogs/BrowserWindow.h"
#include "support/DevService.h"
#include "support/DialogResponder.h"
#include "support/UploadLoop.h"

namespace vptest {
namespace {

const wchar_t kQuestion[] = L"Vellumpost\u00ae Toolbar Update...";
const wchar_t kDownload[] = L"http://www.vellumpost.com/toolbar/download.php";

class UpdateCheckServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The document is read in a single-threaded apartment, as on the worker.
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(service.Available());
        service.Reset();
        service.PointToolbarHere();
        SetBrowserWindowOpener([this](const std::wstring& url) {
            std::lock_guard<std::mutex> hold(lock);
            opened.push_back(url);
            return S_OK;
        });
    }
    void TearDown() override
    {
        SetBrowserWindowOpener(nullptr);
        service.Post(L"/__devservice/config?update_version=4.8.3.75&update_link=" + std::wstring(kDownload));
        CoUninitialize();
    }
    void Offer(const std::wstring& version, const std::wstring& link) const
    {
        service.Post(L"/__devservice/config?update_version=" + version + L"&update_link=" + link);
    }
    // One check on this thread; the number of questions shown goes to asked.
    HRESULT CheckWithAnswer(UINT answer, int& asked)
    {
        DialogResponder user(kQuestion, answer);
        auto check = CCheckUpdate::Make();
        HRESULT hr = check->CheckNow();
        asked = user.Answered();
        return hr;
    }
    size_t DocumentFetches() const
    {
        size_t count = 0;
        const Json requests = service.Requests();
        for (const Json& record : requests.Items())
            if (record["path"].String() == "/update.xml") ++count;
        return count;
    }
    std::vector<std::wstring> Opened()
    {
        std::lock_guard<std::mutex> hold(lock);
        return opened;
    }

    DevService service;
    std::mutex lock;
    std::vector<std::wstring> opened;
};

TEST_F(UpdateCheckServiceTest, OnlyANewerVersionWithAServiceLinkIsOfferedAndOnlyUpdateOpensIt)
{
    int asked = -1;
    const std::wstring mine = VersionStrings::ProductVersion();
    Offer(L"%20" + mine + L"%20", kDownload);
    EXPECT_EQ(S_OK, CheckWithAnswer(IDOK, asked));
    EXPECT_EQ(0, asked) << "the same version, blanks around it";

    Offer(L"4.8.3.9", kDownload);
    EXPECT_EQ(S_OK, CheckWithAnswer(IDOK, asked));
    EXPECT_EQ(0, asked) << "an older version is never offered";

    Offer(L"4.8.3.100", L"");
    EXPECT_EQ(S_OK, CheckWithAnswer(IDOK, asked));
    EXPECT_EQ(0, asked) << "a document without a link";

    Offer(L"4.8.3.100", L"http://vellumpost.com.example.net/setup.exe");
    EXPECT_EQ(S_OK, CheckWithAnswer(IDOK, asked));
    EXPECT_EQ(0, asked) << "a link off the service";

    Offer(L"4.8.3.100", kDownload);
    EXPECT_EQ(S_OK, CheckWithAnswer(IDCANCEL, asked));
    EXPECT_EQ(1, asked);
    EXPECT_TRUE(Opened().empty()) << "Cancel opens no browser";
    EXPECT_EQ(S_OK, CheckWithAnswer(IDOK, asked));
    EXPECT_EQ(1, asked);
    EXPECT_EQ(std::vector<std::wstring>{kDownload}, Opened());
    EXPECT_EQ(6u, DocumentFetches());

    // No service answers: the check fails and says nothing.
    {
        RegKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
        SettingsStore::WriteText(key, L"ForceServer", L"127.0.0.1:1");
    }
    EXPECT_EQ(E_FAIL, CheckWithAnswer(IDOK, asked));
    EXPECT_EQ(0, asked);
    service.PointToolbarHere();
}

TEST_F(UpdateCheckServiceTest, TheOwnerOnlyHidesWhileAskedAndClosesWhenTheCheckEnds)
{
    Offer(L"99.0.0.0", kDownload);
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner);
    bool hiddenWhileAsked = false;
    {
        DialogResponder user(kQuestion, IDCANCEL, [&](HWND) {
            // The user closes the browser window while the question shows.
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(owner, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_BLOCK, 5000, &ignored);
            hiddenWhileAsked = IsWindow(owner) && !IsWindowVisible(owner);
        });
        // Through the class's interface, as the supervisor asks from a browser thread.
        auto check = CCheckUpdate::Make();
        ASSERT_EQ(S_OK, check->put_CallerHWND(static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(owner))));
        EXPECT_EQ(E_INVALIDARG, check->put_CallerHWND(0));
        EXPECT_EQ(S_OK, check->CheckForUpdate());
        check.Reset();
        ASSERT_TRUE(CCheckUpdate::WaitForWorker(30000));
        EXPECT_EQ(1, user.Answered());
    }
    EXPECT_TRUE(hiddenWhileAsked);
    // The window's close comes as a message to this thread, which the worker's
    // wait no longer serves once the worker has ended.
    if (IsWindow(owner)) vptest::PumpUntil([owner] { return !IsWindow(owner); }, 5000);
    EXPECT_FALSE(IsWindow(owner)) << "the closed window closes once the check lets it go";
    if (IsWindow(owner)) DestroyWindow(owner);

    // The worker has ended; later requests are served by a new one.
    Offer(L"4.8.3.75", kDownload);
    const size_t before = DocumentFetches();
    ASSERT_TRUE(CCheckUpdate::StartUpdateCheck(nullptr));
    ASSERT_TRUE(CCheckUpdate::StartUpdateCheck(nullptr));
    ASSERT_TRUE(CCheckUpdate::WaitForWorker(30000));
    EXPECT_EQ(before + 2, DocumentFetches()) << "a request while a check runs leads to a check of its own";
    ASSERT_TRUE(CCheckUpdate::StartUpdateCheck(nullptr));
    ASSERT_TRUE(CCheckUpdate::WaitForWorker(30000));
    EXPECT_EQ(before + 3, DocumentFetches());
}

}  // namespace
}  // namespace vptest
