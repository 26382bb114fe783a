// The page-script progress display and the page's upload parameters, against
// a window script object whose named functions record their calls and answer
// as each test scripts them.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "engine/ScriptProgress.h"
#include "support/EngineFakes.h"
#include "support/TempFolder.h"

using Microsoft::WRL::ComPtr;

namespace {

using Args = std::vector<std::string>;

// "I4:2", "UI4:16250", "BSTR:text", "BOOL:true", "UNKNOWN:object"/"UNKNOWN:null".
std::string Describe(const VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_I4: return "I4:" + std::to_string(V_I4(&value));
    case VT_UI4: return "UI4:" + std::to_string(V_UI4(&value));
    case VT_BOOL: return V_BOOL(&value) == VARIANT_TRUE ? "BOOL:true" : "BOOL:false";
    case VT_UNKNOWN: return V_UNKNOWN(&value) ? "UNKNOWN:object" : "UNKNOWN:null";
    case VT_BSTR: {
        std::string text;
        for (const wchar_t* c = V_BSTR(&value); c && *c; ++c) text += static_cast<char>(*c);
        return "BSTR:" + text;
    }
    default: return "VT:" + std::to_string(V_VT(&value));
    }
}

// A page function: records each call's arguments in script order and gives
// the scripted answers in turn (after them: success without a value).
class ScriptFunction : public ComObject<ScriptFunction, IDispatch> {
public:
    struct Answer {
        HRESULT hr = S_OK;
        VARTYPE type = VT_EMPTY;
        bool flag = false;
        std::wstring text;
    };
    static Answer Bool(bool value) { return {S_OK, VT_BOOL, value, L""}; }
    static Answer Text(const wchar_t* value) { return {S_OK, VT_BSTR, false, value}; }
    static Answer Number(LONG value) { return {S_OK, VT_I4, value != 0, std::to_wstring(value)}; }
    static Answer Failure(HRESULT hr) { return {hr, VT_EMPTY, false, L""}; }

    std::vector<Args> calls;
    std::deque<Answer> answers;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        ADD_FAILURE() << "unexpected GetTypeInfoCount on a page function";
        return count ? (*count = 0, S_OK) : E_POINTER;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override
    {
        ADD_FAILURE() << "unexpected GetTypeInfo on a page function";
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        ADD_FAILURE() << "a page function is called through its default member, not by name";
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override
    {
        EXPECT_EQ(DISPID_VALUE, id);
        EXPECT_EQ(2048u, locale);
        EXPECT_EQ(DISPATCH_METHOD, flags);
        EXPECT_TRUE(params);
        if (!params) return E_POINTER;
        EXPECT_EQ(0u, params->cNamedArgs);
        Args args;
        for (UINT i = params->cArgs; i-- > 0;) args.push_back(Describe(params->rgvarg[i]));
        calls.push_back(args);

        Answer answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (FAILED(answer.hr)) return answer.hr;
        if (result) {
            VariantInit(result);
            V_VT(result) = answer.type;
            if (answer.type == VT_BOOL) V_BOOL(result) = answer.flag ? VARIANT_TRUE : VARIANT_FALSE;
            if (answer.type == VT_I4) V_I4(result) = std::stol(answer.text);
            if (answer.type == VT_BSTR) V_BSTR(result) = SysAllocString(answer.text.c_str());
        }
        return S_OK;
    }
};

// The page window's script object: its properties are the page functions.
// A name can also be bound to a value that is not a function.
class ScriptWindow : public ComObject<ScriptWindow, IDispatch> {
public:
    int lookups = 0;

    ScriptFunction* Define(const std::wstring& name)
    {
        ComPtr<ScriptFunction> function = ScriptFunction::Make();
        functions_[name] = function;
        return function.Get();
    }
    // name answers a property get with a plain number.
    void DefineNumber(const std::wstring& name) { functions_[name] = nullptr; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return count ? (*count = 0, S_OK) : E_POINTER; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override
    {
        ++lookups;
        EXPECT_EQ(2048u, locale);
        EXPECT_EQ(1u, count);
        auto found = functions_.find(names[0]);
        if (found == functions_.end()) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = 1000 + static_cast<DISPID>(std::distance(functions_.begin(), found));
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override
    {
        EXPECT_EQ(2048u, locale);
        EXPECT_EQ(DISPATCH_PROPERTYGET, flags) << "the window is only read";
        EXPECT_TRUE(params && params->cArgs == 0);
        if (!result || id < 1000 || id >= 1000 + static_cast<DISPID>(functions_.size())) return DISP_E_MEMBERNOTFOUND;
        auto entry = std::next(functions_.begin(), id - 1000);
        VariantInit(result);
        if (!entry->second) {
            V_VT(result) = VT_I4;
            V_I4(result) = 42;
            return S_OK;
        }
        V_VT(result) = VT_DISPATCH;
        entry->second.CopyTo(&V_DISPATCH(result));
        return S_OK;
    }

private:
    std::map<std::wstring, ComPtr<ScriptFunction>> functions_;
};

// An object the uploader hands out as its dispatch object.
class UploaderObject : public ComObject<UploaderObject, IDispatch> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return count ? (*count = 0, S_OK) : E_POINTER; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
};

class DispatchingUploader : public vptest::FakeImageUploader {
public:
    ComPtr<UploaderObject> object = UploaderObject::Make();
    IDispatch* GetDispatch() override
    {
        object->AddRef();
        return object.Get();
    }
};

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

ULONG References(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

class ScriptProgressTest : public testing::Test {
protected:
    std::unique_ptr<IProgress> Make() { return std::unique_ptr<IProgress>(CreateScriptProgress(&uploader_, window_.Get())); }

    DispatchingUploader uploader_;
    ComPtr<ScriptWindow> window_ = ScriptWindow::Make();
};

TEST_F(ScriptProgressTest, EveryReportReachesItsPageFunctionWithItsArgumentsInOrder)
{
    ScriptFunction* show = window_->Define(L"uploadShowProgress");
    ScriptFunction* name = window_->Define(L"uploadSetItemName");
    ScriptFunction* count = window_->Define(L"uploadSetItemCount");
    ScriptFunction* change = window_->Define(L"uploadProgressChange");
    ScriptFunction* size = window_->Define(L"uploadSetSize");
    auto progress = Make();
    ASSERT_TRUE(progress);

    progress->Show(true);
    EXPECT_EQ(1u, References(uploader_.object.Get())) << "the uploader object handed to the page is not leaked";
    progress->SetItemName(L"c:\\pictures\\beach.jpg");
    progress->SetItemCount(1, 3);
    progress->SetSize(1536);
    progress->BeginConversion();
    progress->SetProgress(1, 2);
    progress->FinishStage();
    progress->SetProgress(1, 4);
    progress->FinishStage();
    progress->Show(false);

    EXPECT_EQ((std::vector<Args>{{"BOOL:true", "UNKNOWN:object"}, {"BOOL:false", "UNKNOWN:object"}}), show->calls);
    EXPECT_EQ((std::vector<Args>{{"BSTR:c:\\pictures\\beach.jpg"}}), name->calls) << "the page gets the whole name";
    EXPECT_EQ((std::vector<Args>{{"I4:2", "I4:3"}}), count->calls) << "items are counted from 1 for the page";
    EXPECT_EQ((std::vector<Args>{{"BSTR:1.5 KB"}}), size->calls);
    EXPECT_EQ((std::vector<Args>{{"UI4:12500", "UI4:30000"},
                                 {"UI4:15000", "UI4:30000"},
                                 {"UI4:16250", "UI4:30000"},
                                 {"UI4:20000", "UI4:30000"}}),
              change->calls);
    EXPECT_EQ(0, uploader_.cancelCalls);
    EXPECT_FALSE(progress->IsCanceled());
    EXPECT_EQ(nullptr, progress->GetWindow());
}

TEST_F(ScriptProgressTest, PositionsOutsideTheRangeAreNotReported)
{
    ScriptFunction* change = window_->Define(L"uploadProgressChange");
    auto progress = Make();
    progress->SetProgress(0, 100);
    progress->SetProgress(100, 100);
    progress->SetProgress(50, 100);
    EXPECT_EQ((std::vector<Args>{{"UI4:5000", "UI4:10000"}}), change->calls);
}

TEST_F(ScriptProgressTest, APageThatAnswersFalseCancelsTheUploadAtThatReport)
{
    ScriptFunction* change = window_->Define(L"uploadProgressChange");
    change->answers = {ScriptFunction::Bool(true), ScriptFunction::Number(0), ScriptFunction::Bool(false)};
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

    ScriptFunction* change = window_->Define(L"uploadProgressChange");
    ScriptFunction* name = window_->Define(L"uploadSetItemName");
    change->answers = {ScriptFunction::Failure(DISP_E_EXCEPTION)};
    name->answers = {ScriptFunction::Failure(E_FAIL)};
    auto progress = Make();

    progress->FinishStage();
    EXPECT_EQ(1, uploader_.cancelCalls);
    EXPECT_TRUE(progress->IsCanceled());
    progress->SetProgress(1, 2);
    progress->FinishStage();
    EXPECT_EQ(1u, change->calls.size()) << "a failed function is forgotten";
    EXPECT_EQ(1, uploader_.cancelCalls);

    progress->SetItemName(L"a.jpg");
    progress->SetItemName(L"b.jpg");
    EXPECT_EQ(1u, name->calls.size());
    EXPECT_EQ(1, uploader_.cancelCalls) << "only progress reports cancel";

    const std::string log = vptest::ReadFileBytes(logPath);
    EXPECT_EQ(changeLinesBefore + 1, Occurrences(log, changeLine)) << log;
    EXPECT_EQ(nameLinesBefore + 1, Occurrences(log, nameLine)) << log;
}

TEST_F(ScriptProgressTest, ThePagesAnswerToAQuestionIsYesNoOrCancel)
{
    ScriptFunction* ask = window_->Define(L"uploadShowError");
    ask->answers = {ScriptFunction::Text(L"YES"), ScriptFunction::Text(L"no"), ScriptFunction::Text(L"yes please"),
                    ScriptFunction::Number(6), ScriptFunction::Bool(true), ScriptFunction::Failure(E_FAIL)};
    auto progress = Make();

    EXPECT_EQ(IDYES, progress->ShowError(L"Retry?", L"Upload error...", MB_YESNOCANCEL, L"server said no"));
    EXPECT_EQ(IDNO, progress->ShowError(L"Retry?", L"Upload error...", MB_YESNOCANCEL, nullptr));
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr));
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr)) << "a number is not an answer";
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr));
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr)) << "a failing call";
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"Retry?", nullptr, 0, nullptr)) << "and then no function";

    ASSERT_EQ(6u, ask->calls.size());
    EXPECT_EQ((Args{"BSTR:Retry?", "BSTR:server said no"}), ask->calls[0]) << "caption and flags stay here";
    EXPECT_EQ((Args{"BSTR:Retry?", "BSTR:"}), ask->calls[1]);
    EXPECT_EQ(0, uploader_.cancelCalls);
}

TEST_F(ScriptProgressTest, FunctionsAreLookedUpOnceAndOnlyObjectsAreCalled)
{
    window_->DefineNumber(L"uploadProgressChange");
    ScriptFunction* size = window_->Define(L"uploadSetSize");
    auto progress = Make();
    const int lookups = window_->lookups;
    EXPECT_EQ(6, lookups) << "each of the six names once";

    progress->Show(true);
    progress->SetItemCount(0, 2);
    progress->SetProgress(1, 2);
    progress->FinishStage();
    progress->SetSize(0);
    EXPECT_EQ(IDCANCEL, progress->ShowError(L"?", nullptr, 0, nullptr));
    EXPECT_EQ(lookups, window_->lookups);
    EXPECT_EQ((std::vector<Args>{{"BSTR:"}}), size->calls) << "size 0 is the empty text";
    EXPECT_EQ(0, uploader_.cancelCalls) << "a page without a progress function never cancels";
    EXPECT_FALSE(progress->IsCanceled());

    // No window at all: a display that says nothing.
    std::unique_ptr<IProgress> silent(CreateScriptProgress(&uploader_, nullptr));
    ASSERT_TRUE(silent);
    silent->Show(true);
    silent->SetProgress(1, 2);
    EXPECT_EQ(IDCANCEL, silent->ShowError(L"?", nullptr, 0, nullptr));
}

}  // namespace
