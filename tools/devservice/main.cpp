// vellumpost-devservice: runs the local development service until SIGTERM
// or SIGINT. The first line of standard output is the port it listens on.
#include "DevService.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

namespace {

const char kUsage[] =
    "usage: vellumpost-devservice [options]\n"
    "  --port N             port to listen on (0: any free port; default 8080)\n"
    "  --host ADDR          address to listen on (default 127.0.0.1)\n"
    "  --data DIR           folder for stored files (default ./devservice-data)\n"
    "  --max-file-size N    uploads above N bytes (suffix K, M or G) get file_too_big\n"
    "  --update-version V   version in /update.xml\n"
    "  --update-link URL    link in /update.xml\n"
    "  --domain NAME        the service's bare domain (default vellumpost.com)\n"
    "  --link-base URL      build links on URL (such as http://127.0.0.1:8080)\n"
    "  --quiet              no request log on standard error\n";

bool parseSize(const std::string& text, std::uint64_t& out) {
    if (text.empty() || text.size() > 15)
        return false;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str())
        return false;
    std::uint64_t unit = 1;
    const std::string suffix = end;
    if (suffix == "K" || suffix == "k") unit = 1024;
    else if (suffix == "M" || suffix == "m") unit = 1024 * 1024;
    else if (suffix == "G" || suffix == "g") unit = 1024ull * 1024 * 1024;
    else if (!suffix.empty()) return false;
    out = value * unit;
    return true;
}

int usageError(const std::string& message) {
    std::cerr << "vellumpost-devservice: " << message << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    devservice::ServiceConfig config;
    std::string host = "127.0.0.1";
    int port = 8080;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--quiet") {
            config.quiet = true;
        } else if (arg == "--port" || arg == "--host" || arg == "--data" || arg == "--max-file-size" ||
                   arg == "--update-version" || arg == "--update-link" || arg == "--domain" || arg == "--link-base") {
            const char* v = value();
            if (!v)
                return usageError(arg + " needs a value");
            if (arg == "--port") {
                char* end = nullptr;
                const long n = std::strtol(v, &end, 10);
                if (*end || n < 0 || n > 65535)
                    return usageError("bad port " + std::string(v));
                port = static_cast<int>(n);
            } else if (arg == "--host") {
                host = v;
            } else if (arg == "--data") {
                config.dataDir = v;
            } else if (arg == "--max-file-size") {
                if (!parseSize(v, config.maxFileSize))
                    return usageError("bad size " + std::string(v));
            } else if (arg == "--update-version") {
                config.updateVersion = v;
            } else if (arg == "--update-link") {
                config.updateLink = v;
            } else if (arg == "--domain") {
                config.domain = v;
            } else {
                config.linkBase = v;
            }
        } else {
            return usageError("unknown option " + arg);
        }
    }

    // SIGTERM and SIGINT are taken by one thread that stops the server, so
    // no handler runs inside the server's threads.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        devservice::DevService service(config);
        const int bound = service.bind(host, port);
        if (bound < 0) {
            std::cerr << "vellumpost-devservice: cannot listen on " << host << ":" << port << "\n";
            return 1;
        }
        std::printf("%d\n", bound);
        std::fflush(stdout);
        if (!config.quiet)
            std::fprintf(stderr, "vellumpost-devservice: http://%s:%d/ data %s\n", host.c_str(), bound,
                         config.dataDir.c_str());

        std::thread stopper([&] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            service.stop();
        });
        const bool ran = service.run();
        // Wake the stopper when the server ended by itself.
        pthread_kill(stopper.native_handle(), SIGTERM);
        stopper.join();
        return ran ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "vellumpost-devservice: " << e.what() << "\n";
        return 1;
    }
}
