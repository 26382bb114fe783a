// Entry point of the toolbar library: what happens when a process loads and
// unloads it.
#include <windows.h>

#include "browser/ReflectionWnd.h"
#include "browser/VPToolbar.h"
#include "common/ComModule.h"
#include "common/LogWriter.h"
#include "common/VersionStrings.h"
#include "dialogs/SizeLists.h"
#include "module/ClassTable.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    try {
        if (reason == DLL_PROCESS_ATTACH) {
            LogWriter log("MAIN");
            log.Write("Init...");
            ToolbarComModule();
            DisableThreadLibraryCalls(instance);
            VersionStrings::Initialize(instance);
            // The dialogs' choice lists, loaded once before any thread of
            // the module can show a dialog.
            PictureSizeTexts();
            SlideshowSizeTexts();
            EffectTexts();
            BackgroundTexts();
            InstallLibraryDialogs();
            CReflectionWnd::ClassName();
            CVPToolbar::InitializeShared();
            log.Write("Init done");
        } else if (reason == DLL_PROCESS_DETACH) {
            LogWriter log("MAIN");
            log.Write("Process detach...");
            CVPToolbar::DestroyShared();
            ComModule::Instance().Terminate();
            log.Write("Process detach done");
        }
    } catch (...) {
        // Nothing may leave the loader's call.
    }
    return TRUE;
}
