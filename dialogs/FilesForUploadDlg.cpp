// The upload file dialog (see the header). The hook is the options panel's
// dialog procedure; it finds the object through the OPENFILENAMEW it is given
// at WM_INITDIALOG and keeps it in the panel until the panel goes away.
#include "dialogs/FilesForUploadDlg.h"

#include <commctrl.h>
#include <commdlg.h>


#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "common/TextConvert.h"
#include "dialogs/DialogControls.h"
#include "dialogs/SizeLists.h"
#include "dialogs/TagCompletion.h"
#include "dialogs/TagsAutoComplete.h"
#include "resources/resource.h"

#if defined(_WIN64)
static_assert(sizeof(OPENFILENAMEW) == 152, "unexpected OPENFILENAMEW layout");
#else
static_assert(sizeof(OPENFILENAMEW) == 88, "unexpected OPENFILENAMEW layout");
#endif

namespace {

const wchar_t kDefaultTitle[] = L"Upload files";
// Used only when the module's own filter strings are missing.
const wchar_t kLastResortFilter[] = L"All files|*.*|";

}  // namespace

CFilesForUploadDlg::CFilesForUploadDlg(HWND owner, bool multipleFiles, TagCompletion* completion)
    : DialogWindow("CFilesForUploadDlg"), owner_(owner), multipleFiles_(multipleFiles), completion_(completion)
{
}

std::wstring CFilesForUploadDlg::RequestedSize() const
{
    return resize ? ListText(PictureSizeTexts(), sizeIndex) : std::wstring();
}

std::wstring CFilesForUploadDlg::FilterText() const
{
    if (!filter_.empty()) return filter_;
    std::wstring text;
    if (fileTypes_ == UploadFileTypes::kPictures) text = LoadModuleString(IDS_FILTER_PICTURES);
    if (fileTypes_ == UploadFileTypes::kVideos) text = LoadModuleString(IDS_FILTER_VIDEOS);
    if (text.empty()) text = LoadModuleString(IDS_FILTER_ALL);
    return text.empty() ? kLastResortFilter : text;
}

std::wstring CFilesForUploadDlg::Title() const
{
    std::wstring title = LoadModuleString(IDS_FILE_DIALOG_TITLE);
    return title.empty() ? kDefaultTitle : title;
}

std::wstring CFilesForUploadDlg::FilterForDialog(const std::wstring& text)
{
    std::wstring filter = text;
    for (wchar_t& c : filter) {
        if (c == L'|') c = L'\0';
    }
    // The list ends with an empty entry; std::wstring adds the last NUL.
    if (filter.empty() || filter.back() != L'\0') filter.push_back(L'\0');
    return filter;
}

std::vector<std::wstring> CFilesForUploadDlg::SplitChosenFiles(const wchar_t* buffer, size_t capacity)
{
    std::vector<std::wstring> parts;
    size_t position = 0;
    while (buffer && position < capacity && buffer[position] != L'\0') {
        size_t end = position;
        while (end < capacity && buffer[end] != L'\0') ++end;
        if (end == capacity) break;  // no terminator inside the buffer: not trusted
        parts.emplace_back(buffer + position, end - position);
        position = end + 1;
    }
    if (parts.size() <= 1) return parts;
    std::wstring folder = parts.front();
    if (folder.back() != L'\\' && folder.back() != L'/') folder.push_back(L'\\');
    std::vector<std::wstring> files;
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
    return files;
}

void CFilesForUploadDlg::TakeControls(const UploadPanelControls& controls)
{
    resize = controls.resize;
    removeSizeBar = controls.removeSizeBar;
    individualTags = controls.individualTags;
    tags = controls.tags;
    const std::vector<std::wstring>& sizes = PictureSizeTexts();
    if (controls.sizeIndex >= 0 && static_cast<size_t>(controls.sizeIndex) < sizes.size()) {
        sizeIndex = controls.sizeIndex;
        sizeText = sizes[static_cast<size_t>(sizeIndex)];
    }
}

std::vector<std::wstring> ShowOpenFileDialog(const OpenFileDialogSetup& setup, const char* logCategory)
{
    std::vector<wchar_t> buffer(CFilesForUploadDlg::kFileBufferChars, L'\0');
    std::wstring filter = CFilesForUploadDlg::FilterForDialog(setup.filter);

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = setup.owner;
    dialog.hInstance = ThisModule();
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = CFilesForUploadDlg::kFileBufferChars;
    dialog.lpstrTitle = setup.title.c_str();
    dialog.Flags = setup.flags;
    dialog.lCustData = setup.data;
    dialog.lpfnHook = setup.hook;
    dialog.lpTemplateName = MAKEINTRESOURCEW(setup.panelTemplate);

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&controls);
    if (!GetOpenFileNameW(&dialog)) {
        DWORD error = CommDlgExtendedError();
        if (error != 0) LogWriter(logCategory).Format("FAILED to show the file dialog, error 0x%lx", error);
        return {};
    }
    return CFilesForUploadDlg::SplitChosenFiles(buffer.data(), buffer.size());
}

bool CFilesForUploadDlg::Run()
{
    OpenFileDialogSetup setup;
    setup.owner = owner_;
    setup.filter = FilterText();
    setup.title = Title();
    setup.flags = Flags();
    setup.panelTemplate = IDD_FILES_FOR_UPLOAD;
    setup.hook = PanelProc;
    setup.data = PanelData();
    ScopedTagCompletion completion(completion_);
    files_ = ShowOpenFileDialog(setup, "CFilesForUploadDlg");
    return !files_.empty();
}

INT_PTR CFilesForUploadDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitPanel();
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == CDN_INITDONE) {
            std::wstring upload = LoadModuleString(IDS_UPLOAD_BUTTON);
            if (!upload.empty())
                SendMessageW(GetParent(window_), CDM_SETCONTROLTEXT, IDOK, reinterpret_cast<LPARAM>(upload.c_str()));
            RECT client;
            if (GetClientRect(window_, &client)) OnPanelSize(client.right);
            ScheduleScript();
        } else if (header->code == CDN_FILEOK) {
            TakeControls(ReadControls());
            if (completion_) completion_->Remember(tags);
        }
        return FALSE;  // accept the choice
    }
    case UM_RUN_DIALOG_SCRIPT:
        RunScript(GetParent(window_));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_RESIZE && HIWORD(wParam) == BN_CLICKED) {
            OnResizeClicked();
            return TRUE;
        }
        return FALSE;
    case WM_SIZE:
        OnPanelSize(LOWORD(lParam));
        return FALSE;
    }
    return FALSE;
}

void CFilesForUploadDlg::OnInitPanel()
{
    CheckDlgButton(window_, IDC_RESIZE, resize ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window_, IDC_REMOVE_SIZE_BAR, removeSizeBar ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(window_, IDC_TAGS, tags.c_str());
    CheckDlgButton(window_, IDC_INDIVIDUAL_TAGS, individualTags ? BST_CHECKED : BST_UNCHECKED);
    HWND combo = GetDlgItem(window_, IDC_SIZE_LIST);
    const std::vector<std::wstring>& sizes = PictureSizeTexts();
    for (const std::wstring& text : sizes) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    int index = sizeIndex >= 0 && static_cast<size_t>(sizeIndex) < sizes.size() ? sizeIndex : 2;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    EnableWindow(combo, resize);
    if (completion_) completion_->Attach(GetDlgItem(window_, IDC_TAGS));
}

void CFilesForUploadDlg::OnResizeClicked()
{
    UploadPanelControls controls = ReadControls();
    resize = controls.resize;
    removeSizeBar = controls.removeSizeBar;
    tags = controls.tags;
    individualTags = controls.individualTags;
    EnableWindow(GetDlgItem(window_, IDC_SIZE_LIST), resize);
}

void CFilesForUploadDlg::OnPanelSize(int width)
{
    // The tags edit and the size list grow and shrink with the dialog; the
    // template's right margin is kept.
    RECT margin = {0, 0, 7, 0};
    MapDialogRect(window_, &margin);
    for (int id : {IDC_TAGS, IDC_SIZE_LIST}) {
        HWND control = GetDlgItem(window_, id);
        RECT rect;
        if (!control || !GetWindowRect(control, &rect)) continue;
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
        int newWidth = width - margin.right - rect.left;
        if (id == IDC_SIZE_LIST && newWidth > 260) newWidth = 260;  // a wide list only looks lost
        if (newWidth < 60) newWidth = 60;
        int height = rect.bottom - rect.top;
        RECT dropped;
        // A drop-down list's window height is the height of its open list.
        if (id == IDC_SIZE_LIST && SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped)))
            height = dropped.bottom - dropped.top;
        SetWindowPos(control, nullptr, 0, 0, newWidth, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

UploadPanelControls CFilesForUploadDlg::ReadControls() const
{
    UploadPanelControls controls;
    controls.resize = IsControlChecked(window_, IDC_RESIZE);
    controls.removeSizeBar = IsControlChecked(window_, IDC_REMOVE_SIZE_BAR);
    controls.individualTags = IsControlChecked(window_, IDC_INDIVIDUAL_TAGS);
    controls.tags = ControlText(window_, IDC_TAGS);
    controls.sizeIndex = static_cast<int>(SendDlgItemMessageW(window_, IDC_SIZE_LIST, CB_GETCURSEL, 0, 0));
    return controls;
}
