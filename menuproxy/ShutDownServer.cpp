// Stopping a running server (see the header).
#include "menuproxy/ShutDownServer.h"

STDMETHODIMP CShutDownServer::ShutDown()
{
    LogWriter().Write("ShutDown server");
    // Calls arrive on the server's thread, whose message loop takes the quit
    // message as a stop request once the answer is on its way.
    PostQuitMessage(0);
    return S_OK;
}
