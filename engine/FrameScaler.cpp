// Run-time binding to the optional outside resize library.
#include "engine/FrameScaler.h"

#include <vector>

#include "common/LogWriter.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

std::wstring ThisImageFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), buffer.data(),
                                                static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            const size_t separator = path.find_last_of(L"\\/");
            return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
        }
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

// The path in the system code page; false when a character has no exact
// narrow form (the library would then be handed a different file name).
bool ToSystemCodePage(const std::wstring& text, std::string& narrow)
{
    narrow.clear();
    if (text.empty()) return true;
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return false;
    narrow.resize(static_cast<size_t>(length));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()), &narrow[0],
                        length, nullptr, &usedDefault);
    return !usedDefault;
}

}  // namespace

FrameScaler::FrameScaler(std::wstring folder) : folder_(std::move(folder))
{
    if (!folder_.empty() && folder_.back() != L'\\' && folder_.back() != L'/') folder_ += L'\\';
    libraryPath_ = folder_ + kLibraryName;
}

FrameScaler::~FrameScaler()
{
    if (module_) FreeLibrary(module_);
}

FrameScaler& FrameScaler::Shared()
{
    // Never destroyed: unloading a library while the process ends is unsafe.
    static FrameScaler* shared = new FrameScaler(ThisImageFolder());
    return *shared;
}

FrameScaler::ScaleFunction FrameScaler::Function()
{
    ScopedLock lock(lock_);
    if (loadTried_) return scale_;
    loadTried_ = true;
    if (folder_.empty()) return nullptr;

    // The library is loaded with the toolbar's folder as current directory and
    // with that folder searched for its own dependencies; the caller's current
    // directory is given back afterwards.
    std::wstring previous(MAX_PATH + 1, L'\0');
    const DWORD previousLength = GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), &previous[0]);
    const bool restore = previousLength > 0 && previousLength < previous.size();
    previous.resize(restore ? previousLength : 0);
    SetCurrentDirectoryW(folder_.c_str());
    module_ = LoadLibraryExW(libraryPath_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD loadError = GetLastError();
    if (restore) SetCurrentDirectoryW(previous.c_str());

    LogWriter log("FrameScaler");
    if (!module_) {
        log.Format("Outside resize library not loaded (error %lu)", static_cast<unsigned long>(loadError));
        return nullptr;
    }
    scale_ = reinterpret_cast<ScaleFunction>(GetProcAddress(module_, kExportName));
    if (!scale_) {
        log.Write("Outside resize library has no export FrameScaler");
        FreeLibrary(module_);
        module_ = nullptr;
    }
    return scale_;
}

bool FrameScaler::IsAvailable()
{
    return Function() != nullptr;
}

bool FrameScaler::Scale(const std::wstring& source, int width, int height, const std::wstring& destination)
{
    const ScaleFunction scale = Function();
    if (!scale) return false;
    std::string narrowSource, narrowDestination;
    if (!ToSystemCodePage(source, narrowSource) || !ToSystemCodePage(destination, narrowDestination)) {
        LogWriter("FrameScaler").Write("Path has no system code page form: ", source.c_str());
        return false;
    }
    return scale(narrowSource.c_str(), width, height, narrowDestination.c_str()) != 0;
}
