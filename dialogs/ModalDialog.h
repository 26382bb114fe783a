// The shared frame of the small modal dialogs of the module's resources: the
// dialog procedure with its exception guard and log line, the object's link to
// its window, the optional script, and closing with the button's id.
#pragma once

#include <windows.h>

#include "common/LogWriter.h"
#include "dialogs/DialogScript.h"

class CModalDialog {
public:
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;
    virtual ~CModalDialog() = default;

    // Shows the dialog over owner; the id of the button that closed it
    // (IDOK or IDCANCEL), or -1 when the dialog could not be created.
    INT_PTR DoModal(HWND owner);
    void SetScript(DialogScript script) { script_ = std::move(script); }

protected:
    CModalDialog(UINT templateId, const char* logCategory) : templateId_(templateId), log_(logCategory) {}

    HWND Window() const { return window_; }
    const LogWriter& Log() const { return log_; }

    virtual void OnInitDialog() {}
    // IDOK and IDCANCEL end the dialog with their id.
    virtual void OnCommand(UINT id);
    // Messages the frame does not handle itself; FALSE: not handled.
    virtual INT_PTR OnOtherMessage(UINT, WPARAM, LPARAM) { return FALSE; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    LogWriter log_;
    HWND window_ = nullptr;
    DialogScript script_;
};

// A dialog drawn on one solid light grey brush, its static texts on a
// transparent background. The brush lives as long as the object.
class CBrushedDialog : public CModalDialog {
public:
    ~CBrushedDialog() override;

protected:
    CBrushedDialog(UINT templateId, const char* logCategory);
    INT_PTR OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HBRUSH brush_;
};
