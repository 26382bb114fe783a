// Picture files dropped on a page's text fields, from the browser's report of
// a completed document through the registered supervisor and handler classes:
// the files reach the development service and their links come back in the
// bar's link style.
#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include "VellumpostToolbar_h.h"
#include "browser/DragAndDropHandler.h"
#include "common/SettingsStore.h"
#include "engine/FileUploader.h"
#include "engine/LinkFormat.h"
#include "tests/integration/ServiceTestBase.h"
#include "support/BrowserDoubles.h"
#include "support/BrowserStockBar.h"
#include "support/FileDropData.h"
#include "support/Pictures.h"
#include "support/Registration.h"
#include "support/UploadLoop.h"

namespace vptest {
namespace {

using Microsoft::WRL::ComPtr;

class PageDropServiceTest : public ServiceTestBase {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0u, RunRegsvr32(L"/s", ToolbarLibraryPath())); }
    void SetUp() override
    {
        ServiceTestBase::SetUp();
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        bar_ = BrowserStockBar::Make();
        bar_->pageHandlers = true;
        bar_->linkStyle = lsForum2;
    }
    void TearDown() override
    {
        bar_.Reset();
        OleUninitialize();
    }
    size_t UploadsReceived() const
    {
        size_t uploads = 0;
        const Json requests = service_.Requests();
        for (const Json& record : requests.Items())
            if (record["path"].String() == "/upload_api.php") ++uploads;
        return uploads;
    }
    ComPtr<BrowserStockBar> bar_;
};

TEST_F(PageDropServiceTest, FilesDroppedOnAFramesTextFieldsAreHostedAndTheirLinksComeInTheBarsStyle)
{
    const std::wstring beach = folder_.File(L"beach.jpg"), hills = folder_.File(L"hills.png");
    MakePicture(beach, 320, 200, Gdiplus::ImageFormatJPEG);
    MakePicture(hills, 200, 120, Gdiplus::ImageFormatPNG);

    // A page without text fields; a frame with a text area and an editable block
    // completes inside it once the browser's supervisor runs.
    BrowserPage top = BrowserPage::Create(), frame = BrowserPage::Create();
    auto topBrowser = top.ShowIn(L"http://forum.example/thread"), frameBrowser = frame.ShowIn(L"http://forum.example/reply");
    topBrowser->visible = true;
    auto textArea = BrowserElement::Create(L"textarea", BrowserElement::Type::TextArea);
    textArea->innerText = L"Look:";
    auto editable = BrowserElement::Create(L"div");
    editable->isTextEdit = true;
    frame.document->body->children = {textArea, editable};
    SettingsStore().WriteNumber(L"CheckForUpdateInterval", 0);

    // The supervisor, as the band starts it, attaches the page handlers to the
    // frame's document when the browser reports it complete.
    ComPtr<INavigatorSupervisor> supervisor;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_NavigatorSupervisor, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&supervisor)));
    ASSERT_EQ(S_OK, supervisor->Start(Query<IDispatch>(topBrowser).Get(), bar_.Get()));
    EXPECT_EQ(0, bar_->dropTargets);
    top.document->body->children.push_back(BrowserElement::CreateFrame(frameBrowser));
    ASSERT_EQ(S_OK, topBrowser->FireDocumentComplete(*frameBrowser, L"http://forum.example/reply"));
    EXPECT_EQ(1, bar_->dropTargets);

    auto drop = [&](const BrowserPtr<BrowserElement>& at, std::vector<std::wstring> files) {
        auto data = FileDropData::Make<IDataObject>(FileDropData::Kind::Files, std::move(files));
        frame.window->event = BrowserEvent::Create();
        frame.window->event->dataTransfer = BrowserDataTransfer::Create(data.Get());
        frame.document->pointed = at;
        EXPECT_EQ(S_OK, frame.document->body->Fire(L"ondrop"));
        EXPECT_EQ((ScriptValue{VT_BOOL, L"false"}), frame.window->event->returnValue);
    };
    drop(textArea, {beach, hills});
    ASSERT_TRUE(PumpUntil([&] { return !bar_->pasteData.empty(); }, 60000)) << "no links came back";
    ASSERT_EQ(2u, bar_->history.size());
    EXPECT_EQ(2u, UploadsReceived());
    const std::wstring expected = FormatLink(bar_->history[0], false, lsForum2);
    EXPECT_NE(std::wstring::npos, bar_->pasteData[0].data.find(expected)) << testing::PrintToString(bar_->pasteData[0].data);
    // Each link goes into the text area as text after what the user typed.
    EXPECT_EQ(2u, textArea->CallCount(L"put_innerText"));
    EXPECT_EQ(0u, textArea->innerText.find(L"Look:")) << testing::PrintToString(textArea->innerText);
    EXPECT_NE(std::wstring::npos, textArea->innerText.find(expected));
    EXPECT_EQ(0u, textArea->CallCount(L"put_innerHTML"));

    // An editable block that is not a text area takes files as well.
    drop(editable, {beach});
    ASSERT_TRUE(PumpUntil([&] { return bar_->pasteData.size() >= 2; }, 60000));
    EXPECT_EQ(3u, UploadsReceived());

    frame.document->Unload();
    EXPECT_EQ(0, bar_->dropTargets);
    EXPECT_EQ(S_OK, supervisor->Stop());
}

TEST_F(PageDropServiceTest, FilesDroppedOnTheSlideshowButtonBecomeASlideshowOfTheSupportedOnes)
{
    const std::wstring beach = folder_.File(L"beach.jpg"), hills = folder_.File(L"hills.png");
    const std::wstring notes = folder_.Write(L"notes.txt", "not a picture");
    MakePicture(beach, 320, 200, Gdiplus::ImageFormatJPEG);
    MakePicture(hills, 200, 120, Gdiplus::ImageFormatPNG);
    auto results = BrowserWebBrowser::Create();
    std::vector<std::wstring> refused, offered;
    FileUploaderDialogs dialogs;
    dialogs.unsupportedFiles = [&](HWND, const std::vector<std::wstring>& files) {
        refused = files;
        return true;
    };
    dialogs.resultWindow = [&](ComPtr<IUnknown>& window) {
        window = Query<IUnknown>(results);
        return S_OK;
    };
    CFileUploader::SetDialogs(dialogs);
    CDragAndDropHandler::SetUploaderFactory(&CFileUploader::CreateInstance);
    // The user puts the slides in reverse order and picks a look.
    CDragAndDropHandler::SetSlideshowDialog([&](const SlideshowDropRequest& request, SlideshowDropChoice& choice) {
        offered = request.files;
        choice.files.assign(request.files.rbegin(), request.files.rend());
        choice.format = L"320x240";
        choice.effect = L"trans2";
        choice.background = L"#336699";
        return S_OK;
    });
    struct Restore {
        ~Restore()
        {
            CFileUploader::SetDialogs(FileUploaderDialogs());
            CDragAndDropHandler::SetUploaderFactory(nullptr);
            CDragAndDropHandler::SetSlideshowDialog(nullptr);
        }
    } restore;

    auto handler = CDragAndDropHandler::Make<IDragAndDropHandler>();
    ASSERT_EQ(S_OK, handler->put_StockBar(bar_.Get()));
    ASSERT_EQ(S_OK, handler->put_SlideShow(TRUE));
    auto data = FileDropData::Make<IDataObject>(FileDropData::Kind::Files, std::vector<std::wstring>{beach, notes, hills});
    ASSERT_EQ(S_OK, handler->OnDrop(data.Get()));
    EXPECT_EQ(std::vector<std::wstring>{notes}, refused);
    EXPECT_EQ((std::vector<std::wstring>{beach, hills}), offered);

    ASSERT_TRUE(PumpUntil([&] { return !results->navigations.empty(); }, 60000)) << "no slideshow import";
    EXPECT_EQ(2u, UploadsReceived());
    const auto& import = results->navigations[0];
    EXPECT_EQ(service_.Url(L"/slideshow/import.php"), import.url);
    EXPECT_NE(std::string::npos, import.postData.find("trans2")) << import.postData;
    EXPECT_NE(std::string::npos, import.postData.find("#336699")) << import.postData;
    EXPECT_LT(import.postData.find("hills"), import.postData.find("beach")) << "slides in the chosen order";
}

}  // namespace
}  // namespace vptest
