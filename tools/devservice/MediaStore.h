// The service's storage: every accepted upload or transload becomes one item
// folder under DIR/items/<id>/ with the file, an optional thumbnail and a
// small metadata file; received bytes first land in DIR/tmp/. Items survive
// restarts of the service with the same data folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace devservice {

struct StoredItem {
    std::string id;
    std::string name;  // storedFileName() of the client's name
    bool video = false;
    bool hasThumb = false;
    bool isPublic = true;
    std::uint64_t size = 0;
    std::string sha256;
    std::string tags;
    std::string source;  // "upload" or "transload"
    std::uint64_t seq = 0;

    // Path of the direct link: "/i/<id>/<name>" ("/v/..." for a video).
    std::string filePath() const;
    // Path of the thumbnail link: "/t/<id>/<name>".
    std::string thumbPath() const;
    // The last three segments of the direct link, which identify the item
    // in the service's forms ("i/<id>/<name>").
    std::string shortLink() const;
};

class MediaStore {
public:
    explicit MediaStore(std::filesystem::path dataDir);

    // A fresh file name in the temporary folder (the file is not created).
    std::filesystem::path tempPath();

    // Moves the received file (and thumbnail, when given) into a new item
    // folder and records it. Fields id and seq of meta are assigned here.
    StoredItem add(StoredItem meta, const std::filesystem::path& file,
                   const std::filesystem::path* thumb);

    std::optional<StoredItem> findByShortLink(const std::string& shortLink) const;

    // The file behind a link path ("/i/..", "/v/..", "/t/.."), if stored.
    std::optional<std::filesystem::path> fileForPath(const std::string& urlPath) const;

    std::vector<StoredItem> items() const;  // in upload order

private:
    void load();
    std::filesystem::path itemDir(const std::string& id) const;

    std::filesystem::path dir_;
    mutable std::mutex mutex_;
    std::map<std::string, StoredItem> items_;
    std::uint64_t nextSeq_ = 1;
    std::uint64_t nextTemp_ = 1;
    std::mt19937_64 random_;
};

}  // namespace devservice
