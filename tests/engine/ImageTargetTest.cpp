// The result targets against browser and toolbar doubles: links into text
// fields, the toolbar's history and paste data, navigation and posting in a
// browser or a page window, the page's "uploadComplete", the pages refresh
// message to toolbar windows, the tag queue restart, and the default chain.
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <wrl/client.h>

#include <memory>

#include <gtest/gtest.h>

#include "VellumpostToolbar_h.h"
#include "common/ComObject.h"
#include "common/SettingsStore.h"
#include "engine/InternetExplorerImageTarget.h"
#include "engine/JSImageTarget.h"
#include "engine/LinkFormat.h"
#include "engine/MultipartFormData.h"
#include "engine/RestartImageTarget.h"
#include "engine/TargetChain.h"
#include "engine/UpdatePagesTarget.h"
#include "engine/UploadHistory.h"
#include "engine/WebBrowserImageTarget.h"
#include "support/BrowserDoubles.h"
#include "support/BrowserStockBar.h"

using Microsoft::WRL::ComPtr;
using vptest::BrowserElement;
using vptest::Query;

namespace {

CUploadResult Result(const std::wstring& name, const std::wstring& image, const wchar_t* response = nullptr)
{
    CUploadResult result;
    result.name = name;
    result.SetImageLink(image.c_str());
    result.adLink = L"http://example.com/i/" + name;
    if (response) result.responseText = response;
    return result;
}

ComPtr<vptest::BrowserStockBar> Toolbar(LinkStyleEnum style, bool thumbnail)
{
    auto toolbar = vptest::BrowserStockBar::Make();
    toolbar->linkStyle = style;
    toolbar->useThumbnail = thumbnail ? VARIANT_TRUE : VARIANT_FALSE;
    return toolbar;
}

class Provider : public ImageTargetPostData {
public:
    bool answer = true;
    std::wstring form = L"<form id=\"submit_form\" action=\"%submit_url%\"></form>";
    bool lastUseThumbnail = false;

    bool FillRequest(CMultipartFormData& request) override
    {
        request.AddField("id[]", "a/b/c.jpg");
        return answer;
    }
    bool FillHtmlForm(std::wstring& text, bool useThumbnail) override
    {
        lastUseThumbnail = useThumbnail;
        text = form;
        return answer;
    }
};

}  // namespace

// --- text fields -------------------------------------------------------------------------

TEST(HTMLElementImageTargetTest, AppendsLinksWithTheSeparator)
{
    auto area = BrowserElement::Create(L"textarea");
    CHTMLElementImageTarget target(Query<IHTMLElement>(area).Get(), Toolbar(lsFriendLink, false).Get());
    target.OnItemUploaded(Result(L"a", L"http://h/1/2/a.jpg"));
    EXPECT_EQ(L"http://example.com/i/a", area->innerText);
    target.OnItemUploaded(Result(L"b", L"http://h/1/2/b.jpg"));
    EXPECT_EQ(L"http://example.com/i/a\nhttp://example.com/i/b", area->innerText);

    SettingsStore().WriteNumber(L"NewLineSeparator", 0);
    area->innerText = L"typed by the user";
    target.OnItemUploaded(Result(L"c", L"http://h/1/2/c.jpg"));
    EXPECT_EQ(L"typed by the user http://example.com/i/c", area->innerText);
}

TEST(HTMLElementImageTargetTest, UnreadableTextIsNotOverwritten)
{
    auto area = BrowserElement::Create(L"textarea");
    area->innerText = L"keep me";
    area->FailCall(L"get_innerText", E_ACCESSDENIED);
    CHTMLElementImageTarget target(Query<IHTMLElement>(area).Get(), nullptr);
    target.OnItemUploaded(Result(L"a", L"http://h/1/2/a.jpg"));
    EXPECT_EQ(0u, area->CallCount(L"put_innerText"));
    EXPECT_EQ(L"keep me", area->innerText);
}

TEST(HTMLElementImageTargetTest, FocusOnlyAfterAnUploadWithResults)
{
    auto area = BrowserElement::Create(L"textarea");
    {
        CHTMLElementImageTarget target(Query<IHTMLElement>(area).Get(), nullptr);
        target.OnUploadComplete({});
        EXPECT_EQ(0, area->focusCount);
        target.OnUploadComplete({Result(L"a", L"http://h/1/2/a.jpg")});
        EXPECT_EQ(1, area->focusCount);
    }
    EXPECT_EQ(1u, area->References()) << "the target leaked the element";
}

TEST(HTMLElementImageTargetTest, LinkOptionsComeFromTheToolbarOrElseTheSettings)
{
    CUploadResult result = Result(L"a", L"http://h/1/2/a.jpg");
    result.thumbBB2 = L"thumb bb2";
    result.imageBB = L"image bb";

    auto area = BrowserElement::Create(L"textarea");
    CHTMLElementImageTarget fromToolbar(Query<IHTMLElement>(area).Get(), Toolbar(lsForum2, true).Get());
    EXPECT_EQ(lsForum2, fromToolbar.LinkStyle());
    EXPECT_TRUE(fromToolbar.UseThumbnail());
    fromToolbar.OnItemUploaded(result);
    EXPECT_EQ(L"thumb bb2", area->innerText);

    SettingsStore settings;
    settings.SetLinkStyleId(kLinkStyleForum1);
    settings.SetImagesSize(kImagesSizeFull);
    area->innerText.clear();
    CHTMLElementImageTarget fromSettings(Query<IHTMLElement>(area).Get(), nullptr);
    EXPECT_EQ(kLinkForum1, fromSettings.LinkStyle());
    EXPECT_FALSE(fromSettings.UseThumbnail());
    fromSettings.OnItemUploaded(result);
    EXPECT_EQ(L"image bb", area->innerText);

    // A toolbar answer of 1 is not the automation true the option readers give.
    auto odd = Toolbar(lsHTML, false);
    odd->useThumbnail = TRUE;
    EXPECT_FALSE(CToolbarImageTarget(odd.Get()).UseThumbnail());
}

// --- toolbar -------------------------------------------------------------------------------

TEST(ToolbarImageTargetTest, HistoryPerItemAndPasteDataAtTheEnd)
{
    auto toolbar = Toolbar(lsFriendLink, false);
    CToolbarImageTarget target(toolbar.Get());
    const UploadResults results = {Result(L"one.jpg", L"http://h/1/2/one.jpg"), Result(L"two.jpg", L"http://h/1/2/two.jpg")};
    for (const auto& result : results) target.OnItemUploaded(result);
    ASSERT_EQ(2u, toolbar->history.size());
    EXPECT_EQ(L"two.jpg", toolbar->history[1].name.value_or(L"<absent>"));

    target.OnUploadComplete({});
    EXPECT_TRUE(toolbar->pasteData.empty());

    SettingsStore().WriteNumber(L"NewLineSeparator", 0);
    target.OnUploadComplete(results);
    ASSERT_EQ(1u, toolbar->pasteData.size());
    EXPECT_EQ(L"http://example.com/i/one.jpg http://example.com/i/two.jpg", toolbar->pasteData[0].data);
    // Names are always one per line.
    EXPECT_EQ(L"one.jpg\ntwo.jpg", toolbar->pasteData[0].toolTip);
}

// --- browser and page window ----------------------------------------------------------

TEST(WebBrowserImageTargetTest, NavigateShowsTheBrowserOnlyOnSuccess)
{
    auto browser = vptest::BrowserWebBrowser::Create();
    CWebBrowserImageTarget target(Query<IWebBrowser2>(browser).Get(), nullptr);
    target.Navigate(L"http://example.com/done");
    ASSERT_EQ(1u, browser->navigations.size());
    EXPECT_EQ(L"http://example.com/done", browser->navigations[0].url);
    EXPECT_EQ(VT_EMPTY, browser->navigations[0].postDataType);
    EXPECT_TRUE(browser->visible);

    auto failing = vptest::BrowserWebBrowser::Create();
    failing->FailCall(L"Navigate", E_FAIL);
    CWebBrowserImageTarget(Query<IWebBrowser2>(failing).Get(), nullptr).Navigate(L"http://example.com/done");
    EXPECT_EQ(0u, failing->CallCount(L"put_Visible"));
}

TEST(WebBrowserImageTargetTest, PostsTheProvidersRequest)
{
    auto browser = vptest::BrowserWebBrowser::Create();
    CWebBrowserImageTarget target(Query<IWebBrowser2>(browser).Get(), nullptr);
    Provider provider;
    provider.answer = false;
    target.PostData(L"http://example.com/results", provider);
    EXPECT_TRUE(browser->calls.empty());

    provider.answer = true;
    target.PostData(L"http://example.com/results", provider);
    ASSERT_EQ(1u, browser->navigations.size());
    const auto& posted = browser->navigations[0];
    EXPECT_EQ(L"http://example.com/results", posted.url);
    EXPECT_EQ(VT_ARRAY | VT_UI1, posted.postDataType);
    EXPECT_NE(std::string::npos, posted.postData.find("name=\"id[]\"\r\n\r\na/b/c.jpg\r\n"));
    EXPECT_EQ(VT_BSTR, posted.headers.type);
    EXPECT_NE(std::wstring::npos, posted.headers.text.find(L"multipart/form-data"));
    EXPECT_EQ(VT_EMPTY, posted.flags.type);
    EXPECT_EQ(VT_EMPTY, posted.targetFrame.type);
    EXPECT_TRUE(browser->visible);
}

TEST(WindowImageTargetTest, SubmitsAHiddenFormAddedToThePage)
{
    auto page = vptest::BrowserPage::Create();
    auto form = BrowserElement::Create(L"form", BrowserElement::Type::Form);
    form->id = L"submit_form";
    page.document->AddElement(form);
    Provider provider;
    CWindowImageTarget target(Query<IHTMLWindow2>(page.window).Get(), Toolbar(lsHTML, true).Get());
    target.PostData(L"http://example.com/results", provider);

    EXPECT_TRUE(provider.lastUseThumbnail);
    ASSERT_EQ(1u, page.document->created.size());
    auto div = page.document->created[0];
    EXPECT_EQ(L"div", div->tag);
    EXPECT_EQ(L"hidden", div->Style()->visibility);
    EXPECT_EQ(L"absolute", div->Style()->position);
    EXPECT_EQ(L"<form id=\"submit_form\" action=\"http://example.com/results\"></form>", div->innerHTML);
    ASSERT_EQ(1u, page.document->body->children.size());
    EXPECT_EQ(div.get(), page.document->body->children[0].get());
    EXPECT_EQ(1, form->submitCount);
}

TEST(WindowImageTargetTest, NothingIsSubmittedWhenThePageCannotTakeTheForm)
{
    auto page = vptest::BrowserPage::Create();
    auto form = BrowserElement::Create(L"form", BrowserElement::Type::Form);
    form->id = L"submit_form";
    page.document->AddElement(form);
    page.document->body->FailCall(L"appendChild", E_FAIL);
    Provider provider;
    CWindowImageTarget target(Query<IHTMLWindow2>(page.window).Get(), nullptr);
    target.PostData(L"http://example.com/results", provider);
    EXPECT_EQ(0, form->submitCount);

    // A "submit_form" that is not a form is not submitted either.
    auto other = vptest::BrowserPage::Create();
    auto plain = BrowserElement::Create(L"div");
    plain->id = L"submit_form";
    other.document->AddElement(plain);
    CWindowImageTarget(Query<IHTMLWindow2>(other.window).Get(), nullptr).PostData(L"http://u/", provider);
    EXPECT_EQ(1u, other.document->body->children.size());
}

TEST(WindowImageTargetTest, NavigateGoesToTheWindow)
{
    auto page = vptest::BrowserPage::Create();
    CWindowImageTarget(Query<IHTMLWindow2>(page.window).Get(), nullptr).Navigate(L"http://example.com/x");
    EXPECT_EQ(std::vector<std::wstring>{L"navigate http://example.com/x"}, page.window->calls);
}

TEST(WindowImageTargetTest, ResultPagesAreShownOnlyAtWebAddresses)
{
    const wchar_t* hostile[] = {L"javascript:alert(1)", L"vbscript:msgbox(1)", L"file:///C:/x.exe", nullptr};
    auto browser = vptest::BrowserWebBrowser::Create();
    auto page = vptest::BrowserPage::Create();
    CWebBrowserImageTarget browserTarget(Query<IWebBrowser2>(browser).Get(), nullptr);
    CWindowImageTarget windowTarget(Query<IHTMLWindow2>(page.window).Get(), nullptr);
    Provider provider;
    for (const wchar_t* url : hostile) {
        browserTarget.Navigate(url);
        browserTarget.PostData(url, provider);
        windowTarget.Navigate(url);
        windowTarget.PostData(url, provider);
    }
    EXPECT_TRUE(browser->calls.empty());
    EXPECT_TRUE(page.window->calls.empty());
    EXPECT_TRUE(page.document->created.empty());

    // A good address reaches the form escaped for its attribute.
    auto form = BrowserElement::Create(L"form", BrowserElement::Type::Form);
    form->id = L"submit_form";
    page.document->AddElement(form);
    windowTarget.PostData(L"http://h/r?a=1&b=\"><b>%x", provider);
    ASSERT_EQ(1u, page.document->created.size());
    EXPECT_EQ(L"<form id=\"submit_form\" action=\"http://h/r?a=1&amp;b=&quot;&gt;&lt;b&gt;&#37;x\"></form>",
              page.document->created[0]->innerHTML);
    EXPECT_EQ(1, form->submitCount);
}

// --- page script --------------------------------------------------------------------------

TEST(JSImageTargetTest, HandsTheAnswersToThePageWithoutXmlDeclarations)
{
    auto page = vptest::BrowserPage::Create();
    auto complete = page.window->AddFunction(L"uploadComplete");
    CJSImageTarget target(Query<IHTMLDocument2>(page.document).Get());
    ASSERT_TRUE(target.HasFunction());
    EXPECT_EQ(std::vector<LCID>{2048}, page.window->lookupLocales);

    target.OnUploadComplete({});
    EXPECT_TRUE(complete->invocations.empty());

    target.OnUploadComplete({
        Result(L"a", L"http://h/1/2/a.jpg", L"<?xml version=\"1.0\"?><upload>a</upload>"),
        Result(L"b", L"http://h/1/2/b.jpg"),                            // no answer: skipped
        Result(L"c", L"http://h/1/2/c.jpg", L"<?xml broken"),          // declaration never ends: skipped
        Result(L"d", L"http://h/1/2/d.jpg", L"<?xml  ?><upload>d</upload>"),
        Result(L"e", L"http://h/1/2/e.jpg", L"<?XML ?>plain"),         // not a declaration: kept
    });
    ASSERT_EQ(1u, complete->invocations.size());
    const auto& call = complete->invocations[0];
    EXPECT_EQ(2048u, call.locale);
    ASSERT_EQ(1u, call.arguments.size());
    EXPECT_EQ(VT_BSTR, call.arguments[0].type);
    EXPECT_EQ(L"<images>\n<upload>a</upload>\n<upload>d</upload>\n<?XML ?>plain\n</images>", call.arguments[0].text);
}

TEST(JSImageTargetTest, PagesWithoutTheFunctionGetNoCall)
{
    auto page = vptest::BrowserPage::Create();
    page.window->AddFunction(L"uploadSomethingElse");
    CJSImageTarget target(Query<IHTMLDocument2>(page.document).Get());
    EXPECT_FALSE(target.HasFunction());
    target.OnUploadComplete({Result(L"a", L"http://h/1/2/a.jpg", L"x")});

    auto failing = vptest::BrowserPage::Create();
    auto complete = failing.window->AddFunction(L"uploadComplete");
    complete->answers.push_back(vptest::ScriptAnswer::Failure(DISP_E_EXCEPTION));
    CJSImageTarget(Query<IHTMLDocument2>(failing.document).Get()).OnUploadComplete({Result(L"a", L"http://h/1/2/a.jpg")});
    EXPECT_EQ(1u, complete->invocations.size());
}

// --- toolbar windows ------------------------------------------------------------------------

namespace {

// Real windows: a hidden frame whose descendants are a toolbar window at
// some depth and a look-alike whose name differs within the compared part.
class ToolbarWindows {
public:
    ToolbarWindows()
    {
        RegisterWindowClass(kToolbarClass);
        RegisterWindowClass(kOtherClass);
        frame_ = Create(L"STATIC", nullptr, WS_POPUP);
        HWND parent = frame_;
        for (int depth = 1; depth < 5; ++depth) parent = Create(L"STATIC", parent, WS_CHILD);
        toolbar = Create(kToolbarClass, parent, WS_CHILD);
        below = Create(kToolbarClass, toolbar, WS_CHILD);  // under a toolbar: not searched
        other = Create(kOtherClass, frame_, WS_CHILD);
        tooDeep = frame_;
        for (int depth = 1; depth < 8; ++depth) tooDeep = Create(L"STATIC", tooDeep, WS_CHILD);
        tooDeep = Create(kToolbarClass, tooDeep, WS_CHILD);  // depth 8
    }
    ~ToolbarWindows() { DestroyWindow(frame_); }

    // wParam of every refresh message waiting for window (none: empty).
    std::vector<WPARAM> Received(HWND window)
    {
        std::vector<WPARAM> got;
        MSG message;
        while (PeekMessageW(&message, window, WM_TOOLBAR_REFRESH_MY_PAGES, WM_TOOLBAR_REFRESH_MY_PAGES, PM_REMOVE))
            got.push_back(message.wParam);
        return got;
    }

    HWND toolbar, below, other, tooDeep;
    static constexpr const wchar_t* kToolbarClass = L"VELLUMPOSTTOOLBAR:0xtest";
    static constexpr const wchar_t* kOtherClass = L"VELLUMPOSTTOOLBXR:0xtest";

private:
    static void RegisterWindowClass(const wchar_t* name)
    {
        WNDCLASSW type = {};
        type.lpfnWndProc = DefWindowProcW;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = name;
        RegisterClassW(&type);
    }
    static HWND Create(const wchar_t* type, HWND parent, DWORD style)
    {
        HWND window = CreateWindowExW(0, type, L"", style, 0, 0, 10, 10, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(nullptr, window);
        return window;
    }
    HWND frame_;
};

}  // namespace

TEST(UpdatePagesTargetTest, KindsOfUploadedFiles)
{
    const CUploadResult picture = Result(L"p", L"http://h/1/2/p.jpg");
    const CUploadResult video = Result(L"v", L"http://h/1/2/v.FLV");
    CUploadResult noLink;
    EXPECT_EQ(0u, CUpdatePagesTarget::UploadedKindsOf({}));
    EXPECT_EQ(1u, CUpdatePagesTarget::UploadedKindsOf({picture, noLink}));
    EXPECT_EQ(2u, CUpdatePagesTarget::UploadedKindsOf({video, video}));
    EXPECT_EQ(3u, CUpdatePagesTarget::UploadedKindsOf({video, picture}));
}

TEST(UpdatePagesTargetTest, PostsToEveryToolbarWindowWithTheKinds)
{
    ToolbarWindows windows;
    CUpdatePagesTarget target;
    target.OnUploadComplete({});
    EXPECT_TRUE(windows.Received(windows.toolbar).empty());

    target.OnUploadComplete({Result(L"p", L"http://h/1/2/p.png")});
    target.OnUploadComplete({Result(L"v", L"http://h/1/2/v.avi")});
    target.OnUploadComplete({Result(L"p", L"http://h/1/2/p.png"), Result(L"v", L"http://h/1/2/v.wmv")});
    EXPECT_EQ((std::vector<WPARAM>{1, 2, 3}), windows.Received(windows.toolbar));
    EXPECT_TRUE(windows.Received(windows.below).empty());
    EXPECT_TRUE(windows.Received(windows.other).empty());
    EXPECT_TRUE(windows.Received(windows.tooDeep).empty());
}

// --- tag queue restart --------------------------------------------------------------------

namespace {

class QueueUploader : public ComObject<QueueUploader, IInnerFileUploader> {
public:
    static inline int queueCalls = 0;
    static inline bool allEmpty = true;
    STDMETHODIMP UploadFiles(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT) override { return Unexpected(); }
    STDMETHODIMP TransloadUrls(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT) override { return Unexpected(); }
    STDMETHODIMP PostToBlog(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT) override { return Unexpected(); }
    STDMETHODIMP CreateSlideshow(VARIANT, VARIANT, VARIANT, VARIANT, VARIANT, VARIANT) override { return Unexpected(); }
    STDMETHODIMP UploadQueue(VARIANT items, VARIANT tags, VARIANT publicFlags, VARIANT optsize, VARIANT removeSizeBar) override
    {
        ++queueCalls;
        for (const VARIANT& v : {items, tags, publicFlags, optsize, removeSizeBar}) allEmpty = allEmpty && V_VT(&v) == VT_EMPTY;
        return S_OK;
    }

private:
    HRESULT Unexpected()
    {
        ADD_FAILURE() << "unexpected uploader entry";
        return E_NOTIMPL;
    }
};

class QueueUploaderFactory : public ComObject<QueueUploaderFactory, IClassFactory> {
public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        return outer ? CLASS_E_NOAGGREGATION : QueueUploader::CreateInstance(iid, object);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

TEST(RestartImageTargetTest, StartsTheNextQueuePassWithNothingGiven)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CRestartImageTarget target;
    // No uploader class in this process: nothing happens, nothing breaks.
    target.OnUploadComplete({});

    auto factory = QueueUploaderFactory::Make<IClassFactory>();
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_FileUploader, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                          &cookie));
    target.OnUploadComplete({});
    CoRevokeClassObject(cookie);
    EXPECT_EQ(1, QueueUploader::queueCalls);
    EXPECT_TRUE(QueueUploader::allEmpty);
    CoUninitialize();
}

// --- the default chain ------------------------------------------------------------------------

TEST(TargetChainTest, DestinationChosenByInterface)
{
    const CUploadResult result = Result(L"a.jpg", L"http://h/1/2/a.jpg", L"<upload/>");
    SettingsStore().WriteNumber(L"UpdateBrowserAfterUpload", 0);

    // An element: toolbar first, then the element.
    auto toolbar = Toolbar(lsFriendLink, false);
    auto area = BrowserElement::Create(L"textarea");
    std::unique_ptr<ImageTarget> chain(BuildTargetChain(toolbar.Get(), Query<IUnknown>(area).Get()));
    chain->OnItemUploaded(result);
    EXPECT_EQ(1u, toolbar->history.size());
    EXPECT_EQ(L"http://example.com/i/a.jpg", area->innerText);

    // A browser.
    auto browser = vptest::BrowserWebBrowser::Create();
    chain.reset(BuildTargetChain(toolbar.Get(), Query<IUnknown>(browser).Get()));
    chain->Navigate(L"http://example.com/done");
    EXPECT_EQ(1u, browser->navigations.size());

    // A window.
    auto page = vptest::BrowserPage::Create();
    chain.reset(BuildTargetChain(nullptr, Query<IUnknown>(page.window).Get()));
    chain->Navigate(L"http://example.com/done");
    EXPECT_EQ(1u, page.window->CallCount(L"navigate"));

    // A document: its page's script.
    auto complete = page.window->AddFunction(L"uploadComplete");
    chain.reset(BuildTargetChain(nullptr, Query<IUnknown>(page.document).Get()));
    chain->OnUploadComplete({result});
    EXPECT_EQ(1u, complete->invocations.size());

    // Something else, or nothing: the toolbar alone.
    auto style = vptest::BrowserStyle::Create();
    chain.reset(BuildTargetChain(toolbar.Get(), Query<IUnknown>(style).Get()));
    chain->OnItemUploaded(result);
    EXPECT_EQ(2u, toolbar->history.size());
    EXPECT_TRUE(style->calls.empty());
    chain.reset();
    EXPECT_EQ(1u, area->References());
    EXPECT_EQ(1u, browser->References());
}

TEST(TargetChainTest, WithoutToolbarTheHistoryGetsTheResult)
{
    SettingsStore store;
    std::unique_ptr<ImageTarget> chain(BuildTargetChain(nullptr, nullptr));
    chain->OnItemUploaded(Result(L"a.jpg", L"http://h/1/2/a.jpg"));
    UploadHistory history(store);
    ASSERT_EQ(1, history.HistoryCount());
    CUploadResult stored;
    history.ReadHistoryEntry(0, stored);
    EXPECT_EQ(L"a.jpg", stored.name.value_or(L""));
}

TEST(TargetChainTest, PagesAreRefreshedUnlessTurnedOff)
{
    ToolbarWindows windows;
    const UploadResults results = {Result(L"a.jpg", L"http://h/1/2/a.jpg")};
    std::unique_ptr<ImageTarget> chain(BuildTargetChain(nullptr, nullptr));
    chain->OnUploadComplete(results);
    EXPECT_EQ(std::vector<WPARAM>{1}, windows.Received(windows.toolbar));

    SettingsStore().WriteNumber(L"UpdateBrowserAfterUpload", 0);
    chain.reset(BuildTargetChain(nullptr, nullptr));
    chain->OnUploadComplete(results);
    EXPECT_TRUE(windows.Received(windows.toolbar).empty());
}
