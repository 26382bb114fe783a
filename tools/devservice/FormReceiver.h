// Receives the parts of a multipart form as they stream in: text fields are
// kept in memory (bounded), file parts go straight to temporary files while
// their SHA-256 is computed, so an upload never sits in memory as a whole.
#pragma once

#include "MediaStore.h"
#include "PartWriter.h"
#include "RequestLog.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace devservice {

class FormReceiver {
public:
    // File parts beyond fileLimit bytes are still read and hashed, but no
    // longer written; the part is then marked as too big.
    FormReceiver(MediaStore& store, std::uint64_t fileLimit);
    ~FormReceiver();  // removes temporary files that were not taken
    FormReceiver(const FormReceiver&) = delete;
    FormReceiver& operator=(const FormReceiver&) = delete;

    // Parts after the first kMaxParts are read and dropped, so that a form of
    // many tiny parts cannot grow the record or the temporary files.
    void beginPart(const std::string& name, const std::string& fileName, const std::string& contentType);
    std::size_t droppedParts() const { return droppedParts_; }
    static constexpr std::size_t kMaxParts = 256;
    bool data(const char* bytes, std::size_t size);  // false once a disk write failed
    void finish();
    bool writeFailed() const { return writeFailed_; }

    const std::vector<FieldRecord>& fields() const { return fields_; }
    // First text field of that name.
    std::optional<std::string> text(const std::string& name) const;

    struct ReceivedFile {
        FieldRecord field;
        std::filesystem::path path;
        bool tooBig = false;
    };
    // First file part of that name; the caller may move its file away.
    const ReceivedFile* file(const std::string& name) const;

private:
    void endPart();

    MediaStore& store_;
    std::uint64_t limit_;
    std::vector<FieldRecord> fields_;
    std::vector<ReceivedFile> files_;
    bool inPart_ = false;
    bool currentIsFile_ = false;
    bool writeFailed_ = false;
    std::size_t droppedParts_ = 0;
    std::unique_ptr<PartWriter> writer_;
};

}  // namespace devservice
