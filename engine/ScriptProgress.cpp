// Page-script progress display (see the header).
#include "engine/ScriptProgress.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <cwchar>
#include <new>

#include "common/LogWriter.h"
#include "common/Variant.h"
#include "engine/ImageUploader.h"
#include "engine/ProgressText.h"

namespace {

// Made when there is something to say: failures are rare, and the setting is
// read afresh each time.
LogWriter Log()
{
    return LogWriter("CJSProgress");
}

// The page function names, in the order of CJSProgress::Function, and the
// same names for the log.
const wchar_t* const kFunctionNames[] = {
    L"uploadShowProgress", L"uploadSetItemName", L"uploadSetItemCount",
    L"uploadProgressChange", L"uploadSetSize", L"uploadShowError",
};
const char* const kLogNames[] = {
    "uploadShowProgress", "uploadSetItemName", "uploadSetItemCount",
    "uploadProgressChange", "uploadSetSize", "uploadShowError",
};

VARIANT UnsignedArg(UINT value)
{
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_UI4;
    V_UI4(&arg) = value;
    return arg;
}

}  // namespace

CJSProgress::CJSProgress(ImageUploader* uploader, IDispatch* windowScript) : uploader_(uploader)
{
    for (int i = 0; i < kFunctionCount; ++i) functions_[i] = PageScriptFunction(windowScript, kFunctionNames[i]);
}

CJSProgress::Outcome CJSProgress::Call(Function function, const VARIANT* args, UINT count, VARIANT* result)
{
    PageScriptFunction& page = functions_[function];
    if (page.Empty()) return Outcome::kNotCalled;
    const char* name = kLogNames[function];
    try {
        if (SUCCEEDED(page.Call(args, count, result))) return Outcome::kSucceeded;
        Log().Write("FAILED to call ", name);
        page.Release();
        return Outcome::kFailed;
    } catch (...) {
        Log().Write("EXEPTION on call ", name);
        return Outcome::kNotCalled;
    }
}

void CJSProgress::Show(bool show)
{
    if (functions_[kShowProgress].Empty()) return;
    Microsoft::WRL::ComPtr<IDispatch> uploader;
    // GetDispatch hands over a reference; this WRL's Attach would add another.
    if (uploader_) *uploader.GetAddressOf() = uploader_->GetDispatch();
    VARIANT args[2];
    VariantInit(&args[0]);
    V_VT(&args[0]) = VT_BOOL;
    V_BOOL(&args[0]) = show ? VARIANT_TRUE : VARIANT_FALSE;
    VariantInit(&args[1]);
    V_VT(&args[1]) = VT_UNKNOWN;
    V_UNKNOWN(&args[1]) = uploader.Get();
    Call(kShowProgress, args, 2, nullptr);
}

void CJSProgress::SetItemName(const wchar_t* name)
{
    if (functions_[kSetItemName].Empty()) return;
    Variant text(name ? name : L"");
    Call(kSetItemName, text.Get(), 1, nullptr);
}

void CJSProgress::SetItemCount(int index, int count)
{
    scale_.StartItem(index, count);
    if (functions_[kSetItemCount].Empty()) return;
    VARIANT args[2];
    VariantInit(&args[0]);
    V_VT(&args[0]) = VT_I4;
    V_I4(&args[0]) = index + 1;
    VariantInit(&args[1]);
    V_VT(&args[1]) = VT_I4;
    V_I4(&args[1]) = count;
    Call(kSetItemCount, args, 2, nullptr);
}

void CJSProgress::SetProgress(int position, int range)
{
    UINT units = 0;
    if (scale_.Units(position, range, &units)) Report(units);
}

void CJSProgress::SetSize(ULONGLONG bytes)
{
    if (functions_[kSetSize].Empty()) return;
    Variant text(SizeText(bytes).c_str());
    Call(kSetSize, text.Get(), 1, nullptr);
}

void CJSProgress::FinishStage()
{
    Report(scale_.FinishStage());
}

void CJSProgress::Report(UINT units)
{
    if (functions_[kProgressChange].Empty()) return;
    VARIANT args[2] = {UnsignedArg(units), UnsignedArg(scale_.Range())};
    Variant answer;
    const Outcome outcome = Call(kProgressChange, args, 2, answer.Out());
    const bool refused = answer.Type() == VT_BOOL && V_BOOL(answer.Get()) == VARIANT_FALSE;
    if (outcome == Outcome::kFailed || (outcome == Outcome::kSucceeded && refused)) {
        canceled_ = true;
        if (uploader_) uploader_->OnCancel(false);
    }
}

int CJSProgress::ShowError(const wchar_t* text, const wchar_t* /*caption*/, UINT /*flags*/, const wchar_t* detail)
{
    if (functions_[kShowError].Empty()) return IDCANCEL;
    Variant args[2] = {Variant(text ? text : L""), Variant(detail ? detail : L"")};
    VARIANT raw[2] = {*args[0].Get(), *args[1].Get()};
    Variant answer;
    if (Call(kShowError, raw, 2, answer.Out()) != Outcome::kSucceeded) return IDCANCEL;
    if (answer.Type() != VT_BSTR || !V_BSTR(answer.Get())) return IDCANCEL;
    const wchar_t* reply = V_BSTR(answer.Get());
    if (_wcsicmp(reply, L"yes") == 0) return IDYES;
    if (_wcsicmp(reply, L"no") == 0) return IDNO;
    return IDCANCEL;
}

IProgress* CreateScriptProgress(ImageUploader* uploader, IDispatch* windowScript)
{
    try {
        return new CJSProgress(uploader, windowScript);
    } catch (...) {
        Log().Write("EXCEPTION on create script progress");
        return nullptr;
    }
}
