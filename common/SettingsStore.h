// Typed access to the user's settings in the registry. Nothing is cached:
// every getter reads the registry when called, and a value that is missing,
// of the wrong type, empty or out of range reads as its default.
#pragma once

#include <windows.h>

#include <string>

#include "common/Locks.h"
#include "common/RegKey.h"

// Menu command numbers that some settings store as their value.
enum SettingsMenuIds : DWORD {
    kLinkStyleHtml = 37777,
    kLinkStyleForum1 = 37778,
    kLinkStyleForum2 = 37779,
    kLinkStyleFriendLink = 37780,
    kResizeToFirst = 37783,  // "100x75 (avatar)"
    kResizeToDefault = 37785,  // "320x240 (for websites and email)"
    kResizeToLast = 37791,   // "Optimize without resizing"
    kImagesSizeFull = 37800,
    kImagesSizeThumbnail = 37801,
};

class SettingsStore {
public:
    // Creates or opens the settings key and its History subkey; failure is
    // silent (every value then reads as its default and writes go nowhere).
    SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Generic reads on the main key; each answers whether the value was found
    // and valid. Texts are bounded to kMaxTextChars characters.
    bool ReadNumber(const wchar_t* name, DWORD& value) const;
    bool ReadFlag(const wchar_t* name, bool& value) const;
    bool ReadText(const wchar_t* name, std::wstring& value) const;
    bool ReadTime(const wchar_t* name, ULONGLONG& value) const;
    static bool ReadNumber(HKEY key, const wchar_t* name, DWORD& value);
    static bool ReadText(HKEY key, const wchar_t* name, std::wstring& value);

    // Generic writes on the main key; failures are ignored.
    void WriteNumber(const wchar_t* name, DWORD value) const;
    void WriteFlag(const wchar_t* name, bool value) const { WriteNumber(name, value ? 1 : 0); }
    void WriteText(const wchar_t* name, const std::wstring& value) const;
    void WriteTime(const wchar_t* name, ULONGLONG value) const;
    static void WriteText(HKEY key, const wchar_t* name, const std::wstring& value);

    // Typed getters.
    DWORD ImagesSize() const;
    DWORD LinkStyleId() const;
    int LinkStyle() const { return static_cast<int>(LinkStyleId() - kLinkStyleHtml); }
    bool Resize() const { return Flag(L"Resize", false); }
    DWORD ResizeTo() const;
    bool Public() const { return Flag(L"Public", true); }
    bool RemoveSizeBar() const { return Flag(L"RemoveSizeBar", true); }
    bool Tooltips() const { return Flag(L"Tooltips", true); }
    bool TextAreaIndicator() const { return Flag(L"TextAreaIndicator", true); }
    bool ButtonUpload() const { return Flag(L"ButtonUpload", true); }
    bool ButtonSlideshow() const { return Flag(L"ButtonSlideshow", true); }
    bool ButtonScreenshot() const { return Flag(L"ButtonScreenshot", true); }
    bool ButtonMyImages() const { return Flag(L"ButtonMyImages", true); }
    bool ButtonMyVideos() const { return Flag(L"ButtonMyVideos", true); }
    bool ButtonPaste() const { return Flag(L"ButtonPaste", true); }
    bool ButtonLogin() const { return Flag(L"ButtonLogin", true); }
    bool SearchPanel() const { return Flag(L"SearchPanel", true); }
    DWORD ImplicitRetryCount() const { return Number(L"ImplicitRetryCount", 999); }
    std::wstring ScreenShot() const { return Text(L"ScreenShot", L"desktop"); }
    bool NewLineSeparator() const { return Flag(L"NewLineSeparator", true); }
    bool UpdateBrowserAfterUpload() const { return Flag(L"UpdateBrowserAfterUpload", true); }
    DWORD CheckForUpdateInterval() const { return Number(L"CheckForUpdateInterval", 3); }
    ULONGLONG LastCheckForUpdateTime() const;
    bool Logged() const { return Flag(L"Logged", false); }
    std::wstring Uid() const { return Text(L"UID", L""); }
    std::wstring ForceServer() const { return Text(L"ForceServer", L""); }
    DWORD WebMinWidth() const { return Number(L"WebMinWidth", 100); }
    DWORD WebMinHeight() const { return Number(L"WebMinHeight", 100); }
    bool LogEnabled() const { return Flag(L"log", false); }
    DWORD MaxHistory() const;

    // Setters of the values the product writes itself.
    void SetImagesSize(DWORD id) const { WriteNumber(L"ImagesSize", id); }
    void SetLinkStyleId(DWORD id) const { WriteNumber(L"LinkStyleID", id); }
    void SetResize(bool on) const { WriteFlag(L"Resize", on); }
    void SetResizeTo(DWORD id) const { WriteNumber(L"ResizeTo", id); }
    void SetPublic(bool on) const { WriteFlag(L"Public", on); }
    void SetRemoveSizeBar(bool on) const { WriteFlag(L"RemoveSizeBar", on); }
    void SetTooltips(bool on) const { WriteFlag(L"Tooltips", on); }
    void SetTextAreaIndicator(bool on) const { WriteFlag(L"TextAreaIndicator", on); }
    void SetButtonUpload(bool on) const { WriteFlag(L"ButtonUpload", on); }
    void SetButtonSlideshow(bool on) const { WriteFlag(L"ButtonSlideshow", on); }
    void SetButtonScreenshot(bool on) const { WriteFlag(L"ButtonScreenshot", on); }
    void SetButtonMyImages(bool on) const { WriteFlag(L"ButtonMyImages", on); }
    void SetButtonMyVideos(bool on) const { WriteFlag(L"ButtonMyVideos", on); }
    void SetButtonPaste(bool on) const { WriteFlag(L"ButtonPaste", on); }
    void SetButtonLogin(bool on) const { WriteFlag(L"ButtonLogin", on); }
    void SetSearchPanel(bool on) const { WriteFlag(L"SearchPanel", on); }
    void SetImplicitRetryCount(DWORD count) const { WriteNumber(L"ImplicitRetryCount", count); }
    void SetScreenShot(const std::wstring& what) const { WriteText(L"ScreenShot", what); }
    void SetLastCheckForUpdateTime(ULONGLONG seconds) const { WriteTime(L"LastCheckForUpdateTime", seconds); }
    void SetLogged(bool on) const { WriteFlag(L"Logged", on); }
    void SetUid(const std::wstring& uid) const { WriteText(L"UID", uid); }
    void SetWebMinWidth(DWORD px) const { WriteNumber(L"WebMinWidth", px); }
    void SetWebMinHeight(DWORD px) const { WriteNumber(L"WebMinHeight", px); }

    HKEY MainKey() const { return mainKey_; }
    HKEY HistoryKey() const { return historyKey_; }
    // Serialises history writes in this process.
    Lockable& HistoryLock() { return historyLock_; }

    static const DWORD kMaxTextChars = 32 * 1024;

private:
    DWORD Number(const wchar_t* name, DWORD fallback) const;
    bool Flag(const wchar_t* name, bool fallback) const;
    std::wstring Text(const wchar_t* name, const wchar_t* fallback) const;

    RegKey mainKey_;
    RegKey historyKey_;
    CriticalSection historyLock_;
};
