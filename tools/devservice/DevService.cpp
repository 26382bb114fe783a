// Routes and request handling of the development service; see DevService.h.
#include "DevService.h"

#include "Digest.h"
#include "FormReceiver.h"
#include "Pages.h"
#include "Text.h"
#include "Transload.h"
#include "UploadAnswer.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <random>
#include <thread>

namespace devservice {
namespace {

using httplib::Request;
using httplib::Response;

constexpr std::size_t kMaxPageBody = 4 * 1024 * 1024;
constexpr std::uint64_t kUploadFieldRoom = 16 * 1024 * 1024;

std::string cookieValue(const std::vector<std::pair<std::string, std::string>>& cookies, const std::string& name) {
    for (const auto& [key, value] : cookies)
        if (key == name)
            return value;
    return {};
}

bool hasCookie(const std::vector<std::pair<std::string, std::string>>& cookies, const std::string& name) {
    for (const auto& cookie : cookies)
        if (cookie.first == name)
            return true;
    return false;
}

std::vector<std::pair<std::string, std::string>> cookiesOf(const Request& req) {
    std::vector<std::pair<std::string, std::string>> out;
    const std::size_t count = req.get_header_value_count("Cookie");
    for (std::size_t i = 0; i < count; ++i)
        for (auto& cookie : parseCookieHeader(req.get_header_value("Cookie", i)))
            out.push_back(std::move(cookie));
    return out;
}

// All values of a form field, from the query, a url-encoded body or a
// multipart body, in the order sent.
std::vector<std::string> formValues(const Request& req, const std::string& name) {
    std::vector<std::string> out;
    auto params = req.params.equal_range(name);
    for (auto it = params.first; it != params.second; ++it)
        out.push_back(it->second);
    auto parts = req.files.equal_range(name);
    for (auto it = parts.first; it != parts.second; ++it)
        out.push_back(it->second.content);
    return out;
}

std::string formValue(const Request& req, const std::string& name) {
    auto values = formValues(req, name);
    return values.empty() ? std::string() : values.front();
}

std::string randomHex(std::size_t digits) {
    static thread_local std::mt19937_64 random(std::random_device{}());
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < digits; ++i)
        out += hex[random() & 15];
    return out;
}

// A cookie value the service hands out: printable, without separators.
std::string cookieSafe(const std::string& text) {
    std::string out;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)) || std::string("._-@+").find(c) != std::string::npos)
            out += c;
    return out.substr(0, 128);
}

std::uint16_t portOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return 0;
}

// Cuts the connection a request arrived on, without an answer: the
// socket is found among the process's descriptors by its two ports.
bool abortConnection(const Request& req) {
    DIR* fds = opendir("/proc/self/fd");
    if (!fds)
        return false;
    bool done = false;
    while (dirent* entry = readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2 || fd == dirfd(fds))
            continue;
        sockaddr_storage local{}, peer{};
        socklen_t localSize = sizeof local, peerSize = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
            continue;
        if (portOf(local) == req.local_port && portOf(peer) == req.remote_port) {
            linger hard{1, 0};  // reset rather than an orderly close
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            shutdown(fd, SHUT_RDWR);
            done = true;
            break;
        }
    }
    closedir(fds);
    return done;
}

const unsigned char kVideoThumbGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00,
                                        0x80, 0x80, 0x80, 0xff, 0xff, 0xff, 0x21, 0xf9, 0x04, 0x01, 0x00, 0x00, 0x00,
                                        0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02,
                                        0x44, 0x01, 0x00, 0x3b};

}  // namespace

DevService::DevService(ServiceConfig config)
    : config_(std::move(config)), hosts_(config_), store_(config_.dataDir),
      server_(RequestLimits{64 * 1024, 128, [this](const std::string& method, const std::string& path) {
                                return maxBody(method, path);
                            }}) {
    // A client that goes away while an answer is written must not end the
    // process.
    std::signal(SIGPIPE, SIG_IGN);
    server_.set_read_timeout(60);
    server_.set_write_timeout(60);
    server_.set_keep_alive_max_count(1000);
    server_.set_keep_alive_timeout(15);
    addRoutes();
    addInspectionRoutes();
}

DevService::~DevService() { stop(); }

int DevService::bind(const std::string& host, int port) {
    host_ = host;
    port_ = port == 0 ? server_.bind_to_any_port(host) : server_.bind_to_port(host, port) ? port : -1;
    return port_;
}

bool DevService::run() {
    for (;;) {
        const bool served = server_.listen_after_bind();
        std::unique_lock<std::mutex> lock(listenMutex_);
        if (stopping_ || !refusing_)
            return served;
        listenWake_.wait_until(lock, refuseUntil_, [this] { return stopping_; });
        refusing_ = false;
        if (stopping_)
            return served;
        // The port was ours a moment ago; the socket is made reusable at once.
        if (!server_.bind_to_port(host_, port_))
            return false;
    }
}

void DevService::stop() {
    {
        std::lock_guard<std::mutex> lock(listenMutex_);
        stopping_ = true;
    }
    listenWake_.notify_all();
    server_.stop();
}

void DevService::refuseFor(int ms) {
    {
        std::lock_guard<std::mutex> lock(listenMutex_);
        if (stopping_)
            return;
        refusing_ = true;
        refuseUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    }
    server_.stop();
}

std::string DevService::userOf(const Request& req) const { return cookieValue(cookiesOf(req), "myimages"); }

// Page forms are read into memory, so they stay small. Uploads stream to disk
// and may carry a file and a thumbnail up to the file limit each, with room
// for the text fields; the limit bounds the disk an upload can fill.
std::uint64_t DevService::maxBody(const std::string& method, const std::string& path) {
    if (method != "POST" || path != "/upload_api.php")
        return kMaxPageBody;
    std::lock_guard<std::mutex> lock(configMutex_);
    const std::uint64_t file = std::min<std::uint64_t>(config_.maxFileSize, std::uint64_t{1} << 60);
    return 2 * file + kUploadFieldRoom;
}

RequestRecord DevService::beginRecord(const Request& req) {
    RequestRecord record;
    record.seq = log_.nextSeq();
    record.method = req.method;
    record.target = req.target;
    record.path = req.path;
    record.remote = req.remote_addr;
    for (const auto& header : req.headers)
        record.headers.push_back(header);
    record.cookies = cookiesOf(req);
    if (hasCookie(record.cookies, "IMGTRESPONSE")) {
        ChallengeRecord& check = record.challenge;
        check.response = cookieValue(record.cookies, "IMGTRESPONSE");
        check.challenge = cookieValue(record.cookies, "IMGTCHALLENGE");
        if (check.challenge.empty()) {
            std::lock_guard<std::mutex> lock(configMutex_);
            check.challenge = lastChallenge_;
        }
        if (check.challenge.empty()) {
            check.verdict = "no_challenge";
        } else {
            check.expected = challengeResponse(check.challenge);
            check.verdict = check.response == check.expected ? "valid" : "invalid";
        }
    }
    return record;
}

void DevService::recordPageRequest(const Request& req, const Response& res) {
    if (req.path.rfind(kInspectPrefix, 0) == 0 || (req.method == "POST" && req.path == "/upload_api.php"))
        return;
    RequestRecord record = beginRecord(req);
    for (const auto& [name, value] : req.params) {
        FieldRecord field;
        field.name = name;
        field.value = value.substr(0, FieldRecord::kMaxFieldValue);
        field.size = value.size();
        record.fields.push_back(field);
    }
    for (const auto& [name, part] : req.files) {
        FieldRecord field;
        field.name = name;
        field.size = part.content.size();
        if (part.filename.empty()) {
            field.value = part.content.substr(0, FieldRecord::kMaxFieldValue);
        } else {
            field.isFile = true;
            field.fileName = part.filename;
            field.contentType = part.content_type;
            field.sha256 = sha256Hex(part.content);
        }
        record.fields.push_back(field);
    }
    record.bodyBytes = req.body.size();
    record.status = res.status;
    record.outcome = res.status == 404 ? "not_found" : "served";
    log_.add(std::move(record));
}

void DevService::addRoutes() {
    // Page forms are read into memory: keep them small. Uploads stream.
    server_.set_pre_routing_handler([](const Request& req, Response& res) {
        if (req.method == "POST" && req.path != "/upload_api.php" &&
            req.get_header_value<uint64_t>("Content-Length") > kMaxPageBody) {
            res.status = 413;
            res.set_content("Request body too large\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server_.set_post_routing_handler([this](const Request& req, Response& res) { recordPageRequest(req, res); });
    server_.set_exception_handler([](const Request&, Response& res, std::exception_ptr error) {
        std::string what = "unknown error";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        res.status = 500;
        res.set_content("Internal error: " + what + "\n", "text/plain");
    });
    server_.set_logger([this](const Request& req, const Response& res) {
        if (!config_.quiet)
            std::fprintf(stderr, "%s %s %d\n", req.method.c_str(), req.target.c_str(), res.status);
    });

    server_.Post("/upload_api.php", [this](const Request& req, Response& res, const httplib::ContentReader& reader) {
        handleUpload(req, res, reader);
    });
    server_.Get(R"(/[ivt]/[0-9a-f]+/[^/]+)", [this](const Request& req, Response& res) { serveStoredFile(req, res); });
    server_.Get("/images/video_thumb.gif", [](const Request&, Response& res) {
        res.set_content(reinterpret_cast<const char*>(kVideoThumbGif), sizeof kVideoThumbGif, "image/gif");
    });

    auto html = [](Response& res, const std::string& text) { res.set_content(text, "text/html; charset=windows-1252"); };
    auto context = [this](const Request& req) { return PageContext{store_, hosts_, userOf(req)}; };

    server_.Get("/", [=](const Request& req, Response& res) { html(res, homePage(context(req))); });
    auto results = [=](const Request& req, Response& res) {
        html(res, resultsPage(context(req), formValues(req, "id[]"), formValues(req, "public[]")));
    };
    server_.Post("/toolbar/pictures.php", results);
    server_.Get("/toolbar/pictures.php", results);
    auto blog = [=](const Request& req, Response& res) { html(res, blogPage(context(req), formValue(req, "id"))); };
    server_.Get("/blogpost/postblog.php", blog);
    server_.Post("/blogpost/postblog.php", blog);
    server_.Post("/slideshow/import.php", [=](const Request& req, Response& res) {
        SlideshowRequest request;
        request.urls = formValues(req, "url[]");
        request.isPublic = formValue(req, "public");
        request.finalize = formValue(req, "finalize");
        request.optsize = formValue(req, "optsize");
        request.fadein = formValue(req, "fadein");
        request.background = formValue(req, "background");
        html(res, slideshowPage(context(req), request, "s" + std::to_string(++slideshows_)));
    });
    server_.Get("/update.xml", [this](const Request&, Response& res) {
        std::lock_guard<std::mutex> lock(configMutex_);
        res.set_content(updateDocument(config_.updateVersion, config_.updateLink), "text/xml");
    });
    server_.Get("/registration/setlogin.php", [=](const Request& req, Response& res) {
        const std::string user = cookieSafe(formValue(req, "login"));
        if (user.empty()) {
            res.status = 400;
            html(res, loginPage("nobody (no login given)"));
            return;
        }
        const std::string challenge = randomHex(16);
        {
            std::lock_guard<std::mutex> lock(configMutex_);
            lastChallenge_ = challenge;
        }
        res.set_header("Set-Cookie", "myimages=" + user + "; path=/");
        res.set_header("Set-Cookie", "IMGTCHALLENGE=" + challenge + "; path=/");
        html(res, loginPage(user));
    });
    server_.Get("/registration/logout.php", [=](const Request&, Response& res) {
        for (const char* name : {"myimages", "IMGTCHALLENGE"})
            res.set_header("Set-Cookie", std::string(name) + "=; expires=Thu, 01 Jan 1970 00:00:00 GMT; Max-Age=0; path=/");
        html(res, logoutPage());
    });
    server_.Get("/v_images.php", [=](const Request& req, Response& res) { html(res, userItemsPage(context(req), false)); });
    server_.Get("/video/my_videos.php", [=](const Request& req, Response& res) {
        html(res, userItemsPage(context(req), true));
    });
    server_.Get("/search.php", [=](const Request& req, Response& res) {
        html(res, searchPage(context(req), formValue(req, "q")));
    });
    server_.Get("/content.php", [=](const Request& req, Response& res) {
        html(res, contentPage(context(req), formValue(req, "page"), formValue(req, "id")));
    });
    server_.Get(R"(/view/([0-9a-f]+)/([^/]+))", [=](const Request& req, Response& res) {
        const std::string id = req.matches[1], name = req.matches[2];
        auto item = store_.findByShortLink("i/" + id + "/" + name);
        if (!item)
            item = store_.findByShortLink("v/" + id + "/" + name);
        if (!item) {
            res.status = 404;
            html(res, "Not found\n");
            return;
        }
        html(res, itemPage(context(req), *item));
    });
}

void DevService::serveStoredFile(const Request& req, Response& res) {
    const auto path = store_.fileForPath(req.path);
    std::error_code ec;
    const auto size = path ? std::filesystem::file_size(*path, ec) : 0;
    if (!path || ec) {
        res.status = 404;
        res.set_content("Not found\n", "text/plain");
        return;
    }
    auto file = std::make_shared<std::ifstream>(*path, std::ios::binary);
    res.set_content_provider(
        static_cast<std::size_t>(size), contentTypeFor(req.path),
        [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            char buffer[64 * 1024];
            file->seekg(static_cast<std::streamoff>(offset));
            file->read(buffer, static_cast<std::streamsize>(std::min(length, sizeof buffer)));
            const auto got = file->gcount();
            if (got <= 0)
                return false;
            return sink.write(buffer, static_cast<std::size_t>(got));
        });
}

void DevService::handleUpload(const Request& req, Response& res, const httplib::ContentReader& reader) {
    RequestRecord record = beginRecord(req);
    const std::optional<Fault> fault = faults_.takeForUpload();
    if (fault)
        record.fault = fault->describe();
    std::uint64_t maxSize;
    {
        std::lock_guard<std::mutex> lock(configMutex_);
        maxSize = config_.maxFileSize;
    }

    FormReceiver form(store_, maxSize);
    std::uint64_t bytes = 0;
    bool aborted = false, writeFailed = false;
    const auto started = std::chrono::steady_clock::now();
    const std::int64_t closeAfter = fault ? fault->closeAfter : -1;
    // The record is complete before the connection goes, so a client that
    // sees the cut can read it at once.
    auto cut = [&] {
        form.finish();
        RequestRecord closed = record;
        closed.fields = form.fields();
        closed.bodyBytes = bytes;
        closed.outcome = "closed";
        log_.add(std::move(closed));
        aborted = true;
        if (!abortConnection(req))
            res.set_header("Connection", "close");
        return false;
    };
    auto throttle = [&] {
        if (!fault || fault->readRate <= 0)
            return;
        const auto due = started + std::chrono::microseconds(static_cast<std::int64_t>(
                                       static_cast<double>(bytes) * 1e6 / static_cast<double>(fault->readRate)));
        std::this_thread::sleep_until(due);
    };
    auto receive = [&](const char* data, std::size_t size) {
        if (closeAfter >= 0 && bytes + size > static_cast<std::uint64_t>(closeAfter)) {
            const auto keep = static_cast<std::size_t>(closeAfter - static_cast<std::int64_t>(bytes));
            form.data(data, keep);
            bytes += keep;
            return cut();
        }
        bytes += size;
        if (!form.data(data, size)) {
            writeFailed = true;
            return false;
        }
        throttle();
        return true;
    };

    bool ok;
    const bool multipart = req.is_multipart_form_data();
    if (multipart) {
        ok = reader(
            [&](const httplib::MultipartFormData& part) {
                if (closeAfter >= 0 && bytes >= static_cast<std::uint64_t>(closeAfter))
                    return cut();
                form.beginPart(part.name, part.filename, part.content_type);
                return true;
            },
            receive);
    } else {
        ok = reader([&](const char* data, std::size_t size) {
            if (closeAfter >= 0 && bytes + size > static_cast<std::uint64_t>(closeAfter))
                return cut();
            bytes += size;
            throttle();
            return true;
        });
    }
    form.finish();
    record.fields = form.fields();
    record.bodyBytes = bytes;

    if (aborted) {
        res.status = 500;
        return;
    }

    std::string answer;
    std::string contentType = "text/xml";
    auto fail = [&](const std::string& id, const std::string& text) {
        answer = errorAnswerXml(id, text);
        record.errorId = id;
        record.outcome = "error";
    };
    writeFailed = writeFailed || form.writeFailed();
    if (!ok || writeFailed || !multipart) {
        res.status = writeFailed ? 500 : 400;
        fail("bad_request", writeFailed ? "The service could not store the upload"
                                        : "Expected a complete multipart/form-data body");
    } else if (fault && fault->httpStatus) {
        res.status = fault->httpStatus;
        answer = "<html><body><h1>Error " + std::to_string(fault->httpStatus) + "</h1></body></html>\n";
        contentType = "text/html";
        record.outcome = "fault";
    } else if (fault && !fault->errorId.empty()) {
        fail(fault->errorId, "Injected error " + fault->errorId);
    } else if (fault && fault->answer) {
        answer = *fault->answer;
        record.outcome = "fault";
    } else if (fault && fault->body == Fault::Body::NotXml) {
        answer = "<html><body><b>Fatal error</b>: the upload could not be processed<br>\n";
        contentType = "text/html";
        record.outcome = "fault";
    } else if (fault && fault->body == Fault::Body::Empty) {
        record.outcome = "fault";
    } else if (const auto* file = form.file("fileupload")) {
        if (file->tooBig) {
            fail("file_too_big", "The file is larger than " + std::to_string(maxSize) + " bytes");
        } else {
            StoredItem meta;
            meta.name = storedFileName(file->field.fileName);
            meta.video = isVideoName(file->field.fileName);
            meta.size = file->field.size;
            meta.sha256 = file->field.sha256;
            meta.tags = form.text("tags").value_or("");
            meta.isPublic = form.text("public").value_or("yes") != "no";
            meta.source = "upload";
            const auto* thumb = form.file("thumbupload");
            const bool useThumb = thumb && !thumb->tooBig && thumb->field.size > 0;
            const StoredItem item = store_.add(meta, file->path, useThumb ? &thumb->path : nullptr);
            answer = uploadAnswerXml(item, hosts_);
            record.outcome = "stored";
            record.item = item.shortLink();
        }
    } else if (const auto url = form.text("url")) {
        TransloadResult fetched = transload(*url, store_, maxSize);
        if (!fetched.errorId.empty()) {
            fail(fetched.errorId, fetched.errorText);
        } else {
            StoredItem meta;
            meta.name = fetched.name;
            meta.video = isVideoName(fetched.name);
            meta.size = fetched.size;
            meta.sha256 = fetched.sha256;
            meta.tags = form.text("tags").value_or("");
            meta.isPublic = form.text("public").value_or("yes") != "no";
            meta.source = "transload";
            const StoredItem item = store_.add(meta, fetched.file, nullptr);
            answer = uploadAnswerXml(item, hosts_);
            record.outcome = "stored";
            record.item = item.shortLink();
        }
    } else {
        fail("no_file", "Neither a file nor an address was sent");
    }

    if (fault && fault->delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(fault->delayMs));
    if (res.status == -1)
        res.status = 200;
    record.status = res.status;
    log_.add(std::move(record));
    res.set_content(answer, contentType);
}

std::string DevService::configJson() {
    std::lock_guard<std::mutex> lock(configMutex_);
    return "{\"max_file_size\":" + std::to_string(config_.maxFileSize) +
           ",\"update_version\":" + jsonString(config_.updateVersion) +
           ",\"update_link\":" + jsonString(config_.updateLink) + ",\"domain\":" + jsonString(config_.domain) +
           ",\"data\":" + jsonString(config_.dataDir.string()) + ",\"last_challenge\":" + jsonString(lastChallenge_) +
           ",\"last_challenge_response\":" +
           jsonString(lastChallenge_.empty() ? "" : challengeResponse(lastChallenge_)) + "}\n";
}

void DevService::addInspectionRoutes() {
    const std::string p = kInspectPrefix;
    auto json = [](Response& res, const std::string& text, int status = 200) {
        res.status = status;
        res.set_content(text, "application/json");
    };
    server_.Get(p + "/requests", [=](const Request& req, Response& res) {
        std::uint64_t since = 0;
        try {
            if (req.has_param("since"))
                since = std::stoull(req.get_param_value("since"));
        } catch (const std::exception&) {
            json(res, "{\"error\":\"since must be a number\"}\n", 400);
            return;
        }
        json(res, log_.toJson(since));
    });
    server_.Post(p + "/reset", [=](const Request&, Response& res) {
        log_.clear();
        faults_.clear();
        json(res, "{\"ok\":true}\n");
    });
    server_.Get(p + "/faults", [=](const Request&, Response& res) { json(res, faults_.toJson() + "\n"); });
    server_.Post(p + "/faults", [=](const Request& req, Response& res) {
        std::string error;
        const auto fault = faultFromParams(req.params, error);
        if (!fault) {
            json(res, "{\"error\":" + jsonString(error) + "}\n", 400);
            return;
        }
        faults_.arm(*fault);
        json(res, faults_.toJson() + "\n");
    });
    server_.Post(p + "/refuse", [=](const Request& req, Response& res) {
        std::int64_t ms = 0;
        if (!readInteger(req.get_param_value("for_ms"), 1, 600000, ms)) {
            json(res, "{\"error\":\"for_ms must be 1..600000\"}\n", 400);
            return;
        }
        // The answer goes out on this connection, which stays open.
        refuseFor(static_cast<int>(ms));
        json(res, "{\"ok\":true}\n");
    });
    server_.Get(p + "/config", [=](const Request&, Response& res) { json(res, configJson()); });
    server_.Post(p + "/config", [=](const Request& req, Response& res) {
        std::lock_guard<std::mutex> lock(configMutex_);
        ServiceConfig changed = config_;
        for (const auto& [name, value] : req.params) {
            if (name == "max_file_size" && !value.empty() && value.find_first_not_of("0123456789") == std::string::npos &&
                value.size() < 19)
                changed.maxFileSize = std::stoull(value);
            else if (name == "update_version")
                changed.updateVersion = value;
            else if (name == "update_link")
                changed.updateLink = value;
            else {
                json(res, "{\"error\":" + jsonString("bad parameter " + name) + "}\n", 400);
                return;
            }
        }
        config_ = changed;
        json(res, "{\"ok\":true}\n");
    });
    server_.Get(p + "/items", [=](const Request&, Response& res) {
        std::string out = "[";
        for (const StoredItem& item : store_.items()) {
            const ItemLinks links = linksOf(item, hosts_);
            out += (out.size() > 1 ? ",\n" : "\n") + std::string("{\"short_link\":") + jsonString(item.shortLink()) +
                   ",\"name\":" + jsonString(item.name) + ",\"video\":" + (item.video ? "true" : "false") +
                   ",\"size\":" + std::to_string(item.size) + ",\"sha256\":" + jsonString(item.sha256) +
                   ",\"tags\":" + jsonString(item.tags) + ",\"public\":" + (item.isPublic ? "true" : "false") +
                   ",\"image_link\":" + jsonString(links.image) + ",\"thumb_link\":" + jsonString(links.thumb) + "}";
        }
        json(res, out + "\n]\n");
    });
}

}  // namespace devservice
