// The navigator supervisor driven as the browser drives it: DocumentComplete
// fired through the advised event sink, with page-handler and update-checker
// doubles that record what the supervisor asks of them.
#include <windows.h>
#include <mshtml.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BandFixture.h"
#include "browser/DragAndDropHandler.h"
#include "browser/NavigatorSupervisor.h"
#include "common/LogWriter.h"
#include "common/Variant.h"
#include "common/SettingsStore.h"
#include "common/VersionStrings.h"
#include "support/BrowserStockBar.h"

namespace vptest {
namespace {

using Microsoft::WRL::ComPtr;

// What the supervisor did with its helpers, in order: "drop Attach",
// "buttons AttachAndParse", "check owner", "check".
struct HelperRecord {
    std::vector<std::string> calls;
    std::vector<IDispatch*> frames;  // of the attach calls; not held
    HRESULT dropCreation = S_OK, buttonsCreation = S_OK, checkerCreation = S_OK;
    bool productDropHandler = false;  // the product's own drop handler instead of the double
    HWND owner = nullptr;

    static HelperRecord*& Current()
    {
        static HelperRecord* current = nullptr;
        return current;
    }
    void Attached(const char* who, const char* how, IDispatch* frame, IStockBar* bar)
    {
        calls.push_back(std::string(who) + " " + how);
        frames.push_back(frame);
        EXPECT_NE(nullptr, bar);
    }
    size_t Count(const std::string& call) const { return static_cast<size_t>(std::count(calls.begin(), calls.end(), call)); }
};

HRESULT Refuse(const char* call)
{
    ADD_FAILURE() << "unexpected call of " << call;
    return E_NOTIMPL;
}

// A page handler that records its attach calls; Name is its word in the record.
template <typename Derived, typename Dual>
class HandlerDouble : public ComObject<Derived, TypeLibDispatch<Dual>> {
public:
    STDMETHODIMP Attach(IDispatch* frame, IStockBar* bar, BOOL* attached) override
    {
        return Record("Attach", frame, bar, attached);
    }
    STDMETHODIMP AttachAndParse(IDispatch* frame, IStockBar* bar, BOOL* attached) override
    {
        return Record("AttachAndParse", frame, bar, attached);
    }
    STDMETHODIMP get_StockBar(IStockBar**) override { return Refuse("get_StockBar"); }
    STDMETHODIMP put_StockBar(IStockBar*) override { return Refuse("put_StockBar"); }
    STDMETHODIMP get_Browser(IDispatch**) override { return Refuse("get_Browser"); }
    STDMETHODIMP put_Browser(IDispatch*) override { return Refuse("put_Browser"); }
    STDMETHODIMP put_CallerHWND(OLE_HANDLE) override { return Refuse("put_CallerHWND"); }

private:
    HRESULT Record(const char* how, IDispatch* frame, IStockBar* bar, BOOL* attached)
    {
        HelperRecord::Current()->Attached(Derived::kName, how, frame, bar);
        if (!attached) return E_POINTER;
        *attached = TRUE;
        return S_OK;
    }
};

class DropDouble : public HandlerDouble<DropDouble, IDragAndDropHandler> {
public:
    static constexpr const char* kName = "drop";
    STDMETHODIMP OnDrop(IUnknown*) override { return Refuse("OnDrop"); }
    STDMETHODIMP IsSupported(IUnknown*, BOOL*) override { return Refuse("IsSupported"); }
    STDMETHODIMP get_SlideShow(BOOL*) override { return Refuse("get_SlideShow"); }
    STDMETHODIMP put_SlideShow(BOOL) override { return Refuse("put_SlideShow"); }
};

class ButtonsDouble : public HandlerDouble<ButtonsDouble, IButtonsHandler> {
public:
    static constexpr const char* kName = "buttons";
};

class CheckerDouble : public ComObject<CheckerDouble, TypeLibDispatch<ICheckUpdate>> {
public:
    STDMETHODIMP CheckForUpdate() override
    {
        HelperRecord::Current()->calls.push_back("check");
        return S_OK;
    }
    STDMETHODIMP put_CallerHWND(OLE_HANDLE window) override
    {
        HelperRecord::Current()->calls.push_back("check owner");
        HelperRecord::Current()->owner = reinterpret_cast<HWND>(static_cast<UINT_PTR>(window));
        return S_OK;
    }
};

HRESULT CreateHelperDouble(REFCLSID clsid, REFIID iid, void** object)
{
    HelperRecord& record = *HelperRecord::Current();
    if (IsEqualCLSID(clsid, CLSID_DragAndDropHandler) && record.productDropHandler)
        return CDragAndDropHandler::CreateInstance(iid, object);
    if (IsEqualCLSID(clsid, CLSID_DragAndDropHandler))
        return FAILED(record.dropCreation) ? record.dropCreation : DropDouble::CreateInstance(iid, object);
    if (IsEqualCLSID(clsid, CLSID_ButtonsHandler))
        return FAILED(record.buttonsCreation) ? record.buttonsCreation : ButtonsDouble::CreateInstance(iid, object);
    if (IsEqualCLSID(clsid, CLSID_CheckUpdate))
        return FAILED(record.checkerCreation) ? record.checkerCreation : CheckerDouble::CreateInstance(iid, object);
    ADD_FAILURE() << "the supervisor created an unknown class";
    return REGDB_E_CLASSNOTREG;
}

ULONGLONG Now() { return static_cast<ULONGLONG>(_time64(nullptr)); }

class NavigatorSupervisorTest : public testing::Test {
protected:
    void SetUp() override
    {
        HelperRecord::Current() = &record_;
        CNavigatorSupervisor::SetHelperFactory(&CreateHelperDouble);
        browser_->visible = true;
        browser_->window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
        frame_->document = page_;
        page_->url = kServicePage;
        // A check was made a moment ago: none is due unless a test says so.
        store_.SetLastCheckForUpdateTime(Now());
    }
    void TearDown() override
    {
        if (supervisor_) supervisor_->Stop();
        EXPECT_EQ(0u, browser_->SinkCount());
        CNavigatorSupervisor::SetHelperFactory(nullptr);
        HelperRecord::Current() = nullptr;
    }

    void Start()
    {
        supervisor_ = CNavigatorSupervisor::Make<INavigatorSupervisor>();
        ASSERT_TRUE(supervisor_);
        ASSERT_EQ(S_OK, supervisor_->Start(Query<IDispatch>(browser_).Get(), bar_.Get()));
        record_.calls.clear();
        record_.frames.clear();
    }
    // The frame's document completes at url with cookies.
    HRESULT Complete(const std::wstring& url, const std::wstring& cookies)
    {
        page_->SetCookies(cookies);
        return browser_->FireDocumentComplete(*frame_, url);
    }
    bool ChecksAfterSeconds(DWORD interval, LONGLONG sinceLastCheck)
    {
        store_.WriteNumber(L"CheckForUpdateInterval", interval);
        store_.SetLastCheckForUpdateTime(static_cast<ULONGLONG>(static_cast<LONGLONG>(Now()) - sinceLastCheck));
        record_.calls.clear();
        EXPECT_EQ(S_OK, browser_->FireDocumentComplete(*frame_, L"http://example.org/"));
        return record_.Count("check") == 1;
    }

    const std::wstring kServicePage = L"http://my.vellumpost.com/v_images.php";
    HelperRecord record_;
    SettingsStore store_;
    BrowserPtr<BrowserWebBrowser> browser_ = BrowserWebBrowser::Create();
    BrowserPtr<BrowserWebBrowser> frame_ = BrowserWebBrowser::Create();
    BrowserPtr<BrowserDocument> page_ = BrowserDocument::Create();
    ComPtr<BrowserStockBar> bar_ = BrowserStockBar::Make();
    ComPtr<INavigatorSupervisor> supervisor_;
};

TEST_F(NavigatorSupervisorTest, StartSubscribesAndAttachesTheShownPageStopUnsubscribes)
{
    supervisor_ = CNavigatorSupervisor::Make<INavigatorSupervisor>();
    EXPECT_EQ(S_FALSE, supervisor_->Start(Query<IDispatch>(page_).Get(), bar_.Get()));
    EXPECT_EQ(S_OK, supervisor_->Start(Query<IDispatch>(browser_).Get(), bar_.Get()));
    EXPECT_EQ(S_OK, supervisor_->Start(Query<IDispatch>(browser_).Get(), bar_.Get()));
    EXPECT_EQ(1u, browser_->SinkCount()) << "a second Start first stops";
    EXPECT_EQ(2u, record_.Count("drop AttachAndParse"));
    EXPECT_EQ(2u, record_.Count("buttons AttachAndParse"));
    EXPECT_EQ(S_OK, supervisor_->Stop());
    EXPECT_EQ(0u, browser_->SinkCount());

    // A browser that refuses the subscription still gets its page's handlers.
    browser_->FailCall(L"Advise", E_FAIL);
    record_.calls.clear();
    const size_t unadvised = browser_->CallCount(L"Unadvise");
    EXPECT_EQ(S_OK, supervisor_->Start(Query<IDispatch>(browser_).Get(), bar_.Get()));
    EXPECT_EQ((std::vector<std::string>{"drop AttachAndParse", "buttons AttachAndParse"}), record_.calls);
    EXPECT_EQ(S_OK, supervisor_->Stop());
    EXPECT_EQ(unadvised, browser_->CallCount(L"Unadvise"));
}

TEST_F(NavigatorSupervisorTest, TheServicesCookiesSetTheLoginStateAndAnswerTheChallengeOnce)
{
    store_.WriteNumber(L"log", 1);  // the log is read at construction
    DeleteFileW(LogWriter::DefaultPath().c_str());
    Start();
    const std::wstring secret = L"s3cr3tChallenge";
    EXPECT_EQ(S_OK, Complete(kServicePage, L"xmyimages=annQ7; IMGTCHALLENGE=" + secret));
    EXPECT_EQ((std::vector<BOOL>{-1}), bar_->myImages);
    EXPECT_TRUE(store_.Logged());
    EXPECT_EQ(L"annQ7", store_.Uid());
    const std::wstring response = page_->Cookie(L"IMGTRESPONSE");
    EXPECT_EQ(32u, response.size());
    EXPECT_EQ(std::wstring::npos, response.find_first_not_of(L"0123456789abcdef")) << response;
    EXPECT_EQ(VersionStrings::VersionCookie(), page_->Cookie(L"TOOLBARVER"));
    EXPECT_EQ((std::vector<std::string>{"drop Attach", "buttons Attach"}), record_.calls);
    EXPECT_EQ(Query<IDispatch>(frame_).Get(), record_.frames.at(0));

    // Answered already: nothing is written again. Without "myimages" the bar
    // shows the user logged out, but the user id stays for the Login button.
    EXPECT_EQ(S_OK, Complete(L"http://PROFILE.vellumpost.com/", page_->CookieText() + L"; x=1"));
    EXPECT_EQ(2u, page_->CallCount(L"put_cookie"));
    page_->cookies.erase(page_->cookies.begin());
    EXPECT_EQ(S_OK, browser_->FireDocumentComplete(*frame_, kServicePage));
    EXPECT_EQ((std::vector<BOOL>{-1, -1, 0}), bar_->myImages);
    EXPECT_FALSE(store_.Logged());
    EXPECT_EQ(L"annQ7", store_.Uid());
    EXPECT_EQ(2u, page_->CallCount(L"put_cookie"));

    // The user's credentials never reach the log.
    std::ifstream file(LogWriter::DefaultPath().c_str(), std::ios::binary);
    std::stringstream log;
    log << file.rdbuf();
    EXPECT_NE(std::string::npos, log.str().find("CNavigatorSupervisor\t- Document: http://my.vellumpost.com/"))
        << "the log was written";
    for (const char* value : {"annQ7", "s3cr3tChallenge"}) EXPECT_EQ(std::string::npos, log.str().find(value)) << value;
    EXPECT_EQ(std::string::npos, log.str().find(std::string(response.begin(), response.end())));
}

TEST_F(NavigatorSupervisorTest, OtherSitesAndHiddenBrowsersLeaveTheToolbarAlone)
{
    Start();
    // An address that merely mentions the domain is another site.
    for (const wchar_t* url : {L"http://evil.example/?my.vellumpost.com", L"http://my.vellumpost.com.evil.example/",
                               L"http://evil.example/my.vellumpost.com/"}) {
        EXPECT_EQ(S_OK, Complete(url, L"myimages=eve; IMGTCHALLENGE=abc"));
        EXPECT_EQ(0u, page_->CallCount(L"get_cookie")) << url;
    }
    EXPECT_TRUE(bar_->myImages.empty());
    bool logged = true;
    EXPECT_FALSE(store_.ReadFlag(L"Logged", logged));
    EXPECT_EQ(3u, record_.Count("drop Attach")) << "every page gets its handlers";

    // A hidden browser: no handlers and no word to the bar, but the state is kept.
    browser_->visible = false;
    record_.calls.clear();
    EXPECT_EQ(S_OK, Complete(kServicePage, L"myimages=bob"));
    EXPECT_TRUE(record_.calls.empty());
    EXPECT_TRUE(bar_->myImages.empty());
    EXPECT_TRUE(store_.Logged());
    EXPECT_EQ(L"bob", store_.Uid());
    // An empty cookie string changes no stored state.
    EXPECT_EQ(S_OK, Complete(kServicePage, L""));
    EXPECT_TRUE(store_.Logged());
}

TEST_F(NavigatorSupervisorTest, TheUpdateCheckRunsWhenItsIntervalHasPassed)
{
    Start();
    EXPECT_FALSE(ChecksAfterSeconds(0, 400 * 86400)) << "interval 0 turns checks off";
    EXPECT_FALSE(ChecksAfterSeconds(3, 259200 - 60));
    EXPECT_TRUE(ChecksAfterSeconds(3, 259200));
    EXPECT_EQ((std::vector<std::string>{"drop Attach", "buttons Attach", "check owner", "check"}), record_.calls);
    EXPECT_EQ(browser_->window, record_.owner);
    EXPECT_GE(store_.LastCheckForUpdateTime() + 5, Now()) << "the check is recorded";
    EXPECT_EQ(S_OK, browser_->FireDocumentComplete(*frame_, L"http://example.org/"));
    EXPECT_EQ(1u, record_.Count("check")) << "one check per interval";

    // A negative interval counts as the default; a last check in the future
    // restarts the interval instead of stopping checks.
    EXPECT_TRUE(ChecksAfterSeconds(0xFFFFFFFF, 259200));
    EXPECT_FALSE(ChecksAfterSeconds(3, -400LL * 86400));
    EXPECT_LE(store_.LastCheckForUpdateTime(), Now());
    EXPECT_TRUE(ChecksAfterSeconds(1, 86400));

    // A document that is not HTML (a PDF, a folder view) takes no drop
    // handler; the buttons handler and the due check still run.
    record_.productDropHandler = true;
    frame_->document = BrowserPtr<BrowserDocument>();
    EXPECT_TRUE(ChecksAfterSeconds(3, 259200));
    EXPECT_EQ((std::vector<std::string>{"buttons Attach", "check owner", "check"}), record_.calls);
    record_.productDropHandler = false;

    // The checker or the buttons handler missing is no failure; the drop handler is.
    record_.checkerCreation = record_.buttonsCreation = REGDB_E_CLASSNOTREG;
    EXPECT_FALSE(ChecksAfterSeconds(3, 259200));
    EXPECT_EQ((std::vector<std::string>{"drop Attach"}), record_.calls);
    record_.dropCreation = CLASS_E_CLASSNOTAVAILABLE;
    Variant address(L"http://example.org/");
    EXPECT_EQ(E_FAIL, supervisor_->DocumentComplete(Query<IDispatch>(frame_).Get(), address.Get()));
}

// The band with the real supervisor: siting it subscribes to the browser,
// a completed page of the service reaches the toolbar, removing the site ends it.
HRESULT CreateRealSupervisor(REFCLSID clsid, REFIID iid, void** object)
{
    if (IsEqualCLSID(clsid, CLSID_NavigatorSupervisor)) return CNavigatorSupervisor::CreateInstance(iid, object);
    return BandHelpers::Create(clsid, iid, object);
}

TEST_F(BandTest, TheBandStartsAndStopsTheSupervisorOfItsBrowser)
{
    HelperRecord record;
    HelperRecord::Current() = &record;
    CNavigatorSupervisor::SetHelperFactory(&CreateHelperDouble);
    CStockBar::SetHelperFactory(&CreateRealSupervisor);
    browser_->visible = true;
    auto page = BrowserDocument::Create();
    browser_->document = page;
    page->SetCookies(L"IMGTCHALLENGE=1");

    auto band = SitedBand();
    EXPECT_EQ(1u, browser_->SinkCount());
    EXPECT_EQ(1u, record.Count("drop AttachAndParse"));
    EXPECT_EQ(S_OK, browser_->FireDocumentComplete(*browser_, L"https://www.vellumpost.com/"));
    EXPECT_FALSE(band->Toolbar().LoggedIn());
    page->SetCookies(L"myimages=dora");
    EXPECT_EQ(S_OK, browser_->FireDocumentComplete(*browser_, L"https://www.vellumpost.com/"));
    EXPECT_TRUE(band->Toolbar().LoggedIn());

    EXPECT_EQ(S_OK, band->SetSite(nullptr));
    EXPECT_EQ(0u, browser_->SinkCount());
    CNavigatorSupervisor::SetHelperFactory(nullptr);
    HelperRecord::Current() = nullptr;
}

}  // namespace
}  // namespace vptest
