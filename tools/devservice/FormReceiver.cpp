// Streaming form parts to memory or disk; see FormReceiver.h.
#include "FormReceiver.h"

#include <system_error>

namespace devservice {

FormReceiver::FormReceiver(MediaStore& store, std::uint64_t fileLimit) : store_(store), limit_(fileLimit) {}

FormReceiver::~FormReceiver() {
    writer_.reset();
    for (const ReceivedFile& file : files_) {
        std::error_code ec;
        std::filesystem::remove(file.path, ec);
    }
}

void FormReceiver::beginPart(const std::string& name, const std::string& fileName, const std::string& contentType) {
    endPart();
    if (fields_.size() >= kMaxParts) {
        ++droppedParts_;  // read and dropped: neither kept nor written
        return;
    }
    FieldRecord field;
    field.name = name;
    // The toolbar always names its file parts; treat the two file fields as
    // files even without a file name.
    field.isFile = !fileName.empty() || name == "fileupload" || name == "thumbupload";
    field.fileName = fileName;
    field.contentType = contentType;
    fields_.push_back(field);
    inPart_ = true;
    currentIsFile_ = field.isFile;
    if (currentIsFile_) {
        ReceivedFile file;
        file.path = store_.tempPath();
        files_.push_back(file);
        writer_ = std::make_unique<PartWriter>(file.path, limit_);
    }
}

bool FormReceiver::data(const char* bytes, std::size_t size) {
    if (!inPart_)
        return true;
    FieldRecord& field = fields_.back();
    if (!currentIsFile_) {
        if (field.value.size() < FieldRecord::kMaxFieldValue)
            field.value.append(bytes, std::min(size, FieldRecord::kMaxFieldValue - field.value.size()));
        field.size += size;
        return true;
    }
    ReceivedFile& file = files_.back();
    field.size += size;
    if (field.size > limit_)
        file.tooBig = true;
    if (!writer_->append(bytes, size))
        writeFailed_ = true;
    return !writeFailed_;
}

void FormReceiver::endPart() {
    if (!inPart_)
        return;
    if (currentIsFile_) {
        ReceivedFile& file = files_.back();
        bool ok = true;
        fields_.back().sha256 = writer_->finish(ok);
        writer_.reset();
        writeFailed_ = writeFailed_ || !ok;
        file.field = fields_.back();
    }
    inPart_ = false;
}

void FormReceiver::finish() { endPart(); }

std::optional<std::string> FormReceiver::text(const std::string& name) const {
    for (const FieldRecord& field : fields_)
        if (!field.isFile && field.name == name)
            return field.value;
    return std::nullopt;
}

const FormReceiver::ReceivedFile* FormReceiver::file(const std::string& name) const {
    for (const ReceivedFile& file : files_)
        if (file.field.name == name)
            return &file;
    return nullptr;
}

}  // namespace devservice
