// The development service as the integration tests see it: its address (from
// the state folder the CTest fixture wrote), its request record and its fault
// switches, and the setting that points the toolbar at it.
#pragma once

#include <string>

#include "support/Json.h"

namespace vptest {

class DevService {
public:
    // Reads the port; a test that cannot find the service fails.
    DevService();

    bool Available() const { return port_ != 0; }
    unsigned short Port() const { return port_; }
    std::wstring Host() const;                     // "127.0.0.1:PORT"
    std::wstring Url(const std::wstring& path) const;

    // Writes ForceServer = Host() into the (sandboxed) settings.
    void PointToolbarHere() const;

    // GET or POST (no body) on the service; the body of the answer, or empty.
    std::string Get(const std::wstring& path) const;
    std::string Post(const std::wstring& path) const;

    void Reset() const { Post(L"/__devservice/reset"); }
    // Arms a fault, e.g. "status=503&count=2".
    void ArmFault(const std::wstring& query) const { Post(L"/__devservice/faults?" + query); }
    // Arms the next count uploads to be answered with exactly text (UTF-8).
    void ArmAnswer(const std::string& text, int count = 1) const;
    Json Requests() const { return Json::Parse(Get(L"/__devservice/requests")); }

private:
    unsigned short port_ = 0;
};

}  // namespace vptest
