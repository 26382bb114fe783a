// The local development service: plays the Vellumpost service for the
// toolbar on this machine. Upload endpoint with streaming storage, the
// service's pages and cookies, the update document, and under /__devservice/
// the request record and fault injection for tests (see README.md).
#pragma once

#include "FaultQueue.h"
#include "GuardedServer.h"
#include "MediaStore.h"
#include "RequestLog.h"
#include "ServiceConfig.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace devservice {

class DevService {
public:
    explicit DevService(ServiceConfig config);
    ~DevService();
    DevService(const DevService&) = delete;
    DevService& operator=(const DevService&) = delete;

    // Binds the listening socket; port 0 picks a free one. Returns the port,
    // or -1 when binding failed.
    int bind(const std::string& host, int port);
    // Serves until stop(); false when it could not run. While the port
    // refuses connections (refuseFor) it waits, then listens again on it.
    bool run();
    void stop();
    // Closes the listening socket (and idle kept-alive connections) now and
    // opens it again on the same port after ms: meanwhile every connection
    // attempt is refused, as by a service that is down.
    void refuseFor(int ms);
    bool isRunning() const { return server_.is_running(); }

    const RequestLog& requestLog() const { return log_; }
    const MediaStore& store() const { return store_; }

    static constexpr const char* kInspectPrefix = "/__devservice";

private:
    void addRoutes();
    void addInspectionRoutes();
    void handleUpload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
    void serveStoredFile(const httplib::Request& req, httplib::Response& res);
    RequestRecord beginRecord(const httplib::Request& req);
    void recordPageRequest(const httplib::Request& req, const httplib::Response& res);
    std::string configJson();
    std::string userOf(const httplib::Request& req) const;
    std::uint64_t maxBody(const std::string& method, const std::string& path);

    ServiceConfig config_;  // guarded by configMutex_ after start
    std::mutex configMutex_;
    ServiceHosts hosts_;
    MediaStore store_;
    RequestLog log_;
    FaultQueue faults_;
    std::string lastChallenge_;  // guarded by configMutex_
    std::atomic<unsigned> slideshows_{0};
    std::string host_;
    int port_ = 0;
    std::mutex listenMutex_;  // guards the three below
    std::condition_variable listenWake_;
    std::chrono::steady_clock::time_point refuseUntil_;
    bool refusing_ = false;
    bool stopping_ = false;
    GuardedServer server_;
};

}  // namespace devservice
