// Item folders and their metadata; see MediaStore.h.
#include "MediaStore.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace devservice {
namespace {

bool isIdText(const std::string& id) {
    return !id.empty() && id.size() <= 32 &&
           std::all_of(id.begin(), id.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

// "<kind>/<id>/<name>" split into its three parts.
bool splitShortLink(const std::string& text, std::string& kind, std::string& id, std::string& name) {
    const auto a = text.find('/');
    const auto b = a == std::string::npos ? a : text.find('/', a + 1);
    if (b == std::string::npos)
        return false;
    kind = text.substr(0, a);
    id = text.substr(a + 1, b - a - 1);
    name = text.substr(b + 1);
    return name.find('/') == std::string::npos;
}

}  // namespace

std::string StoredItem::filePath() const { return "/" + shortLink(); }
std::string StoredItem::thumbPath() const { return "/t/" + id + "/" + name; }
std::string StoredItem::shortLink() const { return (video ? "v/" : "i/") + id + "/" + name; }

MediaStore::MediaStore(fs::path dataDir)
    : dir_(std::move(dataDir)), random_(std::random_device{}() ^ (static_cast<std::uint64_t>(::getpid()) << 32)) {
    fs::create_directories(dir_ / "items");
    fs::create_directories(dir_ / "tmp");
    // Leftovers of an interrupted run.
    for (const auto& entry : fs::directory_iterator(dir_ / "tmp")) {
        std::error_code ec;
        fs::remove(entry.path(), ec);
    }
    load();
}

fs::path MediaStore::itemDir(const std::string& id) const { return dir_ / "items" / id; }

void MediaStore::load() {
    for (const auto& entry : fs::directory_iterator(dir_ / "items")) {
        std::ifstream in(entry.path() / "meta");
        if (!in)
            continue;
        StoredItem item;
        item.id = entry.path().filename().string();
        std::string line;
        while (std::getline(in, line)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
            if (key == "name") item.name = value;
            else if (key == "video") item.video = value == "1";
            else if (key == "thumb") item.hasThumb = value == "1";
            else if (key == "public") item.isPublic = value == "1";
            else if (key == "size") item.size = std::stoull(value);
            else if (key == "sha256") item.sha256 = value;
            else if (key == "tags") item.tags = value;
            else if (key == "source") item.source = value;
            else if (key == "seq") item.seq = std::stoull(value);
        }
        if (!isIdText(item.id) || item.name.empty())
            continue;
        nextSeq_ = std::max(nextSeq_, item.seq + 1);
        items_[item.id] = item;
    }
}

fs::path MediaStore::tempPath() {
    std::lock_guard<std::mutex> lock(mutex_);
    return dir_ / "tmp" / ("part-" + std::to_string(nextTemp_++));
}

StoredItem MediaStore::add(StoredItem meta, const fs::path& file, const fs::path* thumb) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (;;) {
        std::ostringstream id;
        id << std::hex << (random_() & 0xffffffffffull);
        meta.id = id.str();
        if (!items_.count(meta.id) && fs::create_directory(itemDir(meta.id)))
            break;
    }
    meta.seq = nextSeq_++;
    const fs::path dir = itemDir(meta.id);
    fs::rename(file, dir / "file");
    if (thumb) {
        fs::rename(*thumb, dir / "thumb");
        meta.hasThumb = true;
    }
    std::ofstream out(dir / "meta");
    out << "name=" << meta.name << "\nvideo=" << meta.video << "\nthumb=" << meta.hasThumb
        << "\npublic=" << meta.isPublic << "\nsize=" << meta.size << "\nsha256=" << meta.sha256
        << "\ntags=" << oneLine(meta.tags) << "\nsource=" << meta.source << "\nseq=" << meta.seq << "\n";
    if (!out)
        throw std::runtime_error("cannot write item metadata");
    items_[meta.id] = meta;
    return meta;
}

std::optional<StoredItem> MediaStore::findByShortLink(const std::string& shortLink) const {
    std::string kind, id, name;
    if (!splitShortLink(shortLink, kind, id, name))
        return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = items_.find(id);
    if (it == items_.end() || it->second.name != name || kind != (it->second.video ? "v" : "i"))
        return std::nullopt;
    return it->second;
}

std::optional<fs::path> MediaStore::fileForPath(const std::string& urlPath) const {
    if (urlPath.size() < 2 || urlPath[0] != '/')
        return std::nullopt;
    std::string kind, id, name;
    if (!splitShortLink(urlPath.substr(1), kind, id, name))
        return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = items_.find(id);
    if (it == items_.end() || it->second.name != name)
        return std::nullopt;
    const StoredItem& item = it->second;
    if (kind == "t") {
        // Without a thumbnail of its own, a picture is its own thumbnail.
        if (item.hasThumb)
            return itemDir(id) / "thumb";
        if (item.video)
            return std::nullopt;
        return itemDir(id) / "file";
    }
    if (kind != (item.video ? "v" : "i"))
        return std::nullopt;
    return itemDir(id) / "file";
}

std::vector<StoredItem> MediaStore::items() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<StoredItem> out;
    for (const auto& [id, item] : items_)
        out.push_back(item);
    std::sort(out.begin(), out.end(), [](const StoredItem& a, const StoredItem& b) { return a.seq < b.seq; });
    return out;
}

}  // namespace devservice
