// Armed faults; see FaultQueue.h.
#include "FaultQueue.h"

#include "Text.h"

namespace devservice {

std::string Fault::describe() const {
    std::string out;
    auto add = [&](const std::string& item) { out += (out.empty() ? "" : ",") + item; };
    if (httpStatus) add("status=" + std::to_string(httpStatus));
    if (!errorId.empty()) add("error=" + errorId);
    if (body == Body::NotXml) add("body=not_xml");
    if (body == Body::Empty) add("body=empty");
    if (answer) add("answer");
    if (delayMs) add("delay_ms=" + std::to_string(delayMs));
    if (closeAfter >= 0) add("close_after=" + std::to_string(closeAfter));
    if (readRate) add("read_rate=" + std::to_string(readRate));
    if (forMs) add("for_ms=" + std::to_string(forMs));
    return out;
}

std::string Fault::toJson() const {
    return "{\"count\":" + std::to_string(count) + ",\"status\":" + std::to_string(httpStatus) +
           ",\"error\":" + jsonString(errorId) + ",\"body\":" +
           jsonString(body == Body::NotXml ? "not_xml" : body == Body::Empty ? "empty" : "") +
           ",\"answer\":" + (answer ? jsonString(*answer) : "null") +
           ",\"delay_ms\":" + std::to_string(delayMs) + ",\"close_after\":" + std::to_string(closeAfter) +
           ",\"read_rate\":" + std::to_string(readRate) + ",\"for_ms\":" + std::to_string(forMs) + "}";
}

std::optional<Fault> faultFromParams(const std::multimap<std::string, std::string>& params, std::string& error) {
    Fault fault;
    bool effect = false;
    for (const auto& [name, value] : params) {
        std::int64_t n = 0;
        if (name == "count") {
            if (!readInteger(value, 1, 1000000, n)) { error = "count must be 1..1000000"; return std::nullopt; }
            fault.count = static_cast<int>(n);
        } else if (name == "status") {
            if (!readInteger(value, 100, 599, n)) { error = "status must be 100..599"; return std::nullopt; }
            fault.httpStatus = static_cast<int>(n);
            effect = true;
        } else if (name == "error") {
            if (value.empty()) { error = "error needs an id"; return std::nullopt; }
            fault.errorId = value;
            effect = true;
        } else if (name == "body") {
            if (value == "not_xml") fault.body = Fault::Body::NotXml;
            else if (value == "empty") fault.body = Fault::Body::Empty;
            else { error = "body must be not_xml or empty"; return std::nullopt; }
            effect = true;
        } else if (name == "answer") {
            fault.answer = value;
            effect = true;
        } else if (name == "delay_ms") {
            if (!readInteger(value, 0, 600000, n)) { error = "delay_ms must be 0..600000"; return std::nullopt; }
            fault.delayMs = static_cast<int>(n);
            effect = true;
        } else if (name == "close_after") {
            if (!readInteger(value, 0, INT64_MAX / 2, n)) { error = "close_after must be >= 0"; return std::nullopt; }
            fault.closeAfter = n;
            effect = true;
        } else if (name == "read_rate") {
            if (!readInteger(value, 1, INT64_MAX / 2, n)) { error = "read_rate must be >= 1"; return std::nullopt; }
            fault.readRate = n;
            effect = true;
        } else if (name == "for_ms") {
            if (!readInteger(value, 1, 3600000, n)) { error = "for_ms must be 1..3600000"; return std::nullopt; }
            fault.forMs = n;
        } else {
            error = "unknown parameter " + name;
            return std::nullopt;
        }
    }
    if (!effect) {
        error = "no effect given (status, error, body, answer, delay_ms, close_after, read_rate)";
        return std::nullopt;
    }
    return fault;
}

void FaultQueue::arm(const Fault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(fault);
    faults_.back().armedAt = std::chrono::steady_clock::now();
}

std::optional<Fault> FaultQueue::takeForUpload() {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    while (!faults_.empty() && faults_.front().forMs &&
           now - faults_.front().armedAt >= std::chrono::milliseconds(faults_.front().forMs))
        faults_.pop_front();
    if (faults_.empty())
        return std::nullopt;
    if (faults_.front().forMs)
        return faults_.front();
    Fault fault = faults_.front();
    if (--faults_.front().count <= 0)
        faults_.pop_front();
    fault.count = 1;
    return fault;
}

void FaultQueue::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
}

std::string FaultQueue::toJson() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out = "[";
    for (const Fault& fault : faults_)
        out += (out.size() > 1 ? "," : "") + fault.toJson();
    return out + "]";
}

}  // namespace devservice
