// The native progress dialog (see the header). The dialog lives on the thread
// that first shows it, whose message loop serves it; the object finds itself
// from the window through DWLP_USER until the window is gone.
#include "engine/DialogProgress.h"

#include <commctrl.h>

#include <climits>
#include <new>

#include "common/HResult.h"
#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "common/TextConvert.h"
#include "engine/ImageUploader.h"
#include "engine/ProgressText.h"
#include "resources/resource.h"

namespace {

// Made when there is something to say: failures are rare, and the setting is
// read afresh each time.
LogWriter Log()
{
    return LogWriter("CProgress");
}

// The bar takes signed positions; the scale never goes negative.
int BarValue(UINT units)
{
    return units > static_cast<UINT>(INT_MAX) ? INT_MAX : static_cast<int>(units);
}

// The line is redrawn at most this often while bytes go out.
constexpr ULONGLONG kTransferRedrawMs = 250;

TransferTexts LoadTransferTexts()
{
    TransferTexts texts;
    texts.amount = LoadModuleString(IDS_TRANSFER_AMOUNT);
    texts.rate = LoadModuleString(IDS_TRANSFER_RATE);
    texts.secondsLeft = LoadModuleString(IDS_TRANSFER_SECONDS_LEFT);
    texts.minutesLeft = LoadModuleString(IDS_TRANSFER_MINUTES_LEFT);
    texts.hoursLeft = LoadModuleString(IDS_TRANSFER_HOURS_LEFT);
    texts.waiting = LoadModuleString(IDS_TRANSFER_WAITING);
    texts.separator = LoadModuleString(IDS_TRANSFER_SEPARATOR);
    return texts;
}

}  // namespace

CProgress::CProgress(ImageUploader* uploader)
    : transferTexts_(LoadTransferTexts()), clock_([] { return GetTickCount64(); }), uploader_(uploader)
{
}

CProgress::~CProgress()
{
    if (dialog_) DestroyWindow(dialog_);
}

void CProgress::Show(bool show)
{
    if (show && !dialog_) {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        // dialog_ is set by WM_INITDIALOG, before the call returns.
        if (!CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(IDD_PROGRESS), nullptr, DialogProc,
                                reinterpret_cast<LPARAM>(this))) {
            Log().Format("FAILED to create the progress dialog, error %lu", GetLastError());
        }
    }
    if (dialog_) ShowWindow(dialog_, show ? SW_SHOW : SW_HIDE);
}

void CProgress::SetItemName(const wchar_t* name)
{
    itemName_ = ItemNameFromPath(name ? name : L"");
    RefreshLabel(IDS_PROGRESS_UPLOADING);
    ClearTransfer();
}

void CProgress::SetItemCount(int index, int count)
{
    scale_.StartItem(index, count);
    const UINT range = scale_.Range();
    if (range != barRange_) {
        barRange_ = range;
        if (bar_) SendMessageW(bar_, PBM_SETRANGE32, 0, BarValue(barRange_));
    }
    SetBarPosition(scale_.ItemBase());
    RefreshLabel(IDS_PROGRESS_UPLOADING);
    ClearTransfer();
}

void CProgress::SetProgress(int position, int range)
{
    UINT units = 0;
    if (!scale_.Units(position, range, &units)) return;
    if (!cancelEnabled_) EnableCancel(true);
    // About one step per pixel of the bar; smaller steps are not drawn anyway.
    const UINT step = scale_.Range() / 250 > 0 ? scale_.Range() / 250 : 1;
    const UINT moved = units > barUnits_ ? units - barUnits_ : barUnits_ - units;
    if (moved >= step) SetBarPosition(units);
}

void CProgress::SetSize(ULONGLONG bytes)
{
    if (sizeControl_) SetWindowTextW(sizeControl_, SizeText(bytes).c_str());
}

void CProgress::FinishStage()
{
    if (cancelEnabled_) EnableCancel(false);
    const bool wasConverting = scale_.CurrentStage() == ProgressScale::kConverting;
    const UINT units = scale_.FinishStage();
    if (wasConverting) RefreshLabel(IDS_PROGRESS_UPLOADING);
    SetBarPosition(units);
    SetSize(0);
    ClearTransfer();
}

int CProgress::ShowError(const wchar_t* text, const wchar_t* caption, UINT flags, const wchar_t* detail)
{
    if (dialog_) SetForegroundWindow(dialog_);
    const std::wstring message = QuestionText(text, LoadModuleString(IDS_ERROR_DETAILS), detail);
    return MessageBoxW(dialog_, message.c_str(), caption, flags);
}

bool CProgress::IsCanceled()
{
    return uploader_ && uploader_->IsCanceled();
}

void CProgress::BeginConversion()
{
    scale_.BeginConversion();
    RefreshLabel(IDS_PROGRESS_CONVERTING);
    ClearTransfer();
}

void CProgress::SetTransferred(ULONGLONG sent, ULONGLONG total)
{
    const ULONGLONG now = clock_();
    const bool wasWaiting = meter_.Waiting();
    meter_.Update(sent, total, now);
    // The first figures and the start of the wait show at once, the rest
    // when the line was left alone for a moment.
    const bool due =
        transferText_.empty() || meter_.Waiting() != wasWaiting || now - transferShownAt_ >= kTransferRedrawMs;
    if (due) ShowTransfer(meter_.Text(transferTexts_));
}

void CProgress::ClearTransfer()
{
    meter_.Reset();
    ShowTransfer(std::wstring());
}

void CProgress::ShowTransfer(const std::wstring& text)
{
    transferShownAt_ = clock_();
    if (text == transferText_) return;
    transferText_ = text;
    if (transferControl_) SetWindowTextW(transferControl_, transferText_.c_str());
}

void CProgress::RefreshLabel(UINT labelId)
{
    label_ = ItemLabel(LoadModuleString(labelId), LoadModuleString(IDS_PROGRESS_FILE_N_OF_M), itemName_,
                       scale_.Index(), scale_.Count());
    if (labelControl_) SetWindowTextW(labelControl_, label_.c_str());
}

void CProgress::SetBarPosition(UINT units)
{
    barUnits_ = units;
    if (bar_) SendMessageW(bar_, PBM_SETPOS, BarValue(units), 0);
}

void CProgress::EnableCancel(bool enable)
{
    cancelEnabled_ = enable;
    if (dialog_) EnableWindow(GetDlgItem(dialog_, IDCANCEL), enable ? TRUE : FALSE);
}

void CProgress::OnInitDialog(HWND dialog)
{
    dialog_ = dialog;
    labelControl_ = GetDlgItem(dialog, IDC_PROGRESS_LABEL);
    sizeControl_ = GetDlgItem(dialog, IDC_PROGRESS_SIZE);
    transferControl_ = GetDlgItem(dialog, IDC_PROGRESS_TRANSFER);
    bar_ = GetDlgItem(dialog, IDC_PROGRESS_BAR);
    if (labelControl_) SetWindowTextW(labelControl_, label_.c_str());
    if (transferControl_) SetWindowTextW(transferControl_, transferText_.c_str());
    if (sizeControl_) SetWindowTextW(sizeControl_, L"");
    if (bar_) {
        SendMessageW(bar_, PBM_SETRANGE32, 0, BarValue(barRange_));
        SetBarPosition(0);
    }
    EnableCancel(false);
    // A shared icon of the module: it needs no destroying.
    if (HICON icon = LoadIconW(ThisModule(), MAKEINTRESOURCEW(IDI_UPLOAD))) {
        SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
}

void CProgress::OnCancelButton()
{
    // Before the first bytes are sent, and between items, there is nothing
    // the user could usefully stop.
    if (cancelEnabled_ && uploader_) uploader_->OnCancel(false);
}

INT_PTR CALLBACK CProgress::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
try {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CProgress*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        if (self) self->OnInitDialog(window);
        return TRUE;
    }
    auto* self = reinterpret_cast<CProgress*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            self->OnCancelButton();
            return TRUE;
        }
        return FALSE;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->dialog_ = nullptr;
        self->labelControl_ = self->sizeControl_ = self->transferControl_ = self->bar_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
} catch (...) {
    LogCaughtException(Log(), "DialogProc", window);
    return FALSE;
}

IProgress* CreateDialogProgress(ImageUploader* uploader)
{
    return new (std::nothrow) CProgress(uploader);
}
