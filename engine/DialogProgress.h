// The native progress display: a small modeless dialog on the upload thread
// with a label, a line with the bytes sent, the rate and the time left, a bar
// over all items, the size of the current item and a Cancel button that
// becomes available once bytes are on their way.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "engine/ProgressScale.h"
#include "engine/Progress.h"
#include "engine/TransferMeter.h"

class ImageUploader;

class CProgress : public IProgress {
public:
    explicit CProgress(ImageUploader* uploader);
    ~CProgress() override;

    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;

    void Show(bool show) override;
    void SetItemName(const wchar_t* name) override;
    void SetItemCount(int index, int count) override;
    void SetProgress(int position, int range) override;
    void SetSize(ULONGLONG bytes) override;
    void FinishStage() override;
    int ShowError(const wchar_t* text, const wchar_t* caption, UINT flags, const wchar_t* detail) override;
    HWND GetWindow() override { return dialog_; }
    bool IsCanceled() override;
    void BeginConversion() override;
    void SetTransferred(ULONGLONG sent, ULONGLONG total) override;

    // The label text as it is (or would be) shown.
    const std::wstring& LabelText() const { return label_; }

    // Milliseconds of a steady clock; the display reads GetTickCount64 unless
    // given another (the window pictures show a transfer without waiting).
    using Clock = std::function<ULONGLONG()>;
    void SetClock(Clock clock)
    {
        if (clock) clock_ = std::move(clock);
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND dialog);
    void OnCancelButton();
    // Rebuilds the label from string labelId and shows it if the dialog exists.
    void RefreshLabel(UINT labelId);
    void SetBarPosition(UINT units);
    void EnableCancel(bool enable);
    // Empties the transfer line: a new item, or a stage without a request.
    void ClearTransfer();
    void ShowTransfer(const std::wstring& text);

    HWND dialog_ = nullptr;
    std::wstring label_;
    std::wstring itemName_;
    ProgressScale scale_;
    UINT barRange_ = ProgressScale::kUnitsPerItem;
    // Where the bar was last moved to; per-chunk reports move it only once the
    // change shows (a repaint for every chunk of the body costs more than the
    // upload itself).
    UINT barUnits_ = 0;
    bool cancelEnabled_ = false;
    TransferMeter meter_;
    TransferTexts transferTexts_;
    Clock clock_;
    // The transfer line as shown and when it was last changed: it is redrawn
    // a few times a second at most.
    std::wstring transferText_;
    ULONGLONG transferShownAt_ = 0;
    HWND labelControl_ = nullptr;
    HWND sizeControl_ = nullptr;
    HWND transferControl_ = nullptr;
    HWND bar_ = nullptr;
    ImageUploader* uploader_;
};
