// Entry point of the context menu proxy server program.
#include <windows.h>

#include "menuproxy/ProxyServer.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int)
{
    return ProxyMain(commandLine);
}
