// The page-script progress display and the page's upload parameters, against
// the browser doubles: a page window whose named functions record their calls
// and answer as each test scripts them, a document and its hidden input.
#include <windows.h>
#include <mshtml.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "engine/JSUploadParams.h"
#include "engine/ScriptProgress.h"
#include "support/BrowserDoubles.h"
#include "support/EngineFakes.h"
#include "support/TempFolder.h"

using vptest::BrowserPtr;
using vptest::BrowserScriptFunction;
using vptest::ScriptAnswer;

namespace {

using Args = std::vector<std::string>;

// The arguments of each call as "UI4:16250", "BSTR:text", "BOOL:true",
// "UNKNOWN:<object>"; every call must use the system locale.
std::vector<Args> Calls(const BrowserPtr<BrowserScriptFunction>& function)
{
    std::vector<Args> calls;
    for (const auto& invocation : function->invocations) {
        EXPECT_EQ(2048u, invocation.locale);
        Args args;
        for (const auto& value : invocation.arguments) {
            const char* type = value.type == VT_I4        ? "I4:"
                               : value.type == VT_UI4     ? "UI4:"
                               : value.type == VT_BSTR    ? "BSTR:"
                               : value.type == VT_BOOL    ? "BOOL:"
                               : value.type == VT_UNKNOWN ? "UNKNOWN:"
                                                          : "OTHER:";
            args.push_back(type + std::string(value.text.begin(), value.text.end()));
        }
        calls.push_back(args);
    }
    return calls;
}

ScriptAnswer Number(int value)
{
    return {S_OK, {VT_I4, std::to_wstring(value)}};
}

// Hands out a dispatch object of its own as the uploader object.
class DispatchingUploader : public vptest::FakeImageUploader {
public:
    BrowserPtr<BrowserScriptFunction> object = BrowserScriptFunction::Create();
    IDispatch* GetDispatch() override { return vptest::Query<IDispatch>(object).Detach(); }
};

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

class ScriptProgressTest : public testing::Test {
protected:
    std::unique_ptr<IProgress> Make()
    {
        return std::unique_ptr<IProgress>(
            CreateScriptProgress(&uploader_, vptest::Query<IHTMLWindow2>(page_.window).Get()));
    }
    BrowserPtr<BrowserScriptFunction> Define(const wchar_t* name) { return page_.window->AddFunction(name); }

    DispatchingUploader uploader_;
    vptest::BrowserPage page_ = vptest::BrowserPage::Create();
};

TEST_F(ScriptProgressTest, EveryReportReachesItsPageFunctionWithItsArgumentsInOrder)
{
    auto show = Define(L"uploadShowProgress");
    auto name = Define(L"uploadSetItemName");
    auto count = Define(L"uploadSetItemCount");
    auto change = Define(L"uploadProgressChange");
    auto size = Define(L"uploadSetSize");
    auto progress = Make();
    ASSERT_TRUE(progress);

    progress->Show(true);
    EXPECT_EQ(1u, uploader_.object->References()) << "the uploader object handed to the page is not leaked";
    progress->SetItemName(L"c:\\pictures\\beach.jpg");
    progress->SetItemCount(1, 3);
    progress->SetSize(1536);
    progress->BeginConversion();
    progress->SetProgress(1, 2);
    progress->FinishStage();
    progress->SetProgress(1, 4);
    progress->FinishStage();
    progress->Show(false);

    EXPECT_EQ((std::vector<Args>{{"BOOL:true", "UNKNOWN:<object>"}, {"BOOL:false", "UNKNOWN:<object>"}}), Calls(show));
    EXPECT_EQ((std::vector<Args>{{"BSTR:c:\\pictures\\beach.jpg"}}), Calls(name)) << "the page gets the whole name";
    EXPECT_EQ((std::vector<Args>{{"I4:2", "I4:3"}}), Calls(count)) << "items are counted from 1 for the page";
    EXPECT_EQ((std::vector<Args>{{"BSTR:1.5 KB"}}), Calls(size));
    EXPECT_EQ((std::vector<Args>{{"UI4:12500", "UI4:30000"},
                                 {"UI4:15000", "UI4:30000"},
                                 {"UI4:16250", "UI4:30000"},
                                 {"UI4:20000", "UI4:30000"}}),
              Calls(change));
    EXPECT_EQ(0, uploader_.cancelCalls);
    EXPECT_FALSE(progress->IsCanceled());
    EXPECT_EQ(nullptr, progress->GetWindow());
}

TEST_F(ScriptProgressTest, PositionsOutsideTheRangeAreNotReported)
{
    auto change = Define(L"uploadProgressChange");
    auto progress = Make();
    progress->SetProgress(0, 100);
    progress->SetProgress(100, 100);
    progress->SetProgress(50, 100);
    EXPECT_EQ((std::vector<Args>{{"UI4:5000", "UI4:10000"}}), Calls(change));
}

TEST_F(ScriptProgressTest, APageThatAnswersFalseCancelsTheUploadAtThatReport)
{
    auto change = Define(L"uploadProgressChange");
    change->answers = {ScriptAnswer::Bool(true), Number(0), ScriptAnswer::Bool(false)};
    auto progress = Make();

    progress->SetProgress(10, 100);
    progress->SetProgress(20, 100);
    EXPECT_EQ(0, uploader_.cancelCalls) << "true and answers that are not booleans go on";
    EXPECT_FALSE(progress->IsCanceled());

    progress->SetProgress(30, 100);
    EXPECT_EQ(1, uploader_.cancelCalls);
    EXPECT_FALSE(uploader_.lastCancelForce) << "the page cancels like the user, not by force";
    EXPECT_TRUE(progress->IsCanceled());
}

TEST_F(ScriptProgressTest, AFailingProgressReportCancelsAndIsNotCalledAgain)
{
    {
        RegKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
        const DWORD on = 1;
        RegSetValueExW(key, L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
    }
    // The log file is shared with other test processes: count new lines only.
    const std::wstring logPath = LogWriter("CJSProgress").Path();
    const std::string changeLine = "CJSProgress\t- FAILED to call uploadProgressChange\r\n";
    const std::string nameLine = "CJSProgress\t- FAILED to call uploadSetItemName\r\n";
    const size_t changeLinesBefore = Occurrences(vptest::ReadFileBytes(logPath), changeLine);
    const size_t nameLinesBefore = Occurrences(vptest::ReadFileBytes(logPath), nameLine);

    auto change = Define(L"uploadProgressChange");
    auto name = Define(L"uploadSetItemName");
    change->answers = {ScriptAnswer::Failure(DISP_E_EXCEPTION)};
    name->answers = {ScriptAnswer::Failure(E_FAIL)};
    auto progress = Make();

    progress->FinishStage();
    EXPECT_EQ(1, uploader_.cancelCalls);
    EXPECT_TRUE(progress->IsCanceled());
    progress->SetProgress(1, 2);
    progress->FinishStage();
    EXPECT_EQ(1u, change->invocations.size()) << "a failed function is forgotten";
    EXPECT_EQ(1, uploader_.cancelCalls);

    progress->SetItemName(L"a.jpg");
    progress->SetItemName(L"b.jpg");
    EXPECT_EQ(1u, name->invocations.size());
    EXPECT_EQ(1, uploader_.cancelCalls) << "only progress reports cancel";

    const std::string log = vptest::ReadFileBytes(logPath);
    EXPECT_EQ(changeLinesBefore + 1, Occurrences(log, changeLine)) << log;
    EXPECT_EQ(nameLinesBefore + 1, Occurrences(log, nameLine)) << log;
}

TEST_F(ScriptProgressTest, ThePagesAnswerToAQuestionIsYesNoOrCancel)
{
    auto ask = Define(L"uploadShowError");
    ask->answers = {ScriptAnswer::Text(L"YES"), ScriptAnswer::Text(L"no"), ScriptAnswer::Text(L"yes please"),
                    Number(6), ScriptAnswer::Bool(true), ScriptAnswer::Failure(E_FAIL)};
    auto progress = Make();

    EXPECT_EQ(IDYES, progress->ShowError(L"Retry?", L"Upload error...", MB_YESNOCANCEL, L"server said no"));
    EXPECT_EQ(IDNO, progress->ShowError(L"Retry?", L"Upload error...", MB_YESNOCANCEL, nullptr));
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr));
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr)) << "a number is not an answer";
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr));
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr)) << "a failing call";
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr)) << "and then no function";

    const auto calls = Calls(ask);
    ASSERT_EQ(6u, calls.size());
    EXPECT_EQ((Args{"BSTR:Retry?", "BSTR:server said no"}), calls[0]) << "caption and flags stay here";
    EXPECT_EQ((Args{"BSTR:Retry?", "BSTR:"}), calls[1]);
    EXPECT_EQ(0, uploader_.cancelCalls);
}

TEST_F(ScriptProgressTest, FunctionsAreLookedUpOnceAndMissingOnesAreSilent)
{
    auto size = Define(L"uploadSetSize");
    auto progress = Make();
    const size_t lookups = page_.window->CallCount(L"GetIDsOfNames");
    EXPECT_EQ(6u, lookups) << "each of the six names once";
    for (LCID locale : page_.window->lookupLocales) EXPECT_EQ(2048u, locale);

    progress->Show(true);
    progress->SetItemCount(0, 2);
    progress->SetProgress(1, 2);
    progress->FinishStage();
    progress->SetSize(0);
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"?", nullptr, 0, nullptr));
    EXPECT_EQ(lookups, page_.window->CallCount(L"GetIDsOfNames"));
    EXPECT_EQ((std::vector<Args>{{"BSTR:"}}), Calls(size)) << "size 0 is the empty text";
    EXPECT_EQ(0, uploader_.cancelCalls) << "a page without a progress function never cancels";
    EXPECT_FALSE(progress->IsCanceled());

    // No window at all: a display that says nothing.
    std::unique_ptr<IProgress> silent(CreateScriptProgress(&uploader_, nullptr));
    ASSERT_TRUE(silent);
    silent->Show(true);
    silent->SetProgress(1, 2);
    EXPECT_EQ(IDCANCEL, silent->ShowError(L"?", nullptr, 0, nullptr));
}

// --- the page's upload parameters ---------------------------------------------------

class UploadParamsTest : public testing::Test {
protected:
    CJSUploadParams Read() { return CJSUploadParams(vptest::Query<IHTMLDocument2>(page_.document).Get()); }
    void PlantCookie(const wchar_t* value, vptest::BrowserElement::Type type = vptest::BrowserElement::Type::HiddenInput)
    {
        auto input = vptest::BrowserElement::Create(L"input", type);
        input->id = L"id_magic_vellumpost_cookie";
        input->value = value;
        page_.document->AddElement(input);
    }

    vptest::BrowserPage page_ = vptest::BrowserPage::Create();
};

TEST_F(UploadParamsTest, OnlyAFalseAnswerForbids)
{
    auto image = page_.window->AddFunction(L"uploadIsImageAllowed");
    auto video = page_.window->AddFunction(L"uploadIsVideoAllowed");
    auto multi = page_.window->AddFunction(L"uploadIsMultiUploadAllowed");
    image->answers = {ScriptAnswer::Bool(false), ScriptAnswer::Bool(true)};
    video->answers = {ScriptAnswer::Text(L"false"), Number(0)};
    multi->answers = {ScriptAnswer::Failure(DISP_E_EXCEPTION), ScriptAnswer::Bool(false)};
    const CJSUploadParams params = Read();

    EXPECT_FALSE(params.IsImageAllowed());
    EXPECT_TRUE(params.IsImageAllowed());
    EXPECT_TRUE(params.IsVideoAllowed()) << "a text is not a boolean";
    EXPECT_TRUE(params.IsVideoAllowed()) << "nor is a number";
    EXPECT_TRUE(params.IsMultiUploadAllowed()) << "a failing page allows";
    EXPECT_FALSE(params.IsMultiUploadAllowed()) << "a failed function is asked again";
    EXPECT_EQ((std::vector<Args>{{}, {}}), Calls(image)) << "asked without arguments";
    for (LCID locale : page_.window->lookupLocales) EXPECT_EQ(2048u, locale);
}

TEST_F(UploadParamsTest, APageWithoutFunctionsAllowsEverythingAndMayStillHaveACookie)
{
    PlantCookie(L"c00k1e");
    const CJSUploadParams params = Read();
    EXPECT_TRUE(params.IsImageAllowed());
    EXPECT_TRUE(params.IsVideoAllowed());
    EXPECT_TRUE(params.IsMultiUploadAllowed());
    ASSERT_TRUE(params.GetCookie().has_value());
    EXPECT_EQ(L"c00k1e", *params.GetCookie());
}

TEST_F(UploadParamsTest, TheCookieComesOnlyFromAHiddenInput)
{
    EXPECT_FALSE(Read().GetCookie().has_value()) << "no such element";
    PlantCookie(L"visible", vptest::BrowserElement::Type::Plain);
    EXPECT_FALSE(Read().GetCookie().has_value()) << "an element that is not a hidden input";

    vptest::BrowserPage empty = vptest::BrowserPage::Create();
    auto input = vptest::BrowserElement::Create(L"input", vptest::BrowserElement::Type::HiddenInput);
    input->id = L"id_magic_vellumpost_cookie";
    empty.document->AddElement(input);
    ASSERT_TRUE(CJSUploadParams(vptest::Query<IHTMLDocument2>(empty.document).Get()).GetCookie().has_value());
    EXPECT_EQ(L"", *CJSUploadParams(vptest::Query<IHTMLDocument2>(empty.document).Get()).GetCookie())
        << "an empty cookie is still a cookie";
}

TEST_F(UploadParamsTest, ADocumentWithoutAWindowAllowsEverythingWithoutACookie)
{
    auto lonely = vptest::BrowserDocument::Create();
    auto input = vptest::BrowserElement::Create(L"input", vptest::BrowserElement::Type::HiddenInput);
    input->id = L"id_magic_vellumpost_cookie";
    input->value = L"c00k1e";
    lonely->AddElement(input);
    const CJSUploadParams params(vptest::Query<IHTMLDocument2>(lonely).Get());
    EXPECT_TRUE(params.IsImageAllowed());
    EXPECT_FALSE(params.GetCookie().has_value());
    EXPECT_EQ(0u, lonely->CallCount(L"getElementById"));

    const CJSUploadParams none(nullptr);
    EXPECT_TRUE(none.IsVideoAllowed());
    EXPECT_FALSE(none.GetCookie().has_value());
}

}  // namespace
