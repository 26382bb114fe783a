// The write-and-hash pipeline keeps every byte in order across its blocks
// and stops writing exactly at the limit while still hashing everything.
#include "Digest.h"
#include "PartWriter.h"
#include "ServiceFixture.h"

#include <fstream>
#include <sstream>

namespace devservice::test {
namespace {

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(PartWriterTest, OddSizedPiecesAcrossManyBlocksArriveInOrderAndLimitCutsTheFile) {
    const auto path = std::filesystem::temp_directory_path() / ("partwriter-" + std::to_string(::getpid()));
    const std::string bytes = trickyBytes(PartWriter::kBlockSize * 6 + 12345, 7);
    for (std::uint64_t limit : {std::uint64_t(bytes.size()), std::uint64_t(PartWriter::kBlockSize * 2 + 7), std::uint64_t(0)}) {
        PartWriter writer(path, limit);
        for (std::size_t at = 0; at < bytes.size(); at += 4093)
            ASSERT_TRUE(writer.append(bytes.data() + at, std::min<std::size_t>(4093, bytes.size() - at)));
        bool ok = false;
        EXPECT_EQ(sha256Hex(bytes), writer.finish(ok)) << limit;
        EXPECT_TRUE(ok);
        EXPECT_TRUE(readAll(path) == bytes.substr(0, limit)) << "limit " << limit;
    }
    std::filesystem::remove(path);
}

TEST(PartWriterTest, AFileThatCannotBeCreatedReportsFailure) {
    PartWriter writer("/nonexistent-folder/part", 100);
    writer.append("abc", 3);
    bool ok = true;
    writer.finish(ok);
    EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace devservice::test
