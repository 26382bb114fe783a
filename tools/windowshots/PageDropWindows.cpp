// The page drop's window: a forum's reply field after two pictures were
// dropped on it and hosted, with the link code that the product wrote into
// the text area (through the element target the drop's upload reports to).
#include <windows.h>
#include <mshtml.h>

#include <string>

#include "engine/InternetExplorerImageTarget.h"
#include "engine/UploadResult.h"
#include "support/BrowserDoubles.h"
#include "tools/windowshots/WindowShots.h"

namespace {

LRESULT CALLBACK ReplyPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

CUploadResult HostedPicture(const wchar_t* name)
{
    CUploadResult result;
    result.SetName(name);
    result.SetImageLink((std::wstring(L"http://i.vellumpost.com/albums/a7/holiday/") + name).c_str());
    result.thumbLink = L"http://i.vellumpost.com/albums/a7/holiday/th_" + std::wstring(name);
    result.adLink = L"http://vellumpost.com/holiday/" + std::wstring(name);
    return result;
}

}  // namespace

void OpenPageDropWindow()
{
    auto textArea = vptest::BrowserElement::Create(L"textarea", vptest::BrowserElement::Type::TextArea);
    textArea->innerText = L"Pictures from the coast, as promised:";
    {
        CHTMLElementImageTarget target(vptest::Query<IHTMLElement>(textArea).Get(), nullptr);
        target.OnItemUploaded(HostedPicture(L"beach.jpg"));
        target.OnItemUploaded(HostedPicture(L"hills.png"));
    }

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &ReplyPageProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"VpReplyPage";
    RegisterClassW(&windowClass);
    HWND page = CreateWindowExW(0, windowClass.lpszClassName, L"Reply - forum.example", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                40, 40, 640, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!page) return;
    CreateWindowExW(0, L"STATIC", L"Your reply:", WS_CHILD | WS_VISIBLE, 12, 10, 300, 18, page, nullptr,
                    windowClass.hInstance, nullptr);
    // The text area shows what the page's text area holds: line breaks as the edit control wants them.
    std::wstring shown;
    for (wchar_t c : textArea->innerText) shown += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
    CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", shown.c_str(),
                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 12, 32, 600, 210, page,
                    nullptr, windowClass.hInstance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
