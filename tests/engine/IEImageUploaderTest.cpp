// The asynchronous uploader against servers inside the test: chunking of the
// body, reading of the answer, both roads of a write (at once and pending),
// cancel at each boundary, refused requests, and the COM properties.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/Handle.h"
#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "engine/IEImageUploader.h"
#include "engine/ImageTarget.h"
#include "engine/UploadStrategy.h"
#include "support/EngineFakes.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"
#include "support/UploadTestStrategy.h"
#include "support/UploadLoop.h"

namespace {

using Microsoft::WRL::ComPtr;
const DWORD kTimeoutMs = 20000;
const std::string kAnswer = "<response><links><image_link>http://x/i/1</image_link></links></response>";

// Adds a text field to form so that its body becomes exactly size bytes.
void PadBodyTo(CMultipartFormData& form, ULONGLONG size)
{
    CMultipartFormData probe(form.Boundary());
    const ULONGLONG before = probe.BodySize();
    probe.AddField("data", "");
    const ULONGLONG overhead = probe.BodySize() - before;
    ASSERT_GE(size, form.BodySize() + overhead);
    form.AddField("data", std::string(static_cast<size_t>(size - form.BodySize() - overhead), 'b'));
    ASSERT_EQ(size, form.BodySize());
}

// A strategy whose requests have a body of exactly bodySize bytes; it keeps
// a copy of each body to compare with what the server received.
class TestStrategy : public vptest::UploadTestStrategy {
public:
    explicit TestStrategy(std::wstring url, ULONGLONG bodySize = 1000, int items = 1)
        : UploadTestStrategy(std::move(url),
                             [this, bodySize](CMultipartFormData& form) {
                                 PadBodyTo(form, bodySize);
                                 bodies.push_back(form.BodyBytes());
                             },
                             items)
    {
    }
    std::vector<std::string> bodies;
};

// The uploader with its seams: chunk sizes and reads are recorded, writes can
// take the pending road, and the hidden window can be made to fail.
class TestUploader : public CIEImageUploader {
public:
    std::vector<DWORD> chunks;
    std::vector<DWORD> reads;
    bool pendingWrites = false;
    bool noWindow = false;
    bool cancelAfterFirstChunk = false;

protected:
    BOOL WriteChunk(const void* data, DWORD size, DWORD* written) override
    {
        chunks.push_back(size);
        BOOL done = CIEImageUploader::WriteChunk(data, size, written);
        if (cancelAfterFirstChunk && chunks.size() == 1) Cancel();
        if (!done || !pendingWrites) return done;
        // The library took the chunk but reports completion later, as it may.
        PostMessageW(Window(), UM_INET_STATUS, INTERNET_STATUS_REQUEST_COMPLETE, 0);
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    BOOL ReadPiece(INTERNET_BUFFERSA* buffers, DWORD flags) override
    {
        BOOL done = CIEImageUploader::ReadPiece(buffers, flags);
        if (done) reads.push_back(buffers->dwBufferLength);
        return done;
    }
    HWND CreateHiddenWindow() override { return noWindow ? nullptr : CIEImageUploader::CreateHiddenWindow(); }
};

// A server that answers as soon as it has the headers and bodyBytes of the
// body, the way a server may answer a request it will not read to the end.
class EarlyAnswerServer {
public:
    EarlyAnswerServer(size_t bodyBytes, std::string answer) : bodyBytes_(bodyBytes), answer_(std::move(answer))
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(listener_, 1);
        int length = sizeof(address);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~EarlyAnswerServer()
    {
        closesocket(listener_);
        thread_.join();
        WSACleanup();
    }
    std::wstring Url() const { return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/upload_api.php"; }
    // Body bytes received before the answer went out.
    size_t BodyReceived() const { return bodyReceived_; }
    bool Served() const { return served_; }

private:
    void Serve()
    {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        std::string data;
        char buffer[4096];
        size_t headerEnd = std::string::npos;
        while (headerEnd == std::string::npos || data.size() < headerEnd + 4 + bodyBytes_) {
            int n = recv(client, buffer, sizeof(buffer), 0);
            if (n <= 0) break;
            data.append(buffer, n);
            if (headerEnd == std::string::npos) headerEnd = data.find("\r\n\r\n");
        }
        if (headerEnd != std::string::npos) bodyReceived_ = data.size() - headerEnd - 4;
        const std::string response = vptest::LoopbackServer::Response(200, answer_);
        send(client, response.data(), static_cast<int>(response.size()), 0);
        served_ = true;
        shutdown(client, SD_SEND);
        // Let the client read the answer before the socket goes away.
        while (recv(client, buffer, sizeof(buffer), 0) > 0) {
        }
        closesocket(client);
    }

    size_t bodyBytes_;
    std::string answer_;
    SOCKET listener_;
    unsigned short port_ = 0;
    std::thread thread_;
    std::atomic<size_t> bodyReceived_{0};
    std::atomic<bool> served_{false};
};

// The body of the one request a LoopbackServer received.
std::string ReceivedBody(const vptest::LoopbackServer& server)
{
    std::vector<std::string> requests = server.Requests();
    if (requests.size() != 1) return "<" + std::to_string(requests.size()) + " requests>";
    size_t end = requests[0].find("\r\n\r\n");
    return end == std::string::npos ? "<no header end>" : requests[0].substr(end + 4);
}

class IEImageUploaderTest : public testing::Test {
protected:
    void TurnLogOn()
    {
        RegKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
        const DWORD on = 1;
        RegSetValueExW(key, L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
        logPath_ = LogWriter("probe").Path();
        logStart_ = vptest::ReadFileBytes(logPath_).size();
    }
    // The log written since TurnLogOn (other test processes may add lines too).
    std::string NewLog() const
    {
        std::string log = vptest::ReadFileBytes(logPath_);
        return log.size() > logStart_ ? log.substr(logStart_) : std::string();
    }
    static bool Logged(const std::string& log, const std::string& line)
    {
        return log.find("CIEImageUploader\t- " + line + "\r\n") != std::string::npos;
    }

    // An uploader with a recording display, driving strategy.
    static ComPtr<TestUploader> MakeUploader(TestStrategy* strategy, vptest::FakeProgress*& progress)
    {
        ComPtr<TestUploader> uploader = new TestUploader;
        progress = new vptest::FakeProgress;
        uploader->SetProgressDisplay(progress);
        if (strategy) {
            EXPECT_EQ(S_OK, uploader->put_strategy(reinterpret_cast<LONG_PTR>(strategy)));
        }
        return uploader;
    }

    std::wstring logPath_;
    size_t logStart_ = 0;
};

// --- the body goes out in chunks of at most 1024 bytes ---------------------------

struct ChunkCase {
    ULONGLONG body;
    std::vector<DWORD> chunks;
    bool pending;
};

std::string ChunkCaseName(const testing::TestParamInfo<ChunkCase>& info)
{
    return std::to_string(info.param.body) + (info.param.pending ? "BytesPendingWrites" : "BytesWrittenAtOnce");
}

class UploaderChunkTest : public IEImageUploaderTest, public testing::WithParamInterface<ChunkCase> {};

TEST_P(UploaderChunkTest, BodyArrivesWholeInChunksAndTheAnswerReachesTheStrategy)
{
    const ChunkCase c = GetParam();
    vptest::LoopbackServer server;
    server.AddResponse(vptest::LoopbackServer::Response(200, kAnswer));
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(server.Url(L"/upload_api.php"), c.body);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        uploader->pendingWrites = c.pending;
        ASSERT_EQ(S_OK, uploader->Upload());
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs)) << "state " << static_cast<int>(uploader->State());

        EXPECT_EQ(c.chunks, uploader->chunks);
        ASSERT_EQ(1u, strategy->bodies.size());
        EXPECT_EQ(strategy->bodies[0], ReceivedBody(server));
        ASSERT_EQ(1u, strategy->responses.size());
        EXPECT_EQ(std::wstring(kAnswer.begin(), kAnswer.end()), strategy->responses[0]);
        EXPECT_EQ(UploaderState::Completed, uploader->State());
        // One report per SendData entry, the last one with the whole body counted.
        ASSERT_EQ(c.chunks.size() + 1, progress->progress.size());
        const BodyProgress first = ComputeBodyProgress(c.body, 0);
        EXPECT_EQ(first.position + static_cast<int>(c.body), progress->progress.back().first);
        // The bytes out after each chunk, ending with the whole body: the wait for the answer.
        std::vector<std::pair<ULONGLONG, ULONGLONG>> sent{{0, c.body}};
        for (size_t chunk : c.chunks) sent.emplace_back(sent.back().first + chunk, c.body);
        EXPECT_EQ(sent, progress->transfers);
        EXPECT_EQ(std::vector<bool>({true}), progress->shows);
    });
}

INSTANTIATE_TEST_SUITE_P(Bodies, UploaderChunkTest,
                         testing::Values(ChunkCase{1024, {1024}, false}, ChunkCase{1025, {1024, 1}, false},
                                         ChunkCase{3000, {1024, 1024, 952}, false},
                                         ChunkCase{1025, {1024, 1}, true},
                                         ChunkCase{3000, {1024, 1024, 952}, true}),
                         ChunkCaseName);

TEST_F(IEImageUploaderTest, FirstProgressReportOfA1000ByteBodyIs57Of1150)
{
    const BodyProgress report = ComputeBodyProgress(1000, 0);
    EXPECT_EQ(57, report.position);
    EXPECT_EQ(1150, report.range);
    // Near the 4 GB limit the scale shrinks but keeps the proportions.
    const BodyProgress big = ComputeBodyProgress(0xFFFFFFFFull, 0xFFFFFFFFull);
    EXPECT_GT(big.range, 0);
    EXPECT_LE(big.position, big.range);
    // Position: 5 percent of the range plus the body; range: the body plus 15 percent.
    EXPECT_NEAR(double(big.position) / big.range, (1.15 * 0.05 + 1) / 1.15, 0.001);
}

TEST_F(IEImageUploaderTest, FirstReportOfARealUploadUsesTheBodySize)
{
    vptest::LoopbackServer server;
    server.AddResponse(vptest::LoopbackServer::Response(200, kAnswer));
    vptest::RunInApartment([&] {
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(new TestStrategy(server.Url(L"/upload_api.php"), 1000), progress);
        ASSERT_EQ(S_OK, uploader->Upload());
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs));
        ASSERT_FALSE(progress->progress.empty());
        EXPECT_EQ(std::make_pair(57, 1150), progress->progress.front());
    });
}

// --- the answer is read in pieces of at most 1023 bytes ---------------------------

struct ReadCase {
    size_t answer;
    std::vector<DWORD> reads;
};

class UploaderReadTest : public IEImageUploaderTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(UploaderReadTest, AnswerIsReadWholeInPieces)
{
    const ReadCase c = GetParam();
    std::string answer(c.answer, 'a');
    for (size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<char>('a' + i % 26);
    vptest::LoopbackServer server;
    server.AddResponse(vptest::LoopbackServer::Response(200, answer));
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(server.Url(L"/upload_api.php"), 200);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        ASSERT_EQ(S_OK, uploader->Upload());
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs));
        EXPECT_EQ(c.reads, uploader->reads);
        ASSERT_EQ(1u, strategy->responses.size());
        EXPECT_EQ(std::wstring(answer.begin(), answer.end()), strategy->responses[0]);
    });
}

INSTANTIATE_TEST_SUITE_P(Answers, UploaderReadTest,
                         testing::Values(ReadCase{1023, {1023, 0}}, ReadCase{1024, {1023, 1, 0}},
                                         ReadCase{0, {0}}),
                         [](const testing::TestParamInfo<ReadCase>& info) {
                             return std::to_string(info.param.answer) + "Bytes";
                         });

TEST_F(IEImageUploaderTest, SeveralItemsGoThroughOneUploaderOneAfterAnother)
{
    vptest::LoopbackServer server;
    for (int i = 0; i < 3; ++i) server.AddResponse(vptest::LoopbackServer::Response(200, "answer" + std::to_string(i)));
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(server.Url(L"/upload_api.php"), 1500, 3);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        ASSERT_EQ(S_OK, uploader->Upload());
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs));
        EXPECT_EQ(std::vector<std::wstring>({L"answer0", L"answer1", L"answer2"}), strategy->responses);
        EXPECT_EQ(3u, server.Requests().size());
    });
}

// --- a second completion ---------------------------------------------------------

TEST_F(IEImageUploaderTest, SecondResponseDoneIsIgnored)
{
    vptest::LoopbackServer server;
    server.AddResponse(vptest::LoopbackServer::Response(200, kAnswer));
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(server.Url(L"/upload_api.php"), 500);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        ASSERT_EQ(S_OK, uploader->Upload());
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs));
        ASSERT_EQ(1u, strategy->responses.size());
        ASSERT_TRUE(PostMessageW(uploader->Window(), UM_RESPONSE_DONE, 0, 0));
        EXPECT_GE(vptest::PumpPending(), 1);
        EXPECT_EQ(1u, strategy->responses.size());
        EXPECT_EQ(0, strategy->errors);
        EXPECT_EQ(UploaderState::Completed, uploader->State());
    });
}

// --- refused requests ---------------------------------------------------------------

TEST_F(IEImageUploaderTest, UploadWhileARequestIsInFlightIsRefusedAndTheRequestGoesOn)
{
    TurnLogOn();
    vptest::LoopbackServer server;
    server.AddResponse(vptest::LoopbackServer::Response(200, kAnswer));
    vptest::RunInApartment([&] {
        vptest::FakeProgress* progress = nullptr;
        auto* strategy = new TestStrategy(server.Url(L"/upload_api.php"), 500);
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        ASSERT_EQ(S_OK, uploader->Upload());
        const UploaderState busy = uploader->State();
        ASSERT_FALSE(MayStartRequest(busy));
        CMultipartFormData second;
        EXPECT_EQ(E_FAIL, uploader->Upload(server.Url(L"/upload_api.php").c_str(), second));
        EXPECT_EQ(busy, uploader->State()) << "the running request keeps its state";
        EXPECT_TRUE(Logged(NewLog(), "Invalid state " + std::to_string(static_cast<int>(busy)))) << NewLog();
        // ...and its completion still reaches the strategy.
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs));
        EXPECT_EQ(1u, strategy->responses.size());
        EXPECT_EQ(0, strategy->errors);
        EXPECT_EQ(UploaderState::Completed, uploader->State());
    });
    EXPECT_EQ(1u, server.Requests().size());
}

TEST_F(IEImageUploaderTest, UploadAfterCancelFailsAtOnce)
{
    vptest::LoopbackServer server;
    vptest::RunInApartment([&] {
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(nullptr, progress);
        EXPECT_EQ(S_OK, uploader->Cancel());
        CMultipartFormData request;
        EXPECT_EQ(E_FAIL, uploader->Upload(server.Url(L"/upload_api.php").c_str(), request));
        EXPECT_EQ(UploaderState::Idle, uploader->State());
        EXPECT_EQ(nullptr, uploader->Window());
    });
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(IEImageUploaderTest, UploadWithoutStrategyFails)
{
    vptest::RunInApartment([&] {
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(nullptr, progress);
        EXPECT_EQ(E_FAIL, uploader->Upload());
    });
}

TEST_F(IEImageUploaderTest, WithoutHiddenWindowTheUploadFailsAndTheLoopEnds)
{
    TurnLogOn();
    vptest::LoopbackServer server;
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(server.Url(L"/upload_api.php"), 500);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        uploader->noWindow = true;
        // The strategy finds nothing it can send and finishes the upload.
        EXPECT_EQ(E_FAIL, uploader->Upload());
        EXPECT_EQ(UploaderState::Failed, uploader->State());
        EXPECT_TRUE(vptest::PumpUntilFinished(kTimeoutMs));
        EXPECT_TRUE(strategy->responses.empty());
    });
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(Logged(NewLog(), "Cannot create reflection window")) << NewLog();
}

TEST_F(IEImageUploaderTest, InvalidUrlFails)
{
    vptest::RunInApartment([&] {
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(nullptr, progress);
        CMultipartFormData request;
        EXPECT_EQ(E_FAIL, uploader->Upload(L"not a url", request));
        EXPECT_EQ(UploaderState::Failed, uploader->State());
    });
}

TEST_F(IEImageUploaderTest, BodyAbove4GBIsRefusedBeforeAnythingIsSent)
{
    vptest::TempFolder folder;
    const std::wstring path = folder.File(L"huge.bin");
    {
        // Sparse: the size is what counts, no data is written.
        File file;
        ASSERT_TRUE(file.Create(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0));
        LARGE_INTEGER size;
        size.QuadPart = 0x100000010LL;
        ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file));
    }
    vptest::LoopbackServer server;
    vptest::RunInApartment([&] {
        auto file = std::make_unique<File>();
        ASSERT_TRUE(file->Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0));
        CMultipartFormData request;
        ASSERT_TRUE(request.AddFile("fileupload", std::move(file), nullptr, ""));
        ASSERT_GT(request.BodySize(), CIEImageUploader::kMaxBodySize);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(nullptr, progress);
        EXPECT_EQ(E_FAIL, uploader->Upload(server.Url(L"/upload_api.php").c_str(), request));
        EXPECT_EQ(UploaderState::Failed, uploader->State());
        EXPECT_EQ(0, vptest::PumpPending());
    });
    EXPECT_TRUE(server.Requests().empty());
}

// --- cancel at each boundary --------------------------------------------------------

TEST_F(IEImageUploaderTest, CancelBeforeTheRequestIsSentSendsNothing)
{
    vptest::LoopbackServer server;
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(server.Url(L"/upload_api.php"), 500);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        ASSERT_EQ(S_OK, uploader->Upload());
        ASSERT_EQ(S_OK, uploader->Cancel());
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs));
        EXPECT_EQ(UploaderState::Completed, uploader->State());
        EXPECT_TRUE(uploader->chunks.empty());
        EXPECT_TRUE(strategy->responses.empty());
        EXPECT_EQ(0, strategy->errors);
        ASSERT_FALSE(progress->shows.empty());
        EXPECT_FALSE(progress->shows.back());
    });
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(IEImageUploaderTest, CancelAfterTheHeadersEndsTheRequestAndReadsTheAnswer)
{
    TurnLogOn();
    EarlyAnswerServer server(0, kAnswer);
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(server.Url(), 3000);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        ASSERT_EQ(S_OK, uploader->Upload());
        ASSERT_TRUE(vptest::PumpUntil([&] { return uploader->State() == UploaderState::SendingRequestAsync ||
                                                   uploader->State() == UploaderState::RequestSent; },
                                      kTimeoutMs));
        ASSERT_EQ(S_OK, uploader->Cancel());
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs)) << "state " << static_cast<int>(uploader->State());
        EXPECT_TRUE(uploader->chunks.empty());
        EXPECT_TRUE(strategy->responses.empty());
        EXPECT_EQ(0, strategy->errors);
    });
    EXPECT_TRUE(server.Served());
    EXPECT_EQ(0u, server.BodyReceived());
    EXPECT_TRUE(Logged(NewLog(), "Upload was canceled")) << NewLog();
}

TEST_F(IEImageUploaderTest, CancelAfterAChunkSendsNoMoreAndEndsTheRequest)
{
    EarlyAnswerServer server(1024, kAnswer);
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(server.Url(), 3000);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        uploader->cancelAfterFirstChunk = true;
        ASSERT_EQ(S_OK, uploader->Upload());
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs)) << "state " << static_cast<int>(uploader->State());
        EXPECT_EQ(std::vector<DWORD>({1024}), uploader->chunks);
        EXPECT_TRUE(strategy->responses.empty());
        EXPECT_EQ(0, strategy->errors);
        EXPECT_TRUE(uploader->IsCanceled());
    });
    EXPECT_EQ(1024u, server.BodyReceived());
}

TEST_F(IEImageUploaderTest, ACancelTheStrategyRefusesIsDroppedUnlessForced)
{
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(L"http://127.0.0.1:1/upload_api.php");
        strategy->queryCancelAnswer = 1;
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        uploader->OnCancel(false);
        EXPECT_FALSE(uploader->IsCanceled());
        EXPECT_TRUE(progress->shows.empty());
        uploader->OnCancel(true);
        EXPECT_TRUE(uploader->IsCanceled());
        EXPECT_EQ(std::vector<bool>({false}), progress->shows);
    });
}

// --- transport errors ---------------------------------------------------------------

TEST_F(IEImageUploaderTest, RefusedConnectionAsksTheStrategyAndStops)
{
    // A port that was just free: nothing listens there.
    std::wstring url;
    {
        vptest::LoopbackServer closed;
        url = closed.Url(L"/upload_api.php");
    }
    vptest::RunInApartment([&] {
        auto* strategy = new TestStrategy(url, 500);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(strategy, progress);
        ASSERT_EQ(S_OK, uploader->Upload());
        ASSERT_TRUE(vptest::PumpUntilFinished(kTimeoutMs));
        EXPECT_EQ(1, strategy->errors);
        EXPECT_TRUE(strategy->responses.empty());
        EXPECT_EQ(UploaderState::Failed, uploader->State());
        EXPECT_EQ(std::vector<bool>({true, false}), progress->shows);
    });
}

// --- properties and ownership ----------------------------------------------------------

TEST_F(IEImageUploaderTest, CallerWindowMustBeAWindowOrNothing)
{
    vptest::RunInApartment([&] {
        HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window);
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(nullptr, progress);
        const OLE_HANDLE handle = static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(window));
        EXPECT_EQ(S_OK, uploader->put_CallerHWND(handle));
        EXPECT_EQ(window, uploader->CallerWindow());
        EXPECT_EQ(E_INVALIDARG, uploader->put_CallerHWND(handle + 0x7654));
        EXPECT_EQ(window, uploader->CallerWindow());
        EXPECT_EQ(S_OK, uploader->put_CallerHWND(0));
        EXPECT_EQ(nullptr, uploader->CallerWindow());
        DestroyWindow(window);
    });
}

TEST_F(IEImageUploaderTest, StrategiesAndTargetsAreOwnedAndDeletedOnce)
{
    struct CountingTarget : ImageTarget {
        int* deleted;
        explicit CountingTarget(int* d) : deleted(d) {}
        ~CountingTarget() override { ++*deleted; }
    };
    int strategies = 0, targets = 0;
    vptest::RunInApartment([&] {
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(nullptr, progress);
        for (int i = 0; i < 2; ++i) {
            auto* strategy = new TestStrategy(L"http://127.0.0.1:1/");
            strategy->destroyed = &strategies;
            EXPECT_EQ(S_OK, uploader->put_strategy(reinterpret_cast<LONG_PTR>(strategy)));
            EXPECT_EQ(S_OK, uploader->put_target(reinterpret_cast<LONG_PTR>(new CountingTarget(&targets))));
        }
        EXPECT_EQ(1, strategies);
        EXPECT_EQ(1, targets);
    });
    EXPECT_EQ(2, strategies);
    EXPECT_EQ(2, targets);
}

TEST_F(IEImageUploaderTest, InterfacePropertiesHoldTheirObjects)
{
    vptest::RunInApartment([&] {
        vptest::FakeProgress* progress = nullptr;
        ComPtr<TestUploader> uploader = MakeUploader(nullptr, progress);
        vptest::FakeProgress* otherProgress = nullptr;
        ComPtr<TestUploader> otherUploader = MakeUploader(nullptr, otherProgress);
        ComPtr<IDispatch> other;
        // GetDispatch hands out its own reference; this ComPtr's Attach would add one more.
        *other.GetAddressOf() = otherUploader->GetDispatch();
        EXPECT_EQ(S_OK, uploader->put_caller(other.Get()));
        ComPtr<IDispatch> caller;
        EXPECT_EQ(S_OK, uploader->get_caller(&caller));
        EXPECT_EQ(other.Get(), caller.Get());
        ComPtr<IUnknown> destination;
        EXPECT_EQ(S_OK, uploader->get_destination(&destination));
        EXPECT_EQ(nullptr, destination.Get());
        EXPECT_EQ(S_OK, uploader->put_caller(nullptr));
        // A page document that is none: the native display takes over.
        EXPECT_EQ(S_OK, uploader->put_progress(other.Get()));
        EXPECT_NE(nullptr, uploader->GetProgress());
        EXPECT_NE(static_cast<IProgress*>(progress), uploader->GetProgress());
    });
}

}  // namespace
