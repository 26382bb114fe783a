// The scriptable uploader as callers get it: created through COM from the
// registered toolbar library (loaded into this process), started through its
// native entry points or from a page, with the results reaching a toolbar in
// this apartment and the files reaching the development service; and what it
// refuses to pages that are not the service's.
#include <windows.h>
#include <oleauto.h>

#include <dlgs.h>
#include <gdiplus.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VellumpostToolbar_h.h"
#include "common/Bstr.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "engine/FileUploader.h"
#include "engine/GdiplusSession.h"
#include "resources/resource.h"
#include "support/BrowserDoubles.h"
#include "support/BrowserStockBar.h"
#include "support/DevService.h"
#include "support/DialogResponder.h"
#include "support/Pictures.h"
#include "support/Registration.h"
#include "support/Sha256.h"
#include "support/TempFolder.h"
#include "support/UploadLoop.h"

namespace {

using Microsoft::WRL::ComPtr;
const DWORD kTimeoutMs = 60000;

std::string Field(const vptest::Json& request, const std::string& name)
{
    for (const vptest::Json& field : request["fields"].Items())
        if (field["name"].String() == name) return field["value"].String();
    return "<absent>";
}

const vptest::Json* FilePart(const vptest::Json& request)
{
    for (const vptest::Json& field : request["fields"].Items())
        if (field["name"].String() == "fileupload") return &field;
    return nullptr;
}

std::vector<vptest::Json> Uploads(const vptest::Json& records)
{
    std::vector<vptest::Json> uploads;
    for (const vptest::Json& record : records.Items())
        if (record["method"].String() == "POST" && record["path"].String() == "/upload_api.php")
            uploads.push_back(record);
    return uploads;
}

// Answers a dialog of this process from another thread, as a person would:
// waits for a dialog with the given title and hands it to answer, until
// answered or destroyed.
class DialogAnswerer {
public:
    DialogAnswerer(std::wstring title, std::function<void(HWND)> answer)
        : title_(std::move(title)), answer_(std::move(answer)), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = CreateThread(nullptr, 0, &DialogAnswerer::Run, this, 0, nullptr);
    }
    ~DialogAnswerer()
    {
        SetEvent(stop_);
        WaitForSingleObject(thread_, kTimeoutMs);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }
    std::atomic<bool> answered{false};

private:
    static DWORD WINAPI Run(void* self)
    {
        auto* answerer = static_cast<DialogAnswerer*>(self);
        // Polling another thread's window: there is no event to wait on.
        for (int attempt = 0; attempt < 400 && WaitForSingleObject(answerer->stop_, 50) == WAIT_TIMEOUT; ++attempt) {
            const std::vector<HWND> dialogs = vptest::OwnDialogs(answerer->title_);
            if (dialogs.empty()) continue;
            // Marked first: the answer ends the dialog, and the test reads the
            // mark as soon as its call returns, maybe before this thread goes on.
            answerer->answered = true;
            answerer->answer_(dialogs.front());
            break;
        }
        return 0;
    }
    std::wstring title_;
    std::function<void(HWND)> answer_;
    HANDLE stop_;
    HANDLE thread_;
};

// The upload file dialog: the file's name in the name field, then OK.
std::function<void(HWND)> ChooseFile(const std::wstring& path)
{
    return [path](HWND dialog) {
        // The name field is an editable combo box (or a plain edit in older dialogs).
        HWND name = GetDlgItem(dialog, cmb13);
        if (!name) name = GetDlgItem(dialog, edt1);
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    };
}

// A message box: one of its buttons.
std::function<void(HWND)> Click(int button)
{
    return [button](HWND box) { SendMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0); };
}

// A toolbar whose upload options are public pictures without a size bar.
class OptionsStockBar : public vptest::BrowserStockBar {
public:
    int optionReads = 0;
    STDMETHODIMP GetOptions(BOOL* resize, BSTR* format, BOOL* isPublic, VARIANT* removeSizeBar) override
    {
        ++optionReads;
        *resize = FALSE;
        *format = nullptr;
        *isPublic = TRUE;
        VariantInit(removeSizeBar);
        V_VT(removeSizeBar) = VT_BOOL;
        V_BOOL(removeSizeBar) = VARIANT_FALSE;
        return S_OK;
    }
};

class FileUploaderServiceTest : public testing::Test {
protected:
    // The class is found the way a browser finds it: through the registry.
    static void SetUpTestSuite()
    {
        ASSERT_EQ(0u, vptest::RunRegsvr32(L"/s", vptest::ToolbarLibraryPath()));
    }

    void SetUp() override
    {
        ASSERT_TRUE(service_.Available());
        service_.Reset();
        service_.PointToolbarHere();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        toolbar_ = new OptionsStockBar;
        uploader_ = NewUploader();
        ASSERT_NE(nullptr, uploader_.Get());
        ASSERT_EQ(S_OK, uploader_.As(&inner_));
    }

    // A new uploader from the registered class, reporting to the toolbar.
    ComPtr<IFileUploader> NewUploader()
    {
        ComPtr<IFileUploader> uploader;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FileUploader, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&uploader)));
        if (uploader) {
            EXPECT_EQ(S_OK, uploader->put_toolbar(toolbar_.Get()));
        }
        return uploader;
    }

    // Makes uploader what a page's script gets: safe for untrusted callers,
    // sited on a page at url (no site for an empty url).
    static void GiveToScript(const ComPtr<IFileUploader>& uploader, const vptest::BrowserPage& page)
    {
        ComPtr<IObjectSafety> safety;
        ASSERT_EQ(S_OK, uploader.As(&safety));
        const DWORD untrusted = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
        ASSERT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, untrusted, untrusted));
        ComPtr<IObjectWithSite> withSite;
        ASSERT_EQ(S_OK, uploader.As(&withSite));
        auto site = vptest::BrowserSite::Create(page.document);
        ASSERT_EQ(S_OK, withSite->SetSite(vptest::Query<IUnknown>(site).Get()));
    }

    void TearDown() override
    {
        inner_.Reset();
        uploader_.Reset();
        toolbar_.Reset();
        CoUninitialize();
    }

    // Serves the toolbar's calls until count uploads have handed over their links.
    bool WaitForLinks(size_t count = 1)
    {
        return vptest::PumpUntil([&] { return toolbar_->pasteData.size() >= count; }, kTimeoutMs);
    }

    GdiplusSession gdiplus_;
    vptest::DevService service_;
    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
    ComPtr<IFileUploader> uploader_;
    ComPtr<IInnerFileUploader> inner_;
    ComPtr<OptionsStockBar> toolbar_;
};

TEST_F(FileUploaderServiceTest, UploadFilesThroughTheRegisteredClassReachesTheServiceAndTheToolbar)
{
    std::wstring picture = folder_.File(L"registered.png");
    vptest::MakePicture(picture, 90, 60, Gdiplus::ImageFormatPNG);
    auto page = vptest::BrowserPage::Create();
    ASSERT_EQ(S_OK, uploader_->put_destination(vptest::Query<IUnknown>(page.document).Get()));
    ASSERT_EQ(S_OK, uploader_->put_Action(static_cast<ActionStatisticsEnum>(asUpload + asFromBrowser)));
    Bstr cookie(L"user=7");
    ASSERT_EQ(S_OK, uploader_->put_cookie(cookie.Get()));

    Variant item(picture.c_str()), none, tags(L"from com");
    EXPECT_EQ(S_OK, inner_->UploadFiles(*item.Get(), *none.Get(), *none.Get(), *tags.Get(), *none.Get()));
    ComPtr<IUnknown> destination;
    EXPECT_EQ(S_OK, uploader_->get_destination(&destination));
    EXPECT_EQ(nullptr, destination.Get()) << "the upload took the destination along";

    ASSERT_TRUE(WaitForLinks()) << "the toolbar got no links";
    ASSERT_EQ(1u, toolbar_->history.size());
    ASSERT_TRUE(toolbar_->history[0].imageLink.has_value());
    EXPECT_NE(std::wstring::npos, toolbar_->pasteData[0].data.find(L"registered.png"));
    for (DWORD thread : toolbar_->callThreads) EXPECT_EQ(GetCurrentThreadId(), thread) << "calls come in this apartment";

    std::vector<vptest::Json> uploads = Uploads(service_.Requests());
    ASSERT_EQ(1u, uploads.size());
    EXPECT_EQ("upload", Field(uploads[0], "statistics_operation"));
    EXPECT_EQ("browser", Field(uploads[0], "statistics_source"));
    EXPECT_EQ("user=7", Field(uploads[0], "cookie"));
    EXPECT_EQ("from com", Field(uploads[0], "tags"));
    const vptest::Json* part = FilePart(uploads[0]);
    ASSERT_NE(nullptr, part);
    EXPECT_EQ(vptest::Sha256Hex(vptest::ReadFileBytes(picture)), (*part)["sha256"].String());
}

TEST_F(FileUploaderServiceTest, AServicePageGetsAScreenshotOnlyWithTheUsersYesAndAForeignPageNothing)
{
    auto page = vptest::BrowserPage::Create();
    GiveToScript(uploader_, page);
    const std::wstring question = LoadModuleString(IDS_PRODUCT_NAME);

    page.document->url = L"http://vellumpost.com.evil.net/steal.html";
    // The page gives its document as destination, so no browser window is opened.
    EXPECT_EQ(E_ACCESSDENIED, uploader_->put_destination(vptest::Query<IUnknown>(page.document).Get()));
    EXPECT_EQ(E_ACCESSDENIED, uploader_->TakeScreenShot());

    page.document->url = service_.Url(L"/toolbar/page.html");
    ASSERT_EQ(S_OK, uploader_->put_destination(vptest::Query<IUnknown>(page.document).Get()));
    {
        DialogAnswerer user(question, Click(IDNO));
        EXPECT_EQ(S_FALSE, uploader_->TakeScreenShot());
        EXPECT_TRUE(user.answered) << "the user was asked";
    }
    EXPECT_TRUE(Uploads(service_.Requests()).empty()) << "nothing left the machine";
    {
        DialogAnswerer user(question, Click(IDYES));
        EXPECT_EQ(S_OK, uploader_->TakeScreenShot());
        EXPECT_TRUE(user.answered);
    }
    ASSERT_TRUE(WaitForLinks());
    std::vector<vptest::Json> uploads = Uploads(service_.Requests());
    ASSERT_EQ(1u, uploads.size());
    EXPECT_EQ("screenshot", Field(uploads[0], "statistics_operation"));
    EXPECT_EQ(1, toolbar_->optionReads);
    EXPECT_EQ("yes", Field(uploads[0], "public"));
    EXPECT_EQ("<absent>", Field(uploads[0], "rembar")) << "the toolbar's size-bar choice";
    const vptest::Json* part = FilePart(uploads[0]);
    ASSERT_NE(nullptr, part);
    const std::string type = (*part)["content_type"].String();
    EXPECT_TRUE(type == "image/png" || type == "image/jpeg") << type;

    // The toolbar's own button is not a page: nobody is asked.
    ComPtr<IFileUploader> native = NewUploader();
    ASSERT_EQ(S_OK, native->put_destination(vptest::Query<IUnknown>(page.document).Get()));
    {
        DialogAnswerer user(question, Click(IDNO));
        EXPECT_EQ(S_OK, native->TakeScreenShot());
        EXPECT_FALSE(user.answered);
    }
    ASSERT_TRUE(WaitForLinks(2));
    EXPECT_EQ(2u, Uploads(service_.Requests()).size());
}

TEST_F(FileUploaderServiceTest, ForeignPagesAndScriptObjectsWithoutAPageSendAndLearnNothing)
{
    std::wstring picture = folder_.File(L"private.png");
    vptest::MakePicture(picture, 32, 24, Gdiplus::ImageFormatPNG);
    Variant item(picture.c_str()), none;
    Bstr planted(L"planted=1");
    auto expectRefused = [&](const std::wstring& who) {
        EXPECT_EQ(E_ACCESSDENIED, inner_->UploadFiles(*item.Get(), *none.Get(), *none.Get(), *none.Get(), *none.Get()))
            << testing::PrintToString(who);
        EXPECT_EQ(E_ACCESSDENIED, uploader_->put_cookie(planted.Get())) << testing::PrintToString(who);
        ComPtr<IStockBar> toolbar;
        EXPECT_EQ(E_ACCESSDENIED, uploader_->get_toolbar(&toolbar)) << testing::PrintToString(who);
    };

    auto page = vptest::BrowserPage::Create();
    GiveToScript(uploader_, page);
    using namespace std::string_literals;
    // The development service's own address, cut short by a NUL for a C string reader.
    for (const std::wstring& url : {service_.Url(L"") + L"\0.evil.net/"s, L"http://load1.vellumpost.com/up.html"s,
                                    L"http://video.vellumpost.com/"s}) {
        page.document->url = url;
        expectRefused(url);
    }

    // The forced server counts only when it names this machine: any program,
    // even a sandboxed one, can write the setting.
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
    const std::wstring outside = L"evil.test:" + std::to_wstring(service_.Port());
    SettingsStore::WriteText(key, L"ForceServer", outside);
    page.document->url = L"http://" + outside + L"/page.html";
    EXPECT_EQ(E_ACCESSDENIED, uploader_->put_cookie(planted.Get()));
    service_.PointToolbarHere();

    // Script that keeps the object after its page is gone has no page to show.
    ComPtr<IObjectWithSite> withSite;
    ASSERT_EQ(S_OK, uploader_.As(&withSite));
    ASSERT_EQ(S_OK, withSite->SetSite(nullptr));
    expectRefused(L"no page");

    EXPECT_TRUE(Uploads(service_.Requests()).empty()) << "nothing left the machine";
}

TEST_F(FileUploaderServiceTest, TheUploadDialogsChoiceIsUploadedAsAnUploadWhateverActionWasSet)
{
    std::wstring picture = folder_.File(L"chosen.png");
    vptest::MakePicture(picture, 64, 48, Gdiplus::ImageFormatPNG);
    auto page = vptest::BrowserPage::Create();
    ASSERT_EQ(S_OK, uploader_->put_destination(vptest::Query<IUnknown>(page.document).Get()));
    ASSERT_EQ(S_OK, uploader_->put_Action(static_cast<ActionStatisticsEnum>(21)));
    {
        DialogAnswerer answerer(LoadModuleString(IDS_FILE_DIALOG_TITLE), ChooseFile(picture));
        EXPECT_EQ(S_OK, uploader_->OpenUploadDialog());
        EXPECT_TRUE(answerer.answered);
    }
    ASSERT_TRUE(WaitForLinks());
    std::vector<vptest::Json> uploads = Uploads(service_.Requests());
    ASSERT_EQ(1u, uploads.size());
    // 21 would have read "screenshot" from the "toolbar".
    EXPECT_EQ("upload", Field(uploads[0], "statistics_operation"));
    EXPECT_EQ("unknown", Field(uploads[0], "statistics_source"));
    const vptest::Json* part = FilePart(uploads[0]);
    ASSERT_NE(nullptr, part);
    EXPECT_EQ(vptest::Sha256Hex(vptest::ReadFileBytes(picture)), (*part)["sha256"].String());
}

TEST_F(FileUploaderServiceTest, TheScriptInterfaceOfTheRegisteredClassIsMarkedSafe)
{
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(S_OK, uploader_.As(&safety));
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
    EXPECT_EQ(static_cast<DWORD>(INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA), supported);
    CLSID byProgId = GUID_NULL;
    EXPECT_EQ(S_OK, CLSIDFromProgID(L"VellumpostToolbar.ImageUploader", &byProgId));
    EXPECT_TRUE(IsEqualCLSID(CLSID_FileUploader, byProgId));
    EXPECT_EQ(S_OK, CLSIDFromProgID(L"VellumpostToolbar.FileUploader.1", &byProgId));
    EXPECT_TRUE(IsEqualCLSID(CLSID_FileUploader, byProgId));
}

}  // namespace
