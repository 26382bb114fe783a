// The scriptable uploader without the network: which callers may drive it
// (pages, script-made objects without a page), how a page of the service
// shapes the upload dialog and asks before a screenshot, how the entry points
// refuse bad arguments, and what the script methods hand on.
#include <windows.h>
#include <mshtml.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Bstr.h"
#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/Variant.h"
#include "engine/FileUploadStrategy.h"
#include "engine/FileUploader.h"
#include "resources/resource.h"
#include "support/BrowserDoubles.h"
#include "support/TempFolder.h"

namespace {

using Microsoft::WRL::ComPtr;
using namespace std::string_literals;

// --- the object --------------------------------------------------------------------------

// What the fake windows were asked, and how they answer.
struct DialogRecord {
    int uploadCalls = 0;
    int slideshowCalls = 0;
    int tagsCalls = 0;
    int orderCalls = 0;
    int warningCalls = 0;
    UploadDialogRequest uploadRequest;
    HRESULT uploadAnswer = S_FALSE;
    UploadDialogChoice uploadChoice;
    HRESULT slideshowAnswer = S_FALSE;
    SlideshowDialogChoice slideshowChoice;
    HRESULT tagsAnswer = S_OK;
    std::vector<std::wstring> screenShotHosts;  // the hosts the screenshot question named
    HRESULT orderAnswer = S_OK;
    bool warningAnswer = true;
    std::vector<std::wstring> warned;
};

class FileUploaderTest : public testing::Test {
protected:
    void SetUp() override
    {
        FileUploaderDialogs dialogs;
        dialogs.uploadFiles = [this](const UploadDialogRequest& request, UploadDialogChoice& choice) {
            ++record_.uploadCalls;
            record_.uploadRequest = request;
            if (record_.uploadAnswer == S_OK) choice = record_.uploadChoice;
            return record_.uploadAnswer;
        };
        dialogs.slideshowFiles = [this](const SlideshowDialogRequest&, SlideshowDialogChoice& choice) {
            ++record_.slideshowCalls;
            if (record_.slideshowAnswer == S_OK) choice = record_.slideshowChoice;
            return record_.slideshowAnswer;
        };
        dialogs.tags = [this](HWND, const std::vector<std::wstring>&, const std::wstring&, bool, TagsDialogChoice&) {
            ++record_.tagsCalls;
            return record_.tagsAnswer;
        };
        dialogs.slideOrder = [this](HWND, std::vector<std::wstring>&) {
            ++record_.orderCalls;
            return record_.orderAnswer;
        };
        dialogs.unsupportedFiles = [this](HWND, const std::vector<std::wstring>& files) {
            ++record_.warningCalls;
            record_.warned = files;
            return record_.warningAnswer;
        };
        dialogs.resultWindow = [](ComPtr<IUnknown>&) {
            ADD_FAILURE() << "a result window was opened";
            return E_FAIL;
        };
        dialogs.confirmScreenShot = [this](HWND, const std::wstring& host) {
            record_.screenShotHosts.push_back(host);
            return false;
        };
        CFileUploader::SetDialogs(dialogs);
        CFileUploadStrategy::SetRejectedFilesPrompt([](const std::vector<std::wstring>&) { return false; });
    }

    void TearDown() override
    {
        CFileUploader::SetDialogs(FileUploaderDialogs());
        CFileUploadStrategy::SetRejectedFilesPrompt(nullptr);
    }

    void TurnLogOn()
    {
        RegKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
        const DWORD on = 1;
        RegSetValueExW(key, L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
        logPath_ = LogWriter("probe").Path();
        logStart_ = vptest::ReadFileBytes(logPath_).size();
    }
    std::string NewLog() const
    {
        std::string log = vptest::ReadFileBytes(logPath_);
        return log.size() > logStart_ ? log.substr(logStart_) : std::string();
    }

    // An uploader created by script on a page at url, made safe for
    // untrusted callers as a browser does.
    ComPtr<CFileUploader> OnPage(const std::wstring& url)
    {
        page_.document->url = url;
        ComPtr<CFileUploader> uploader = CFileUploader::Make();
        const DWORD untrusted = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
        EXPECT_EQ(S_OK, uploader->SetInterfaceSafetyOptions(IID_IDispatch, untrusted, untrusted));
        EXPECT_EQ(S_OK, uploader->SetSite(vptest::Query<IUnknown>(site_).Get()));
        return uploader;
    }

    static VARIANT Text(const wchar_t* text)
    {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
        return v;
    }

    DialogRecord record_;
    vptest::BrowserPage page_ = vptest::BrowserPage::Create();
    vptest::BrowserPtr<vptest::BrowserSite> site_ = vptest::BrowserSite::Create(page_.document);
    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
    std::wstring logPath_;
    size_t logStart_ = 0;
};

TEST_F(FileUploaderTest, APageOutsideTheServiceIsRefusedEveryScriptMethodAndLogged)
{
    TurnLogOn();
    ComPtr<CFileUploader> uploader = OnPage(L"http://vellumpost.com.evil.net/grab.html");
    EXPECT_EQ(E_ACCESSDENIED, uploader->TakeScreenShot());
    EXPECT_EQ(E_ACCESSDENIED, uploader->OpenUploadDialog());
    EXPECT_EQ(E_ACCESSDENIED, uploader->OpenSlideShowDialog());
    Variant item(L"C:\\secret.jpg");
    Variant none;
    EXPECT_EQ(E_ACCESSDENIED, uploader->UploadFiles(*item.Get(), *none.Get(), *none.Get(), *none.Get(), *none.Get()));
    EXPECT_EQ(0, record_.uploadCalls);
    EXPECT_EQ(0, record_.slideshowCalls);
    EXPECT_FALSE(uploader->HasPendingStrategy());

    // Through the script interface the page gets the refusal as an exception.
    ComPtr<IDispatch> script;
    ASSERT_EQ(S_OK, uploader.As(&script));
    LPOLESTR name = const_cast<LPOLESTR>(L"TakeScreenShot");
    DISPID id = 0;
    ASSERT_EQ(S_OK, script->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    DISPPARAMS noArguments = {};
    EXCEPINFO exception = {};
    EXPECT_EQ(DISP_E_EXCEPTION, script->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &noArguments,
                                               nullptr, &exception, nullptr));
    EXPECT_EQ(E_ACCESSDENIED, exception.scode);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);

    std::string log = NewLog();
    EXPECT_NE(std::string::npos,
              log.find("CFileUploader\t- TakeScreenShot refused for the page http://vellumpost.com.evil.net/grab.html"))
        << log;
    EXPECT_NE(std::string::npos, log.find("OpenUploadDialog refused")) << log;
    EXPECT_NE(std::string::npos, log.find("OpenSlideShowDialog refused")) << log;
}

TEST_F(FileUploaderTest, LookAlikeHostsContentHostsAndPagesWithoutAddressAreRefused)
{
    for (const std::wstring& url : {L"http://badvellumpost.com/"s, L"https://vellumpost.com.evil.net/"s, L""s,
                                    L"http://vellumpost.com\0.evil.net/"s, L"http://load2.vellumpost.com/x.html"s}) {
        ComPtr<CFileUploader> uploader = OnPage(url);
        EXPECT_EQ(E_ACCESSDENIED, uploader->OpenUploadDialog()) << testing::PrintToString(url);
    }
    page_.document->FailCall(L"get_URL", E_FAIL);
    EXPECT_EQ(E_ACCESSDENIED, OnPage(L"http://www.vellumpost.com/")->OpenUploadDialog());
    EXPECT_EQ(0, record_.uploadCalls);
}

TEST_F(FileUploaderTest, AServicePageIsServedAndTheOriginIsCheckedAgainAtEveryCall)
{
    ComPtr<CFileUploader> uploader = OnPage(L"https://my.vellumpost.com/upload.php");
    EXPECT_EQ(S_FALSE, uploader->OpenUploadDialog()) << "the user canceled";
    EXPECT_EQ(S_FALSE, uploader->OpenSlideShowDialog());
    EXPECT_EQ(1, record_.uploadCalls);
    EXPECT_EQ(1, record_.slideshowCalls);

    // The page navigated away; the object is still alive in the new page's hands.
    page_.document->url = L"http://evil.net/";
    EXPECT_EQ(E_ACCESSDENIED, uploader->OpenUploadDialog());
    EXPECT_EQ(E_ACCESSDENIED, uploader->TakeScreenShot());
    EXPECT_EQ(1, record_.uploadCalls);

    // Taking the site away leaves script holding an object of no page.
    page_.document->url = L"https://my.vellumpost.com/upload.php";
    EXPECT_EQ(S_OK, uploader->SetSite(nullptr));
    EXPECT_EQ(E_ACCESSDENIED, uploader->OpenUploadDialog());
    EXPECT_EQ(1, record_.uploadCalls);
}

TEST_F(FileUploaderTest, OnlyObjectsNeverMadeSafeForScriptServeCallersWithoutAPage)
{
    // Native callers (the toolbar, the menus) never ask for script safety.
    ComPtr<CFileUploader> native = CFileUploader::Make();
    EXPECT_EQ(S_FALSE, native->OpenUploadDialog());
    EXPECT_EQ(1, record_.uploadCalls);

    // Asking once is enough: switching the option off again changes nothing.
    ComPtr<CFileUploader> scripted = CFileUploader::Make();
    ASSERT_EQ(S_OK, scripted->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                         INTERFACESAFE_FOR_UNTRUSTED_CALLER));
    ASSERT_EQ(S_OK, scripted->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER, 0));
    EXPECT_EQ(E_ACCESSDENIED, scripted->OpenUploadDialog());
    EXPECT_EQ(E_ACCESSDENIED, scripted->TakeScreenShot());
    Variant item(L"C:\\a.jpg");
    Variant none;
    EXPECT_EQ(E_ACCESSDENIED, scripted->UploadQueue(*item.Get(), *none.Get(), *none.Get(), *none.Get(), *none.Get()));
    EXPECT_EQ(1, record_.uploadCalls);
    EXPECT_TRUE(record_.screenShotHosts.empty());
}

TEST_F(FileUploaderTest, AForeignPageCanNeitherReadNorPlantTheObjectsState)
{
    ComPtr<CFileUploader> uploader = OnPage(L"http://evil.net/");
    Bstr cookie(L"planted=1");
    EXPECT_EQ(E_ACCESSDENIED, uploader->put_cookie(cookie.Get()));
    EXPECT_EQ(E_ACCESSDENIED, uploader->put_Action(asScreenshot));
    EXPECT_EQ(E_ACCESSDENIED, uploader->put_CallerHWND(0));
    EXPECT_EQ(E_ACCESSDENIED, uploader->put_destination(vptest::Query<IUnknown>(page_.document).Get()));
    EXPECT_EQ(E_ACCESSDENIED, uploader->put_progress(nullptr));
    EXPECT_EQ(E_ACCESSDENIED, uploader->put_caller(nullptr));
    EXPECT_EQ(E_ACCESSDENIED, uploader->put_toolbar(nullptr));
    Bstr read;
    EXPECT_EQ(E_ACCESSDENIED, uploader->get_cookie(read.Out()));
    ComPtr<IUnknown> destination;
    EXPECT_EQ(E_ACCESSDENIED, uploader->get_destination(&destination));
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(E_ACCESSDENIED, uploader->get_progress(&dispatch));
    EXPECT_EQ(E_ACCESSDENIED, uploader->get_caller(&dispatch));
    ComPtr<IStockBar> toolbar;
    EXPECT_EQ(E_ACCESSDENIED, uploader->get_toolbar(&toolbar));

    // Through the script interface as well; and nothing was kept.
    ComPtr<IDispatch> script;
    ASSERT_EQ(S_OK, uploader.As(&script));
    LPOLESTR name = const_cast<LPOLESTR>(L"cookie");
    DISPID id = 0;
    ASSERT_EQ(S_OK, script->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    Variant value;
    DISPPARAMS none = {};
    EXPECT_EQ(DISP_E_EXCEPTION, script->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                               value.Out(), nullptr, nullptr));
    page_.document->url = L"http://www.vellumpost.com/";
    EXPECT_EQ(S_OK, uploader->get_cookie(read.Out()));
    EXPECT_EQ(nullptr, read.Get());
    EXPECT_EQ(0, uploader->Action());
}

TEST_F(FileUploaderTest, AServicePageGetsAScreenshotOnlyWhenTheUserSaysYes)
{
    ComPtr<CFileUploader> uploader = OnPage(L"https://www.vellumpost.com:8443/shot.html");
    EXPECT_EQ(S_FALSE, uploader->TakeScreenShot()) << "the user said no";
    EXPECT_EQ(std::vector<std::wstring>{L"www.vellumpost.com"}, record_.screenShotHosts);
    EXPECT_EQ(0, uploader->Action()) << "nothing was captured or started";
    EXPECT_FALSE(uploader->HasPendingStrategy());
}

TEST_F(FileUploaderTest, TheForcedServerCountsAsTheService)
{
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
    const wchar_t host[] = L"127.0.0.1:8123";
    RegSetValueExW(key, L"ForceServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(host), sizeof(host));
    EXPECT_EQ(S_FALSE, OnPage(L"http://127.0.0.1:8123/page.html")->OpenUploadDialog());
    EXPECT_EQ(E_ACCESSDENIED, OnPage(L"http://127.0.0.1:9999/page.html")->OpenUploadDialog());
    EXPECT_EQ(1, record_.uploadCalls);
}

TEST_F(FileUploaderTest, ThePagesChoicesShapeTheDialogAndTheMethodSetsTheUploadAction)
{
    page_.window->AddFunction(L"uploadIsImageAllowed")->answers.push_back(vptest::ScriptAnswer::Bool(false));
    page_.window->AddFunction(L"uploadIsVideoAllowed")->answers.push_back(vptest::ScriptAnswer::Bool(true));
    page_.window->AddFunction(L"uploadIsMultiUploadAllowed")->answers.push_back(vptest::ScriptAnswer::Bool(false));
    auto cookie = vptest::BrowserElement::Create(L"input", vptest::BrowserElement::Type::HiddenInput);
    cookie->id = L"id_magic_vellumpost_cookie";
    cookie->value = L"session=42";
    page_.document->AddElement(cookie);

    ComPtr<CFileUploader> uploader = OnPage(L"http://www.vellumpost.com/upload.php");
    ASSERT_EQ(S_OK, uploader->put_destination(vptest::Query<IUnknown>(page_.document).Get()));
    ASSERT_EQ(S_OK, uploader->put_Action(static_cast<ActionStatisticsEnum>(21)));
    // The chosen file is not one the service takes, so nothing is sent.
    record_.uploadAnswer = S_OK;
    record_.uploadChoice.files = {folder_.Write(L"notes.txt", "text")};
    EXPECT_EQ(S_OK, uploader->OpenUploadDialog());

    EXPECT_EQ(static_cast<UINT>(IDS_FILTER_VIDEOS), record_.uploadRequest.filterId);
    EXPECT_FALSE(record_.uploadRequest.multiSelect);
    EXPECT_EQ(asUpload, uploader->Action());
    EXPECT_FALSE(uploader->HasPendingStrategy());
    Bstr taken;
    ASSERT_EQ(S_OK, uploader->get_cookie(taken.Out()));
    EXPECT_STREQ(L"session=42", taken.Text());
}

TEST_F(FileUploaderTest, BothOrNeitherKindAllowedOffersEveryFileType)
{
    page_.window->AddFunction(L"uploadIsImageAllowed")->answers.push_back(vptest::ScriptAnswer::Bool(false));
    page_.window->AddFunction(L"uploadIsVideoAllowed")->answers.push_back(vptest::ScriptAnswer::Bool(false));
    ComPtr<CFileUploader> uploader = OnPage(L"http://www.vellumpost.com/upload.php");
    ASSERT_EQ(S_OK, uploader->put_destination(vptest::Query<IUnknown>(page_.document).Get()));
    EXPECT_EQ(S_FALSE, uploader->OpenUploadDialog());
    EXPECT_EQ(0u, record_.uploadRequest.filterId);
}

TEST_F(FileUploaderTest, CanceledTagsOrOrderDialogsUploadNothing)
{
    ComPtr<CFileUploader> uploader = CFileUploader::Make();
    ASSERT_EQ(S_OK, uploader->put_destination(vptest::Query<IUnknown>(page_.document).Get()));
    ASSERT_EQ(S_OK, uploader->put_Action(asDragAndDrop));
    record_.uploadAnswer = S_OK;
    record_.uploadChoice.files = {L"C:\\a.jpg", L"C:\\b.jpg"};
    record_.uploadChoice.individualTags = true;
    record_.tagsAnswer = S_FALSE;
    EXPECT_EQ(S_FALSE, uploader->OpenUploadDialog());
    EXPECT_EQ(1, record_.tagsCalls);
    EXPECT_EQ(asDragAndDrop, uploader->Action()) << "nothing was started";

    record_.slideshowAnswer = S_OK;
    record_.slideshowChoice.files = {L"C:\\a.jpg", L"C:\\b.png"};
    record_.orderAnswer = S_FALSE;
    EXPECT_EQ(S_FALSE, uploader->OpenSlideShowDialog());
    EXPECT_EQ(1, record_.orderCalls);
    EXPECT_EQ(asDragAndDrop, uploader->Action());
}

TEST_F(FileUploaderTest, UnsupportedSlideshowFilesAreNamedAndADeclinedWarningEndsQuietly)
{
    ComPtr<CFileUploader> uploader = CFileUploader::Make();
    ASSERT_EQ(S_OK, uploader->put_destination(vptest::Query<IUnknown>(page_.document).Get()));
    record_.slideshowAnswer = S_OK;
    record_.slideshowChoice.files = {L"C:\\a.jpg", L"C:\\movie.avi", L"C:\\clip.swf"};
    record_.warningAnswer = false;
    EXPECT_EQ(S_OK, uploader->OpenSlideShowDialog());
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\movie.avi", L"C:\\clip.swf"}), record_.warned);
    EXPECT_EQ(0, record_.orderCalls);
    EXPECT_EQ(0, uploader->Action());

    // Only unsupported files: nothing remains even when the user goes on.
    record_.slideshowChoice.files = {L"C:\\movie.avi"};
    record_.warningAnswer = true;
    EXPECT_EQ(S_OK, uploader->OpenSlideShowDialog());
    EXPECT_EQ(0, uploader->Action());
}

TEST_F(FileUploaderTest, ItemsThatAreNoTextAreRefusedWithoutLeavingAStrategy)
{
    ComPtr<CFileUploader> uploader = CFileUploader::Make();
    Variant number(42);
    Variant none;
    EXPECT_EQ(E_INVALIDARG, uploader->UploadFiles(*number.Get(), *none.Get(), *none.Get(), *none.Get(), *none.Get()));
    EXPECT_EQ(E_INVALIDARG, uploader->TransloadUrls(*number.Get(), *none.Get(), *none.Get(), *none.Get(), *none.Get()));
    EXPECT_FALSE(uploader->HasPendingStrategy());

    // A text item proceeds: here to a file the service does not take, so nothing starts.
    VARIANT item = Text(folder_.Write(L"readme.txt", "x").c_str());
    EXPECT_EQ(S_OK, uploader->UploadFiles(item, *none.Get(), *none.Get(), *none.Get(), *none.Get()));
    VariantClear(&item);
    EXPECT_FALSE(uploader->HasPendingStrategy());
}

TEST_F(FileUploaderTest, ARefusedOptionFailsThatCallOnlyAndLeavesNoStrategyBehind)
{
    ComPtr<CFileUploader> uploader = CFileUploader::Make();
    VARIANT wrong = Text(L"yes");
    Variant none;
    VARIANT item = Text(folder_.Write(L"readme.txt", "x").c_str());
    EXPECT_EQ(E_FAIL, uploader->UploadFiles(item, *none.Get(), *none.Get(), *none.Get(), wrong));
    EXPECT_FALSE(uploader->HasPendingStrategy());
    EXPECT_EQ(E_FAIL, uploader->UploadQueue(item, *none.Get(), *none.Get(), *none.Get(), wrong));
    EXPECT_FALSE(uploader->HasPendingStrategy());
    // The next call goes on (to a file the service does not take: nothing starts).
    EXPECT_EQ(S_OK, uploader->UploadFiles(item, *none.Get(), *none.Get(), *none.Get(), *none.Get()));
    VariantClear(&item);
    VariantClear(&wrong);
}

TEST_F(FileUploaderTest, PropertiesKeepWhatTheCallerSet)
{
    ComPtr<CFileUploader> uploader = CFileUploader::Make();
    EXPECT_EQ(E_POINTER, uploader->get_cookie(nullptr));
    Bstr cookie;
    EXPECT_EQ(S_OK, uploader->get_cookie(cookie.Out()));
    EXPECT_EQ(nullptr, cookie.Get()) << "no cookie yet";
    Bstr text(L"a=b");
    EXPECT_EQ(S_OK, uploader->put_cookie(text.Get()));
    EXPECT_EQ(S_OK, uploader->get_cookie(cookie.Out()));
    EXPECT_STREQ(L"a=b", cookie.Text());
    EXPECT_NE(text.Get(), cookie.Get()) << "a copy";

    EXPECT_EQ(E_INVALIDARG, uploader->put_CallerHWND(0x7FFFFFF0)) << "not a window";
    EXPECT_EQ(S_OK, uploader->put_CallerHWND(0));

    ComPtr<IUnknown> destination;
    EXPECT_EQ(S_OK, uploader->get_destination(&destination));
    EXPECT_EQ(nullptr, destination.Get());
}

TEST_F(FileUploaderTest, OnlyTheScriptInterfaceIsSafeForUntrustedCallers)
{
    ComPtr<CFileUploader> uploader = CFileUploader::Make();
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(S_OK, uploader.As(&safety));
    DWORD supported = 0, enabled = 0;
    ASSERT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
    EXPECT_EQ(static_cast<DWORD>(INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA), supported);
    EXPECT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, supported, supported));
    EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
    EXPECT_EQ(supported, enabled);
    EXPECT_EQ(E_NOINTERFACE, safety->GetInterfaceSafetyOptions(IID_IInnerFileUploader, &supported, &enabled));
    EXPECT_EQ(E_FAIL, safety->SetInterfaceSafetyOptions(IID_IDispatch, 0x100, 0x100));

    ComPtr<IObjectWithSite> withSite;
    ASSERT_EQ(S_OK, uploader.As(&withSite));
    ComPtr<IUnknown> site;
    EXPECT_EQ(E_FAIL, withSite->GetSite(IID_PPV_ARGS(&site)));
}

}  // namespace
