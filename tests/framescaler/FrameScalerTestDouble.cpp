// A stand-in for the outside resize library, built as "FrameScaler.dll" in a
// folder of its own. It records each call and answers the way the test set:
// copy the source to the destination, fail, claim success without writing,
// or write an empty file.
#include <windows.h>

#include <cstring>

namespace {

enum Mode { kCopySource = 0, kFail = 1, kSucceedWithoutFile = 2, kWriteEmptyFile = 3 };

int g_mode = kCopySource;
int g_calls = 0;
int g_width = 0;
int g_height = 0;
char g_source[1024];
char g_destination[1024];

void Remember(char (&target)[1024], const char* text)
{
    std::strncpy(target, text ? text : "", sizeof(target) - 1);
    target[sizeof(target) - 1] = '\0';
}

}  // namespace

extern "C" {

__declspec(dllexport) int __cdecl FrameScaler(const char* source, int width, int height, const char* destination)
{
    ++g_calls;
    g_width = width;
    g_height = height;
    Remember(g_source, source);
    Remember(g_destination, destination);
    switch (g_mode) {
    case kCopySource:
        return CopyFileA(source, destination, FALSE) ? 1 : 0;
    case kSucceedWithoutFile:
        return 1;
    case kWriteEmptyFile: {
        HANDLE file = CreateFileA(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return 1;
    }
    default:
        return 0;
    }
}

// Sets how the next calls answer and forgets earlier calls.
__declspec(dllexport) void __cdecl FrameScalerTestSetMode(int mode)
{
    g_mode = mode;
    g_calls = 0;
    g_width = g_height = 0;
    g_source[0] = g_destination[0] = '\0';
}

// The arguments of the last call; returns the number of calls since the mode was set.
__declspec(dllexport) int __cdecl FrameScalerTestLastCall(const char** source, int* width, int* height,
                                                          const char** destination)
{
    *source = g_source;
    *destination = g_destination;
    *width = g_width;
    *height = g_height;
    return g_calls;
}

}  // extern "C"
