// The asynchronous uploader against the development service: a file of
// several megabytes arrives byte-exact, and the service's faults (an error
// status, a connection closed in the middle of the body, an empty and a
// non-XML answer) each end on the right road without hanging the upload thread.
#include <windows.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "common/Handle.h"
#include "engine/IEImageUploader.h"
#include "support/DevService.h"
#include "support/EngineFakes.h"
#include "support/Sha256.h"
#include "support/TempFolder.h"
#include "support/UploadLoop.h"
#include "support/UploadTestStrategy.h"

namespace {

using Microsoft::WRL::ComPtr;
const DWORD kTimeoutMs = 60000;

// Bytes that differ at every position within a long stretch, so that a lost,
// doubled or shifted chunk changes the digest.
std::string Content(size_t size)
{
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<char>(state >> 16);
    }
    return bytes;
}

class UploaderServiceTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service_.Available());
        service_.Reset();
    }

    // Uploads the file at path (plus a text field) through the uploader on an
    // upload thread of its own and keeps the strategy's record in result_;
    // false when the loop did not end in time.
    bool UploadFile(const std::wstring& path)
    {
        bool finished = false;
        vptest::RunInApartment([&] {
            auto* own = new vptest::UploadTestStrategy(service_.Url(L"/upload_api.php"), [path](CMultipartFormData& form) {
                form.AddField("xml", "newformat");
                auto file = std::make_unique<File>();
                ASSERT_TRUE(file->Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0));
                ASSERT_TRUE(form.AddFile("fileupload", std::move(file), "image/jpeg", ""));
            });
            ComPtr<CIEImageUploader> uploader = CIEImageUploader::Make();
            ASSERT_NE(nullptr, uploader.Get());
            uploader->SetProgressDisplay(new vptest::FakeProgress);
            ASSERT_EQ(S_OK, uploader->put_strategy(reinterpret_cast<LONG_PTR>(own)));
            ASSERT_EQ(S_OK, uploader->Upload());
            finished = vptest::PumpUntilFinished(kTimeoutMs);
            // The uploader owns the strategy: keep what the test reads.
            result_ = *own;
        });
        return finished;
    }

    struct Outcome {
        std::vector<std::wstring> responses;
        int errors = 0;
        Outcome& operator=(const vptest::UploadTestStrategy& s)
        {
            responses = s.responses;
            errors = s.errors;
            return *this;
        }
    };

    vptest::DevService service_;
    vptest::TempFolder folder_;
    Outcome result_;
};

TEST_F(UploaderServiceTest, MultiMegabyteFileArrivesByteExact)
{
    const std::string bytes = Content(3 * 1024 * 1024 + 517);
    const std::wstring path = folder_.Write(L"picture.jpg", bytes);
    ASSERT_TRUE(UploadFile(path));
    ASSERT_EQ(1u, result_.responses.size());
    EXPECT_EQ(0, result_.errors);
    EXPECT_NE(std::wstring::npos, result_.responses[0].find(L"<image_link>")) << result_.responses[0];

    vptest::Json requests = service_.Requests();
    ASSERT_EQ(1u, requests.Size());
    EXPECT_EQ("stored", requests[0]["outcome"].String());
    bool found = false;
    for (const vptest::Json& field : requests[0]["fields"].Items()) {
        if (field["name"].String() != "fileupload") continue;
        found = true;
        EXPECT_EQ(double(bytes.size()), field["size"].Number());
        EXPECT_EQ(vptest::Sha256Hex(bytes), field["sha256"].String());
        EXPECT_EQ("picture.jpg", field["filename"].String());
    }
    EXPECT_TRUE(found);
}

struct FaultCase {
    const char* name;
    const wchar_t* fault;
    // Answered: the text reaches the strategy; otherwise the error road.
    bool answered;
    const wchar_t* answerContains;
};

class UploaderFaultTest : public UploaderServiceTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(UploaderFaultTest, EndsOnTheRightRoadWithoutHanging)
{
    const FaultCase c = GetParam();
    service_.ArmFault(c.fault);
    const std::wstring path = folder_.Write(L"picture.jpg", Content(256 * 1024));
    ASSERT_TRUE(UploadFile(path));
    if (c.answered) {
        ASSERT_EQ(1u, result_.responses.size());
        EXPECT_EQ(0, result_.errors);
        if (*c.answerContains)
            EXPECT_NE(std::wstring::npos, result_.responses[0].find(c.answerContains)) << result_.responses[0];
        else
            EXPECT_EQ(L"", result_.responses[0]);
    } else {
        EXPECT_EQ(1, result_.errors);
        EXPECT_TRUE(result_.responses.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UploaderFaultTest,
    testing::Values(FaultCase{"ErrorStatus", L"status=503", true, L"Error 503"},
                    FaultCase{"ClosedMidBody", L"close_after=65536", false, L""},
                    FaultCase{"EmptyAnswer", L"body=empty", true, L""},
                    FaultCase{"NotXmlAnswer", L"body=not_xml", true, L"Fatal error"}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

}  // namespace
