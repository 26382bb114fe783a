// The right-click commands against the development service, with a sited
// band as the active bar: a page picture that is
// already on the service is transloaded by its address, and a file chosen in
// Explorer is uploaded; both hand their links to the toolbar.
#include <windows.h>

#include <gtest/gtest.h>

#include "browser/BandFixture.h"
#include "browser/ImageContextMenu.h"
#include "common/Bstr.h"
#include "common/TextConvert.h"
#include "engine/FileUploader.h"
#include "engine/GdiplusSession.h"
#include "engine/TransloadStrategy.h"
#include "support/ClipboardText.h"
#include "support/DevService.h"
#include "support/Pictures.h"
#include "support/Registration.h"
#include "support/TempFolder.h"
#include "tests/browser/ContextMenuSupport.h"
#include "tests/engine/StrategyArgs.h"
#include "tests/integration/StrategyRun.h"

namespace vptest {
namespace {

class ImageContextMenuServiceTest : public BandTest {
protected:
    void SetUp() override
    {
        BandTest::SetUp();
        ASSERT_EQ(0u, RunRegsvr32(L"/s", ToolbarLibraryPath()));
        ASSERT_TRUE(service.Available());
        service.Reset();
        service.PointToolbarHere();
        // The results page goes to the frame's browser double.
        FileUploaderDialogs dialogs;
        dialogs.resultWindow = [this](Microsoft::WRL::ComPtr<IUnknown>& result) {
            result = Query<IUnknown>(browser_);
            return result ? S_OK : E_NOINTERFACE;
        };
        InstallFileUploaderDialogs(dialogs);
        // The uploader of this module: the band takes history records only from its own module.
        CImageContextMenu::SetUploaderFactory([](IFileUploader** uploader) {
            return CFileUploader::CreateInstance(IID_PPV_ARGS(uploader));
        });
    }
    void TearDown() override
    {
        InstallFileUploaderDialogs(FileUploaderDialogs());
        CImageContextMenu::SetUploaderFactory(nullptr);
        BandTest::TearDown();
    }

    // Serves the band and the upload threads until the toolbar holds count links.
    bool WaitForHistory(CVPToolbar& toolbar, size_t count)
    {
        const ULONGLONG end = GetTickCount64() + 60000;
        while (toolbar.History().size() < count && GetTickCount64() < end) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            PumpMessages();
        }
        return toolbar.History().size() >= count;
    }

    // Puts a new picture at path on the service; its address there (empty
    // when the upload failed). The service's record starts afresh.
    std::wstring HostedPicture(const std::wstring& path)
    {
        MakePicture(path, 240, 160, Gdiplus::ImageFormatPNG);
        StrategyRecord stored;
        RunStrategy(
            [&]() -> CUploadStrategy* {
                auto* strategy = new CTransloadStrategy;
                Variant item(FileUrl(path).c_str()), none;
                EXPECT_EQ(0, strategy->Initialize(*item.Get(), *none.Get(), *none.Get(), *none.Get()));
                return strategy;
            },
            {}, stored);
        service.Reset();
        if (stored.items.size() != 1 || !stored.items[0].imageLink) return std::wstring();
        return service.Url(LinkPath(*stored.items[0].imageLink));
    }

    GdiplusSession gdiplus;
    DevService service;
    TempFolder folder{TempFolder::OutsideTemporaryFolder};
};

TEST_F(ImageContextMenuServiceTest, ServicePictureGoesByAddressAndExplorerFileAsAFile)
{
    // A picture the service already holds.
    const std::wstring path = folder.File(L"harbour.png");
    const std::wstring address = HostedPicture(path);
    ASSERT_FALSE(address.empty());

    auto band = SitedBand();
    ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    const size_t before = toolbar.History().size();  // the history kept in the settings
    BrowserPage page = BrowserPage::Create();
    page.document->url = L"http://example.com/harbour.html";
    page.window->event = BrowserEvent::Create(BrowserPicture::Create(address, 240, 160), 10, 10);
    Microsoft::WRL::ComPtr<IImageContextMenu> menu = CImageContextMenu::Make<IImageContextMenu>();
    ASSERT_EQ(S_OK, menu->UploadImage(Query<IDispatch>(page.window).Get()));
    ASSERT_TRUE(WaitForHistory(toolbar, before + 1));
    std::vector<Json> uploads = UploadRecords(service.Requests());
    ASSERT_EQ(1u, uploads.size());
    EXPECT_EQ(Narrow(address), RecordText(uploads[0], "url"));
    EXPECT_EQ(0u, page.document->body->CallCount(L"createControlRange")) << "a service picture is never copied";

    // Explorer: the selected file itself goes up.
    service.Reset();
    Microsoft::WRL::ComPtr<IShellExtInit> init = CImageContextMenu::Make<IShellExtInit>();
    ASSERT_EQ(S_OK, init->Initialize(nullptr, DropData({path}).Get(), nullptr));
    Microsoft::WRL::ComPtr<IContextMenu> explorer;
    ASSERT_EQ(S_OK, init.As(&explorer));
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(CImageContextMenu::kUpload);
    ASSERT_EQ(S_OK, explorer->InvokeCommand(&info));
    ASSERT_TRUE(WaitForHistory(toolbar, before + 2));
    uploads = UploadRecords(service.Requests());
    ASSERT_EQ(1u, uploads.size());
    const Json* file = RecordField(uploads[0], "fileupload");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ("harbour.png", (*file)["filename"].String());
}

TEST_F(ImageContextMenuServiceTest, UploadAllImagesSendsEachPictureWithItsPermissionAndKeepsTheClipboard)
{
    // A picture the service holds already, to be transloaded by its address.
    const std::wstring hosted = HostedPicture(folder.File(L"harbour.png"));
    ASSERT_FALSE(hosted.empty());

    auto band = SitedBand();
    ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    const size_t before = toolbar.History().size();
    BrowserPage page = BrowserPage::Create();
    page.document->url = L"http://example.com/album.html";
    page.document->images = {BrowserPicture::Create(L"http://example.com/beach.jpg", 120, 90),
                             BrowserPicture::Create(hosted, 240, 160)};
    // The user keeps both pictures, asks for individual tags and marks both
    // private; then, for a slideshow, only the second.
    std::vector<bool> permissions{false, false};
    bool slideshow = false;
    ContextMenuDialogs menuDialogs;
    menuDialogs.uploadImages = [&](const UploadImagesRequest& request, UploadImagesChoice& choice) {
        choice.addresses = request.addresses;
        choice.askTags = true;
        choice.slideshow = slideshow;
        choice.effect = L"trans1";
        return S_OK;
    };
    InstallContextMenuDialogs(menuDialogs);
    FileUploaderDialogs dialogs = InstalledFileUploaderDialogs();
    dialogs.tags = [&](HWND, const std::vector<std::wstring>& files, const std::wstring&, bool,
                       TagsDialogChoice& choice) {
        choice.tags.assign(files.size(), L"album");
        choice.publicFlags = permissions;
        return S_OK;
    };
    InstallFileUploaderDialogs(dialogs);
    struct Restore {
        ~Restore() { InstallContextMenuDialogs(ContextMenuDialogs()); }
    } restore;
    ASSERT_TRUE(PutClipboardText(frame_, L"the user's own words"));
    Microsoft::WRL::ComPtr<IImageContextMenu> menu = CImageContextMenu::Make<IImageContextMenu>();

    ASSERT_EQ(S_OK, menu->UploadAllImages(Query<IDispatch>(page.window).Get()));
    EXPECT_EQ(L"the user's own words", ClipboardText()) << "the picture copies leave the user's clipboard as it was";
    ASSERT_TRUE(WaitForHistory(toolbar, before + 2));
    std::vector<Json> uploads = UploadRecords(service.Requests());
    ASSERT_EQ(2u, uploads.size());
    for (const Json& upload : uploads) {
        EXPECT_EQ("no", RecordText(upload, "public")) << "a picture marked private goes up private";
        EXPECT_EQ("album", RecordText(upload, "tags"));
    }
    EXPECT_NE(nullptr, RecordField(uploads[0], "fileupload")) << "the page's picture goes as a local copy";
    EXPECT_EQ(Narrow(hosted), RecordText(uploads[1], "url"));

    // A slideshow with a private picture in it is private too.
    service.Reset();
    slideshow = true;
    permissions = {true, false};
    ASSERT_EQ(S_OK, menu->UploadAllImages(Query<IDispatch>(page.window).Get()));
    const std::wstring importPage = service.Url(L"/slideshow/import.php");
    auto imported = [&] { return !browser_->navigations.empty() && browser_->navigations.back().url == importPage; };
    const ULONGLONG end = GetTickCount64() + 60000;
    while (!imported() && GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        PumpMessages();
    }
    ASSERT_TRUE(imported()) << "no slideshow import";
    uploads = UploadRecords(service.Requests());
    ASSERT_FALSE(uploads.empty());
    for (const Json& upload : uploads)
        EXPECT_EQ(RecordField(upload, "fileupload") ? "yes" : "no", RecordText(upload, "public"));
    EXPECT_EQ("no", FormField(browser_->navigations.back().postData, "public"));
    EXPECT_EQ(L"the user's own words", ClipboardText());
}

TEST_F(ImageContextMenuServiceTest, AnotherThreadReachesTheActiveBarOnlyThroughAProxy)
{
    auto band = SitedBand();
    struct Call {
        bool sameObject = true;
        HRESULT hr = E_PENDING;
        IStockBar* active = nullptr;
    } call;
    call.active = CStockBar::ActiveBar().Get();
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* param) -> DWORD {
            auto& call = *static_cast<Call*>(param);
            if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
            {
                Microsoft::WRL::ComPtr<IStockBar> bar = CStockBar::ActiveBarForThisThread();
                call.sameObject = bar.Get() == call.active;
                BOOL resize = FALSE, isPublic = FALSE;
                Bstr format;
                Variant removeSizeBar;
                call.hr = bar ? bar->GetOptions(&resize, format.Out(), &isPublic, removeSizeBar.Out()) : E_POINTER;
            }
            CoUninitialize();
            return 0;
        },
        &call, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    // The band's thread serves the call while it waits.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) PumpMessages();
    CloseHandle(thread);
    EXPECT_EQ(S_OK, call.hr);
    EXPECT_FALSE(call.sameObject) << "the band's own pointer crossed to another apartment";
}

}  // namespace
}  // namespace vptest
