// The main job's driver: loads the toolbar library the way a browser does and
// reports what it sees, and uploads through its registered classes. Run under
// Wine by scripts/run.
//
//   vpdriver info <VellumpostToolbar.dll>   version texts, exports and settings
//   vpdriver upload <samples folder>        upload, transload and slideshow of the samples
//   vpdriver samples <folder>               (re)writes the sample files
//   vpdriver installation <folder>          registrations and versions of an installed copy
//   vpdriver version <file>                 a file's version, compared with this build's
//   vpdriver hold <library> <held> <release> keeps the library loaded while the test updates or uninstalls
//   vpdriver explorer <samples folder> [browser record]
//                                           right-click upload through the 64-bit extension
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/VersionStrings.h"
#include "tools/driver/Installation.h"
#include "tools/driver/ExplorerJob.h"
#include "tools/driver/Samples.h"
#include "tools/driver/UploadJob.h"

namespace {

void Line(const char* name, const std::wstring& value)
{
    std::printf("  %-26s %s\n", name, Narrow(value, CP_UTF8).c_str());
}

void Line(const char* name, DWORD value) { std::printf("  %-26s %lu\n", name, value); }

void Flag(const char* name, bool value) { std::printf("  %-26s %s\n", name, value ? "on" : "off"); }

int Info(const wchar_t* library)
{
    HMODULE module = LoadLibraryW(library);
    if (!module) {
        std::printf("cannot load %s (error %lu)\n", Narrow(library).c_str(), GetLastError());
        return 1;
    }
    std::printf("Toolbar library loaded: %s\n", Narrow(library).c_str());

    int missing = 0;
    std::printf("Exports:\n");
    for (const char* name : {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"}) {
        bool present = GetProcAddress(module, name) != nullptr;
        std::printf("  %-26s %s\n", name, present ? "present" : "MISSING");
        if (!present) ++missing;
    }

    VersionStrings::Initialize(module);
    std::printf("Version strings:\n");
    Line("ProductVersion", VersionStrings::ProductVersion());
    Line("VersionCookie", VersionStrings::VersionCookie());
    Line("Product name", VersionStrings::ProductName());
    Line("UserAgent", VersionStrings::UserAgent());

    SettingsStore store;
    std::printf("Settings (HKEY_CURRENT_USER\\%s; defaults where unset):\n", Narrow(SettingsKeyPath()).c_str());
    Line("ImagesSize", store.ImagesSize());
    Line("LinkStyleID", store.LinkStyleId());
    Flag("Resize", store.Resize());
    Line("ResizeTo", store.ResizeTo());
    Flag("Public", store.Public());
    Flag("RemoveSizeBar", store.RemoveSizeBar());
    Flag("Tooltips", store.Tooltips());
    Flag("TextAreaIndicator", store.TextAreaIndicator());
    Flag("ButtonUpload", store.ButtonUpload());
    Flag("ButtonSlideshow", store.ButtonSlideshow());
    Flag("ButtonScreenshot", store.ButtonScreenshot());
    Flag("ButtonMyImages", store.ButtonMyImages());
    Flag("ButtonMyVideos", store.ButtonMyVideos());
    Flag("ButtonPaste", store.ButtonPaste());
    Flag("ButtonLogin", store.ButtonLogin());
    Flag("SearchPanel", store.SearchPanel());
    Line("ImplicitRetryCount", store.ImplicitRetryCount());
    Line("ScreenShot", store.ScreenShot());
    Flag("NewLineSeparator", store.NewLineSeparator());
    Flag("UpdateBrowserAfterUpload", store.UpdateBrowserAfterUpload());
    Line("CheckForUpdateInterval", store.CheckForUpdateInterval());
    std::printf("  %-26s %llu\n", "LastCheckForUpdateTime", store.LastCheckForUpdateTime());
    Flag("Logged", store.Logged());
    Line("UID", store.Uid());
    Line("ForceServer", store.ForceServer());
    Line("WebMinWidth", store.WebMinWidth());
    Line("WebMinHeight", store.WebMinHeight());
    Flag("log", store.LogEnabled());
    Line("MaxHistory", store.MaxHistory());
    FreeLibrary(module);
    return missing == 0 ? 0 : 1;
}

int Usage()
{
    std::printf("usage: vpdriver info <VellumpostToolbar.dll>\n"
                "       vpdriver upload <samples folder>\n"
                "       vpdriver samples <folder>\n"
                "       vpdriver installation <folder>\n"
                "       vpdriver version <file>\n"
                "       vpdriver hold <library> <held marker> <release marker>\n"
                "       vpdriver explorer <samples folder> [browser record]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return Usage();
    std::wstring command = argv[1];
    if (command == L"info" && argc == 3) return Info(argv[2]);
    if (command == L"upload" && argc == 3) return RunUploadJob(argv[2]);
    if (command == L"samples" && argc == 3) return MakeSamples(argv[2]);
    if (command == L"installation" && argc == 3) return CheckInstallation(argv[2]);
    if (command == L"version" && argc == 3) return CheckFileVersion(argv[2]);
    if (command == L"hold" && argc == 5) return HoldLibrary(argv[2], argv[3], argv[4]);
    if (command == L"explorer" && (argc == 3 || argc == 4)) return RunExplorerJob(argv[2], argc == 4 ? argv[3] : L"");
    return Usage();
}
