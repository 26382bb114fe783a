// Faults that tests arm for the next uploads: each armed fault applies to
// the next `count` requests to the upload endpoint, in the order armed, or,
// with `for_ms`, to every upload until that long after it was armed (a
// service that stays unavailable for a while).
// One fault may combine several effects (for example a delay and a status).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace devservice {

struct Fault {
    enum class Body { Normal, NotXml, Empty };

    int count = 1;
    int httpStatus = 0;           // answer with this HTTP status (not 0)
    std::string errorId;          // answer with an XML error of this id
    Body body = Body::Normal;     // answer with a body that is not XML, or none
    std::optional<std::string> answer;  // answer with exactly this body (status 200)
    int delayMs = 0;              // wait this long before answering
    std::int64_t closeAfter = -1; // close the connection after this many form-data bytes
    std::int64_t readRate = 0;    // read the body at most this many bytes per second
    std::int64_t forMs = 0;       // not 0: every upload until this long after arming, whatever count says
    std::chrono::steady_clock::time_point armedAt;

    std::string describe() const;  // "status=503,delay_ms=200", for records
    std::string toJson() const;
};

// Reads a fault from request parameters: count, status, error, body
// (not_xml|empty), answer (a crafted body), delay_ms, close_after, read_rate, for_ms. Returns nothing and sets
// error when a value is invalid or no effect is given.
std::optional<Fault> faultFromParams(const std::multimap<std::string, std::string>& params, std::string& error);

class FaultQueue {
public:
    void arm(const Fault& fault);
    std::optional<Fault> takeForUpload();  // the fault for the next upload, if any
    void clear();
    std::string toJson() const;  // the armed faults with their remaining counts

private:
    mutable std::mutex mutex_;
    std::deque<Fault> faults_;
};

}  // namespace devservice
