// Host names of the service; see ServiceConfig.h.
#include "ServiceConfig.h"

namespace devservice {

ServiceHosts::ServiceHosts(const ServiceConfig& config)
    : domain_(config.domain), linkBase_(config.linkBase) {
    auto host = [&](const std::string& prefix) {
        return linkBase_.empty() ? "http://" + prefix + domain_ : linkBase_;
    };
    bare = host("");
    main = host("www.");
    video = host("video.");
    account = host("my.");
    profile = host("profile.");
}

std::string ServiceHosts::load(int n) const {
    return linkBase_.empty() ? "http://load" + std::to_string(n) + "." + domain_ : linkBase_;
}

}  // namespace devservice
