// Faults armed over the inspection interface change exactly the next
// uploads they were armed for, in the way reliability tests of the toolbar
// rely on.
#include "ServiceFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace devservice::test {
namespace {

using Clock = std::chrono::steady_clock;

class FaultTest : public ServiceTest {
protected:
    // The errno of a plain connect to the service's port; 0 when it connects.
    int connectError() {
        const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int error = ::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
        ::close(sock);
        return error;
    }
    httplib::Result plainUpload() { return upload({field("public", "yes"), filePart("fileupload", "JPEG", "f.jpg")}); }
    bool stored(const httplib::Result& res) { return res && !xmlElement(res->body, "image_link").empty(); }
};

TEST_F(FaultTest, HttpStatusAppliesToTheArmedNumberOfUploadsOnly) {
    armFault("status=503&count=2");
    for (int i = 0; i < 2; ++i) {
        auto res = plainUpload();
        ASSERT_TRUE(res);
        EXPECT_EQ(503, res->status);
        EXPECT_FALSE(stored(res));
    }
    EXPECT_TRUE(stored(plainUpload()));
    EXPECT_TRUE(service_->store().items().size() == 1);
}

TEST_F(FaultTest, ATimedFaultAppliesToEveryUploadUntilItsTimeIsUpThenTheNextFaultFollows) {
    armFault("status=503&for_ms=400");
    armFault("body=empty");
    const auto armed = Clock::now();
    int unavailable = 0;
    while (Clock::now() - armed < std::chrono::milliseconds(300)) {
        auto res = plainUpload();
        ASSERT_TRUE(res);
        EXPECT_EQ(503, res->status);
        ++unavailable;
    }
    EXPECT_GE(unavailable, 2) << "more uploads than any count said";
    std::this_thread::sleep_until(armed + std::chrono::milliseconds(450));  // the time the fault is about
    auto next = plainUpload();
    ASSERT_TRUE(next);
    EXPECT_FALSE(stored(next)) << "the fault armed after it applies next";
    EXPECT_TRUE(stored(plainUpload()));
}

TEST_F(FaultTest, ErrorIdIsAnsweredAsAnXmlError) {
    armFault("error=transload_error");
    auto res = plainUpload();
    ASSERT_TRUE(res);
    EXPECT_EQ(200, res->status);
    EXPECT_EQ("transload_error", xmlErrorId(res->body)) << res->body;
    EXPECT_FALSE(stored(res));
}

TEST_F(FaultTest, BodyThatIsNotXmlAndEmptyBody) {
    armFault("body=not_xml");
    armFault("body=empty");
    auto notXml = plainUpload();
    ASSERT_TRUE(notXml);
    EXPECT_EQ(200, notXml->status);
    EXPECT_EQ(std::string::npos, notXml->body.find("<?xml"));
    EXPECT_EQ(std::string::npos, notXml->body.find("<links>"));
    EXPECT_FALSE(notXml->body.empty());
    auto empty = plainUpload();
    ASSERT_TRUE(empty);
    EXPECT_EQ(200, empty->status);
    EXPECT_EQ("", empty->body);
    EXPECT_EQ("0", empty->get_header_value("Content-Length"));
}

TEST_F(FaultTest, CraftedAnswerIsSentAsItIs) {
    armFault("answer=%3Clinks%3E%3Cimage_link%3Ejavascript%3Ax()%3C%2Fimage_link%3E%3C%2Flinks%3E");
    auto res = plainUpload();
    ASSERT_TRUE(res);
    EXPECT_EQ(200, res->status);
    EXPECT_EQ("<links><image_link>javascript:x()</image_link></links>", res->body);
    EXPECT_TRUE(service_->store().items().empty());
}

TEST_F(FaultTest, DelayHoldsTheAnswerBack) {
    armFault("delay_ms=400");
    const auto start = Clock::now();
    EXPECT_TRUE(stored(plainUpload()));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(400));
}

TEST_F(FaultTest, AnUploadHeldAcrossAResetIsNotRecordedAfterIt) {
    armFault("delay_ms=400");
    std::thread held([this] { EXPECT_TRUE(stored(plainUpload())); });
    while (service_->store().items().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    client().Post("/__devservice/reset");
    held.join();
    EXPECT_EQ("[\n]\n", records()) << "a request from before the reset reached the next test's record";
    get("/");
    EXPECT_NE(std::string::npos, records().find("\"target\":\"/\"")) << "later requests are recorded";
}

TEST_F(FaultTest, CloseInTheMiddleOfTheBodyGivesNoAnswerAndStoresNothing) {
    armFault("close_after=100000");
    auto res = upload({filePart("fileupload", std::string(1 << 20, 'z'), "big.jpg")});
    EXPECT_FALSE(res) << "status " << (res ? res->status : 0);
    EXPECT_TRUE(service_->store().items().empty());
    const std::string log = records();
    EXPECT_NE(std::string::npos, log.find("\"outcome\":\"closed\"")) << log;
    EXPECT_NE(std::string::npos, log.find("\"body_bytes\":100000")) << log;
    EXPECT_TRUE(stored(plainUpload())) << "the next upload is served normally";
}

TEST_F(FaultTest, SlowReadTakesTheBodyAtTheArmedRate) {
    armFault("read_rate=1000000");  // 1 MB/s
    const std::string bytes(600000, 's');
    const auto start = Clock::now();
    auto res = upload({filePart("fileupload", bytes, "slow.jpg")});
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(550));
    ASSERT_TRUE(stored(res));
    EXPECT_EQ(bytes, get(pathOf(xmlElement(res->body, "image_link"))));
}

TEST_F(FaultTest, ThePortRefusesConnectionsForTheTimeAskedThenServesOnTheSamePortAgain) {
    EXPECT_EQ(400, client().Post("/__devservice/refuse?for_ms=0")->status);
    armFault("status=503");  // armed faults outlive the refusal
    const auto asked = Clock::now();
    auto answer = client().Post("/__devservice/refuse?for_ms=500");
    ASSERT_TRUE(answer);
    EXPECT_EQ(200, answer->status) << "the request that asks is answered";
    EXPECT_EQ(ECONNREFUSED, connectError());
    EXPECT_FALSE(plainUpload());
    while (connectError() != 0 && Clock::now() - asked < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(Clock::now() - asked, std::chrono::milliseconds(500));
    auto unavailable = plainUpload();
    ASSERT_TRUE(unavailable);
    EXPECT_EQ(503, unavailable->status);
    EXPECT_TRUE(stored(plainUpload()));

    // Stopping while the port refuses ends the service at once.
    ASSERT_TRUE(client().Post("/__devservice/refuse?for_ms=60000"));
    const auto stopping = Clock::now();
    service_->stop();
    thread_.join();
    EXPECT_LT(Clock::now() - stopping, std::chrono::seconds(5));
}

TEST_F(FaultTest, InvalidFaultIsRefusedAndResetDisarms) {
    EXPECT_EQ(400, client().Post("/__devservice/faults?count=2")->status);
    EXPECT_EQ(400, client().Post("/__devservice/faults?status=99")->status);
    EXPECT_EQ(400, client().Post("/__devservice/faults?body=html")->status);
    armFault("status=500&count=5");
    EXPECT_NE("[]\n", client().Get("/__devservice/faults")->body);
    ASSERT_EQ(200, client().Post("/__devservice/reset")->status);
    EXPECT_EQ("[]\n", client().Get("/__devservice/faults")->body);
    EXPECT_TRUE(stored(plainUpload()));
}

}  // namespace
}  // namespace devservice::test
