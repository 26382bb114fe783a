// The page handlers on page doubles: which documents and frames they attach
// to, what the page's events do then, and what a page gets from it.
#include <windows.h>
#include <mshtml.h>

#include <gtest/gtest.h>

#include "browser/ButtonsHandler.h"
#include "browser/DragAndDropHandler.h"
#include "browser/BandFixture.h"
#include "common/HostCheck.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "resources/resource.h"
#include "support/BrowserDoubles.h"
#include "support/BrowserStockBar.h"
#include "support/FileDropData.h"

using Microsoft::WRL::ComPtr;

namespace vptest {
namespace {

// A page shown in a browser of its own, with elements in its body.
struct ShownPage {
    BrowserPage page = BrowserPage::Create();
    BrowserPtr<BrowserWebBrowser> browser;
    explicit ShownPage(const std::wstring& url) : browser(page.ShowIn(url)) {}
    BrowserPtr<BrowserElement> Add(const std::wstring& tag, BrowserElement::Type type = BrowserElement::Type::Plain)
    {
        auto element = BrowserElement::Create(tag, type);
        page.document->body->children.push_back(element);
        return element;
    }
    void AddFrame(const ShownPage& frame) { page.document->body->children.push_back(BrowserElement::CreateFrame(frame.browser)); }
    ComPtr<IDispatch> Browser() const { return Query<IDispatch>(browser); }
    // Makes the browser fire event at element, with data dragged when given.
    HRESULT Fire(const std::wstring& event, const BrowserPtr<BrowserElement>& at, IUnknown* dragged = nullptr)
    {
        page.window->event = BrowserEvent::Create();
        page.window->event->srcElement = at;
        if (dragged) page.window->event->dataTransfer = BrowserDataTransfer::Create(dragged);
        page.document->pointed = at;
        // Clicks reach the element's handler, drag events the body's.
        return (event == L"onclick" ? at : page.document->body)->Fire(event, &answer);
    }
    ScriptValue ReturnValue() const { return page.window->event->returnValue; }
    // What the last fired handler answered the browser.
    ScriptValue answer;
};

ComPtr<IStockBar> CountingBar(ComPtr<BrowserStockBar>& bar)
{
    bar = BrowserStockBar::Make();
    bar->pageHandlers = true;
    return ComPtr<IStockBar>(bar.Get());
}

int g_uploadersAsked = 0;
HRESULT RefuseUploader(REFIID, void** object)
{
    ++g_uploadersAsked;
    *object = nullptr;
    return E_NOINTERFACE;
}

class PageHandlersTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        g_uploadersAsked = 0;
        CDragAndDropHandler::SetUploaderFactory(&RefuseUploader);
        CountingBar(bar_);
    }
    void TearDown() override
    {
        CDragAndDropHandler::SetUploaderFactory(nullptr);
        OleUninitialize();
    }
    ComPtr<BrowserStockBar> bar_;
    const ScriptValue kFalse{VT_BOOL, L"false"}, kTrue{VT_BOOL, L"true"};
};

TEST_F(PageHandlersTest, FramesWithTextAreasAreCountedUntilTheirPagesGo)
{
    ShownPage top(L"http://example.org/"), first(L"http://example.org/a"), second(L"http://example.net/b");
    auto plain = first.Add(L"textarea", BrowserElement::Type::TextArea);
    auto titled = second.Add(L"TEXTAREA", BrowserElement::Type::TextArea);
    titled->title = L"Your notes";
    // The second page reacts to drops itself.
    auto ownDrop = BrowserScriptFunction::Create();
    second.page.document->body->SetHandler(L"ondrop", Query<IDispatch>(ownDrop).Get());
    top.AddFrame(first);
    top.AddFrame(second);

    {
        auto handler = CDragAndDropHandler::Make<IDragAndDropHandler>();
        BOOL attached = FALSE;
        ASSERT_EQ(S_OK, handler->AttachAndParse(top.Browser().Get(), bar_.Get(), &attached));
        EXPECT_TRUE(attached);
    }
    EXPECT_EQ(2, bar_->dropTargets);
    EXPECT_EQ(nullptr, top.page.document->body->Handler(L"ondrop")) << "a page without text areas is left alone";
    EXPECT_EQ(LoadModuleString(IDS_TEXTAREA_TITLE), plain->title);
    EXPECT_EQ(L"Your notes", titled->title);

    // Attaching a page again neither counts it twice nor runs its routines twice.
    {
        auto again = CDragAndDropHandler::Make<IDragAndDropHandler>();
        BOOL attached = FALSE;
        ASSERT_EQ(S_OK, again->Attach(second.Browser().Get(), bar_.Get(), &attached));
    }
    EXPECT_EQ(2, bar_->dropTargets);
    auto files = FileDropData::Make<IDataObject>(FileDropData::Kind::Files, std::vector<std::wstring>{L"C:\\a.jpg"});
    EXPECT_EQ(S_OK, second.Fire(L"ondrop", titled, files.Get()));
    EXPECT_EQ(1u, ownDrop->invocations.size()) << "the page's own drop handler runs once";
    PumpMessages();
    EXPECT_EQ(1, g_uploadersAsked);

    first.page.document->Unload();
    second.page.document->Unload();
    EXPECT_EQ(0, bar_->dropTargets);

    // Without tooltips the text areas keep no title of ours.
    SettingsStore().SetTooltips(false);
    ShownPage quiet(L"http://example.org/q");
    auto untitled = quiet.Add(L"textarea", BrowserElement::Type::TextArea);
    BOOL attached = FALSE;
    ASSERT_EQ(S_OK, CDragAndDropHandler::Make<IDragAndDropHandler>()->Attach(quiet.Browser().Get(), nullptr, &attached));
    EXPECT_TRUE(attached);
    EXPECT_EQ(L"", untitled->title);
    quiet.page.document->Unload();
}

TEST_F(PageHandlersTest, DragsOfFilesOverTextAreasAreAcceptedAndDropsUploadAfterTheEvent)
{
    ShownPage shown(L"http://example.org/form");
    auto textArea = shown.Add(L"textarea", BrowserElement::Type::TextArea);
    auto editable = shown.Add(L"div");
    editable->isTextEdit = true;
    auto readOnly = shown.Add(L"p");
    BOOL attached = FALSE;
    ASSERT_EQ(S_OK, CDragAndDropHandler::Make<IDragAndDropHandler>()->Attach(shown.Browser().Get(), bar_.Get(), &attached));
    ASSERT_TRUE(attached);

    // Events a page fires itself, without an event object or dragged data, do nothing.
    EXPECT_EQ(S_OK, shown.page.document->body->Fire(L"ondragover"));
    EXPECT_EQ(S_OK, shown.page.document->body->Fire(L"ondrop"));
    EXPECT_EQ(S_OK, shown.Fire(L"ondragover", textArea));
    EXPECT_EQ(VT_EMPTY, shown.ReturnValue().type);

    auto text = FileDropData::Make<IDataObject>(FileDropData::Kind::TextOnly, std::vector<std::wstring>{L"words"});
    EXPECT_EQ(S_OK, shown.Fire(L"ondragenter", textArea, text.Get()));
    EXPECT_EQ(VT_EMPTY, shown.ReturnValue().type) << "plain text keeps the browser's own behaviour";
    EXPECT_EQ(L"", shown.page.window->event->dataTransfer->dropEffect);

    auto files = FileDropData::Make<IDataObject>(FileDropData::Kind::Files, std::vector<std::wstring>{L"C:\\a.jpg"});
    EXPECT_EQ(S_OK, shown.Fire(L"ondragover", textArea, files.Get()));
    EXPECT_EQ(kFalse, shown.ReturnValue());
    EXPECT_EQ(L"copy", shown.page.window->event->dataTransfer->dropEffect);
    EXPECT_EQ(S_OK, shown.Fire(L"ondragover", editable, files.Get()));
    EXPECT_EQ(VT_EMPTY, shown.ReturnValue().type) << "only text areas offer to take files";

    // A drop is answered at once; the uploader comes after the event.
    EXPECT_EQ(S_OK, shown.Fire(L"ondrop", textArea, files.Get()));
    EXPECT_EQ(kFalse, shown.ReturnValue()) << "the browser must not open the dropped file";
    EXPECT_EQ(0, g_uploadersAsked);
    PumpMessages();
    EXPECT_EQ(1, g_uploadersAsked);
    EXPECT_EQ(S_OK, shown.Fire(L"ondrop", editable, files.Get()));
    PumpMessages();
    EXPECT_EQ(2, g_uploadersAsked) << "any text edit takes a drop";
    // Drops the product does not take keep what the page decided.
    EXPECT_EQ(S_OK, shown.Fire(L"ondrop", readOnly, files.Get()));
    EXPECT_EQ(VT_EMPTY, shown.ReturnValue().type);
    auto broken = FileDropData::Make<IDataObject>(FileDropData::Kind::BrokenList, std::vector<std::wstring>{L"C:\\a.jpg"});
    EXPECT_EQ(S_OK, shown.Fire(L"ondrop", textArea, broken.Get()));
    EXPECT_EQ(VT_EMPTY, shown.ReturnValue().type);
    PumpMessages();
    EXPECT_EQ(2, g_uploadersAsked);
    shown.page.document->Unload();

    // A page that cancels drops itself, by its handler's result or by the
    // event's returnValue, still cancels them with ours attached.
    ShownPage own(L"http://example.org/editor");
    auto pageDrop = BrowserScriptFunction::Create();
    own.page.document->body->SetHandler(L"ondrop", Query<IDispatch>(pageDrop).Get());
    auto notes = own.Add(L"textarea", BrowserElement::Type::TextArea);
    auto canvas = own.Add(L"div");
    ASSERT_EQ(S_OK, CDragAndDropHandler::Make<IDragAndDropHandler>()->Attach(own.Browser().Get(), bar_.Get(), &attached));
    pageDrop->answers.push_back(ScriptAnswer::Bool(false));
    EXPECT_EQ(S_OK, own.Fire(L"ondrop", canvas, text.Get()));
    EXPECT_EQ(kFalse, own.answer) << "the page's false reaches the browser";
    EXPECT_EQ(VT_EMPTY, own.ReturnValue().type);
    own.page.window->event->returnValue = kFalse;  // as the page's handler sets it
    EXPECT_EQ(S_OK, own.page.document->body->Fire(L"ondrop"));
    EXPECT_EQ(kFalse, own.ReturnValue());
    EXPECT_EQ(S_OK, own.Fire(L"ondrop", notes, files.Get()));
    EXPECT_EQ(kFalse, own.ReturnValue()) << "a drop the product takes is cancelled by it";
    PumpMessages();
    EXPECT_EQ(3, g_uploadersAsked);
    own.page.document->Unload();
}

TEST_F(PageHandlersTest, DroppedFileListsAreReadWhole)
{
    const std::wstring deep = L"C:\\" + std::wstring(300, L'd') + L"\\picture.jpg";
    std::vector<std::wstring> paths;
    auto files = FileDropData::Make<IDataObject>(FileDropData::Kind::Files, std::vector<std::wstring>{deep, L"C:\\b.png"});
    ASSERT_EQ(S_OK, ReadDroppedFiles(files.Get(), paths));
    EXPECT_EQ((std::vector<std::wstring>{deep, L"C:\\b.png"}), paths);
    auto broken = FileDropData::Make<IDataObject>(FileDropData::Kind::BrokenList, std::vector<std::wstring>{deep});
    EXPECT_TRUE(FAILED(ReadDroppedFiles(broken.Get(), paths)));
    EXPECT_TRUE(paths.empty());

    auto handler = CDragAndDropHandler::Make<IDragAndDropHandler>();
    BOOL supported = FALSE;
    auto text = FileDropData::Make<IDataObject>(FileDropData::Kind::TextOnly, std::vector<std::wstring>{});
    EXPECT_EQ(S_OK, handler->IsSupported(text.Get(), &supported));
    EXPECT_FALSE(supported);
    EXPECT_EQ(S_OK, handler->IsSupported(files.Get(), &supported));
    EXPECT_EQ(VARIANT_TRUE, supported);
    EXPECT_EQ(E_POINTER, handler->OnDrop(nullptr));
    // A drop on the toolbar with a failing uploader is quiet.
    EXPECT_EQ(S_OK, handler->OnDrop(files.Get()));
    EXPECT_EQ(1, g_uploadersAsked);

    // A bar that is replaced gets its count back first.
    ShownPage shown(L"http://example.org/");
    shown.Add(L"textarea", BrowserElement::Type::TextArea);
    BOOL attached = FALSE;
    ASSERT_EQ(S_OK, handler->Attach(shown.Browser().Get(), bar_.Get(), &attached));
    EXPECT_EQ(1, bar_->dropTargets);
    ComPtr<BrowserStockBar> other;
    EXPECT_EQ(S_OK, handler->put_StockBar(CountingBar(other).Get()));
    EXPECT_EQ(0, bar_->dropTargets);
    EXPECT_EQ(0, other->dropTargets);
    EXPECT_EQ(E_FAIL, handler->put_Browser(shown.Browser().Get()));
    shown.page.document->Unload();
}

TEST_F(PageHandlersTest, ButtonsOfTheServicesPagesStartCommands)
{
    const std::wstring home = LoadModuleString(IDS_HOME_URL);
    ASSERT_TRUE(IsServiceUrl(home, ServiceScope::Pages));
    ShownPage service(home), inner(home + L"frame"), foreign(L"http://evil.example/?vellumpost.com");
    auto link = service.Add(L"a", BrowserElement::Type::Anchor);
    link->className = L"VellumPost-Upload";
    auto both = service.Add(L"button", BrowserElement::Type::Button);
    both->id = L"vellumpost-upload";
    both->className = L"vellumpost-slideshow";
    auto unknown = service.Add(L"input", BrowserElement::Type::InputButton);
    unknown->id = L"vellumpost-unknown";
    auto division = service.Add(L"div");
    division->id = L"vellumpost-upload";
    auto ownClick = BrowserScriptFunction::Create();
    unknown->SetHandler(L"onclick", Query<IDispatch>(ownClick).Get());
    auto framed = inner.Add(L"button", BrowserElement::Type::Button);
    framed->id = L"vellumpost-js-screenshot";
    auto planted = foreign.Add(L"a", BrowserElement::Type::Anchor);
    planted->id = L"vellumpost-js-screenshot";
    service.AddFrame(inner);
    service.AddFrame(foreign);

    BOOL attached = FALSE;
    ASSERT_EQ(S_OK, CButtonsHandler::Make<IButtonsHandler>()->AttachAndParse(service.Browser().Get(), bar_.Get(), &attached));
    EXPECT_TRUE(attached);
    EXPECT_EQ(nullptr, division->Handler(L"onclick"));
    EXPECT_EQ(nullptr, planted->Handler(L"onclick")) << "a foreign frame's buttons are not hooked";

    EXPECT_EQ(S_OK, service.Fire(L"onclick", link));
    EXPECT_EQ(kFalse, service.ReturnValue()) << "the link is not followed";
    EXPECT_EQ(S_OK, service.Fire(L"onclick", both));
    EXPECT_EQ(S_OK, service.Fire(L"onclick", unknown));
    EXPECT_EQ(kFalse, service.ReturnValue());
    EXPECT_EQ(1u, ownClick->invocations.size()) << "the page's own click handler still runs";
    EXPECT_EQ(S_OK, inner.Fire(L"onclick", framed));
    ASSERT_EQ(3u, bar_->commands.size());
    EXPECT_EQ(L"Upload", bar_->commands[0].name);
    EXPECT_EQ(VT_EMPTY, bar_->commands[0].destination);
    EXPECT_EQ(L"Upload", bar_->commands[1].name);
    EXPECT_EQ(L"ScreenShot", bar_->commands[2].name);
    EXPECT_EQ(VT_DISPATCH, bar_->commands[2].destination);

    // A click on a picture inside a hooked link reaches the link's handler
    // with the picture as its source: the link's command starts.
    auto inside = BrowserElement::Create(L"img");
    service.page.window->event = BrowserEvent::Create();
    service.page.window->event->srcElement = inside;
    EXPECT_EQ(S_OK, link->Fire(L"onclick"));
    EXPECT_EQ(kFalse, service.ReturnValue());
    ASSERT_EQ(4u, bar_->commands.size());
    EXPECT_EQ(L"Upload", bar_->commands[3].name);

    // A page that moved to another address by the time of the click is not served.
    service.page.document->url = L"http://evil.example/";
    EXPECT_EQ(S_OK, service.Fire(L"onclick", link));
    EXPECT_EQ(4u, bar_->commands.size());

    // A foreign page gets nothing hooked at all.
    BOOL foreignAttached = FALSE;
    ASSERT_EQ(S_OK, CButtonsHandler::Make<IButtonsHandler>()->AttachAndParse(foreign.Browser().Get(), bar_.Get(), &foreignAttached));
    EXPECT_FALSE(foreignAttached);
    EXPECT_EQ(nullptr, planted->Handler(L"onclick"));
    service.page.document->Unload();
    inner.page.document->Unload();
}

}  // namespace
}  // namespace vptest
