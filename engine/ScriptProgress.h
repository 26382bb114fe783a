// The progress display of an upload started by one of the service's pages:
// every report goes to a named function of the page's script, which draws its
// own progress. A page cancels the upload by answering a progress report with
// false (or by failing it).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "engine/PageScriptFunction.h"
#include "engine/Progress.h"
#include "engine/ProgressScale.h"

class ImageUploader;

class CJSProgress : public IProgress {
public:
    // windowScript: the page window's script object; the page functions are
    // looked up on it once, here.
    CJSProgress(ImageUploader* uploader, IDispatch* windowScript);
    ~CJSProgress() override = default;

    CJSProgress(const CJSProgress&) = delete;
    CJSProgress& operator=(const CJSProgress&) = delete;

    void Show(bool show) override;
    void SetItemName(const wchar_t* name) override;
    void SetItemCount(int index, int count) override;
    void SetProgress(int position, int range) override;
    void SetSize(ULONGLONG bytes) override;
    void FinishStage() override;
    // The page answers "yes" (IDYES) or "no" (IDNO), in any case; anything
    // else, or no answer, is IDCANCEL.
    int ShowError(const wchar_t* text, const wchar_t* caption, UINT flags, const wchar_t* detail) override;
    HWND GetWindow() override { return nullptr; }
    bool IsCanceled() override { return canceled_; }
    void BeginConversion() override { scale_.BeginConversion(); }
    // The page's functions take positions and a size text only; they have
    // no place for the rate or the time left.
    void SetTransferred(ULONGLONG, ULONGLONG) override {}

private:
    enum Function {
        kShowProgress,
        kSetItemName,
        kSetItemCount,
        kProgressChange,
        kSetSize,
        kShowError,
        kFunctionCount
    };
    enum class Outcome { kNotCalled, kSucceeded, kFailed };

    // Calls one page function; a failure is logged and the function is
    // forgotten, an exception is logged.
    Outcome Call(Function function, const VARIANT* args, UINT count, VARIANT* result);
    // Reports units of the whole scale; a failing or false answer cancels.
    void Report(UINT units);

    PageScriptFunction functions_[kFunctionCount];
    ProgressScale scale_;
    bool canceled_ = false;
    ImageUploader* uploader_;
};
