// Uploads and transloads against the running service: storage is byte-exact,
// the answer's links fetch back what was sent, each error id is produced
// where the toolbar expects it, and concurrent uploads do not disturb each
// other.
#include "Digest.h"
#include "ServiceFixture.h"

#include <future>

namespace devservice::test {
namespace {

class UploadTest : public ServiceTest {};

TEST_F(UploadTest, CommaHeaderUploadIsStoredByteExactAndItsLinksFetchTheSameBytes) {
    const std::string picture = trickyBytes(300000, 1);
    const std::string thumb = trickyBytes(5000, 2);
    auto res = upload({field("toolbar", "IEVellumpostToolbar-4.8.3.75"), field("public", "yes"),
                       field("xml", "newformat"), filePart("fileupload", picture, "My Photo.jpg"),
                       filePart("thumbupload", thumb, "thumb.jpg")});
    ASSERT_TRUE(res);
    ASSERT_EQ(200, res->status) << res->body;
    const std::string& xml = res->body;
    const std::string image = xmlElement(xml, "image_link");
    EXPECT_EQ(0u, image.rfind("http://vellumpost.com/i/", 0)) << xml;
    EXPECT_EQ(picture, get(pathOf(image)));
    EXPECT_EQ(thumb, get(pathOf(xmlElement(xml, "thumb_link"))));
    EXPECT_NE(std::string::npos, get(pathOf(xmlElement(xml, "ad_link"))).find("My_Photo.jpg"));
    EXPECT_NE(std::string::npos, get(pathOf(xmlElement(xml, "done_page"))).find("Upload done"));
    EXPECT_NE(std::string::npos, xmlElement(xml, "image_html").find("<img src=\"" + image + "\""));
    EXPECT_NE(std::string::npos, xmlElement(xml, "image_bb").find("[IMG]" + image + "[/IMG]"));
    EXPECT_NE(std::string::npos, xmlElement(xml, "image_bb2").find("[img=" + image + "]"));
    for (const char* code : {"thumb_html", "thumb_bb", "thumb_bb2"})
        EXPECT_NE(std::string::npos, xmlElement(xml, code).find(xmlElement(xml, "thumb_link"))) << code;
    EXPECT_EQ("", xmlElement(xml, "video_embed"));
}

TEST_F(UploadTest, SemicolonHeaderFormIsAcceptedToo) {
    httplib::MultipartFormDataItems items = {{"public", "no", "", ""},
                                             {"fileupload", "PNGDATA", "a.png", "image/png"}};
    auto res = client().Post("/upload_api.php", items);
    ASSERT_TRUE(res);
    const std::string image = xmlElement(res->body, "image_link");
    ASSERT_FALSE(image.empty()) << res->body;
    EXPECT_EQ("PNGDATA", get(pathOf(image)));
}

TEST_F(UploadTest, VideoAnswerCarriesVideoCodesAndDurationInsteadOfThumbnail) {
    auto res = upload({field("public", "yes"), filePart("fileupload", "FLV\x01video", "clip.FLV", "video/x-flv")});
    ASSERT_TRUE(res);
    const std::string& xml = res->body;
    const std::string link = xmlElement(xml, "image_link");
    EXPECT_EQ(0u, link.rfind("http://video.vellumpost.com/v/", 0)) << xml;
    EXPECT_EQ("FLV\x01video", get(pathOf(link)));
    EXPECT_FALSE(xmlElement(xml, "video_embed").empty());
    EXPECT_FALSE(xmlElement(xml, "frame_bb").empty());
    EXPECT_FALSE(xmlElement(xml, "frame_bb2").empty());
    EXPECT_FALSE(xmlElement(xml, "duration").empty());
    EXPECT_NE(std::string::npos, xml.find("<video-info>"));
    EXPECT_EQ("", xmlElement(xml, "thumb_link")) << "the toolbar substitutes its generic video thumbnail";
    EXPECT_EQ("", xmlElement(xml, "image_html"));
}

TEST_F(UploadTest, FileAboveTheConfiguredLimitIsAnsweredFileTooBigAndNotStored) {
    ASSERT_EQ(200, client().Post("/__devservice/config?max_file_size=1000")->status);
    auto big = upload({filePart("fileupload", std::string(1001, 'x'), "big.jpg")});
    ASSERT_TRUE(big);
    EXPECT_EQ("file_too_big", xmlErrorId(big->body)) << big->body;
    EXPECT_EQ("", xmlElement(big->body, "image_link"));
    EXPECT_TRUE(service_->store().items().empty());
    auto fits = upload({filePart("fileupload", std::string(1000, 'x'), "fits.jpg")});
    EXPECT_FALSE(xmlElement(fits->body, "image_link").empty()) << fits->body;
}

TEST_F(UploadTest, TransloadFetchesFromThisMachineAndStoresTheSameBytes) {
    const std::string picture = trickyBytes(70000, 3);
    auto first = upload({filePart("fileupload", picture, "source.gif", "image/gif")});
    const std::string local = "http://127.0.0.1:" + std::to_string(port_) + pathOf(xmlElement(first->body, "image_link"));
    auto res = upload({field("public", "yes"), field("rembar", "1"), field("url", local)});
    ASSERT_TRUE(res);
    const std::string link = xmlElement(res->body, "image_link");
    ASSERT_FALSE(link.empty()) << res->body;
    EXPECT_NE(std::string::npos, link.find("/source.gif"));
    EXPECT_EQ(picture, get(pathOf(link)));
}

TEST_F(UploadTest, TransloadErrorsCarryTheIdsTheToolbarActsOn) {
    // A source somewhere else is refused without a connection attempt.
    for (const char* url : {"http://example.com/a.jpg", "http://127.0.0.1@example.com/a.jpg",
                            "https://127.0.0.1/a.jpg", "ftp://localhost/a.jpg", "not an address"}) {
        auto res = upload({field("url", url)});
        ASSERT_TRUE(res);
        EXPECT_EQ("resource_not_found", xmlErrorId(res->body)) << url;
    }
    // A local source that does not have the picture.
    auto missing = upload({field("url", "http://localhost:" + std::to_string(port_) + "/i/0/none.jpg")});
    EXPECT_EQ("resource_not_found", xmlErrorId(missing->body)) << missing->body;

    // A local source that fails while serving it.
    httplib::Server broken;
    broken.Get("/a.jpg", [](const httplib::Request&, httplib::Response& res) { res.status = 500; });
    const int brokenPort = broken.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { broken.listen_after_bind(); });
    auto failing = upload({field("url", "http://127.0.0.1:" + std::to_string(brokenPort) + "/a.jpg")});
    broken.stop();
    serving.join();
    EXPECT_EQ("transload_error", xmlErrorId(failing->body)) << failing->body;
    EXPECT_TRUE(service_->store().items().empty());
}

TEST_F(UploadTest, TwoUploadsAtOnceBothSucceed) {
    const std::string a = trickyBytes(4 << 20, 4), b = trickyBytes(4 << 20, 5);
    auto send = [this](const std::string& bytes, const std::string& name) {
        auto res = upload({filePart("fileupload", bytes, name)}, "B-O-U-N-D-A-R-Y" + name);
        return res ? xmlElement(res->body, "image_link") : std::string();
    };
    auto first = std::async(std::launch::async, send, a, "a.jpg");
    auto second = std::async(std::launch::async, send, b, "b.jpg");
    const std::string linkA = first.get(), linkB = second.get();
    ASSERT_FALSE(linkA.empty());
    ASSERT_FALSE(linkB.empty());
    EXPECT_NE(linkA, linkB);
    EXPECT_EQ(sha256Hex(a), sha256Hex(get(pathOf(linkA))));
    EXPECT_EQ(sha256Hex(b), sha256Hex(get(pathOf(linkB))));
}

TEST_F(UploadTest, StoredFilesSurviveARestartWithTheSameDataFolder) {
    auto res = upload({filePart("fileupload", "kept", "kept.bmp", "image/bmp")});
    const std::string path = pathOf(xmlElement(res->body, "image_link"));
    service_->stop();
    thread_.join();
    ServiceConfig config;
    config.dataDir = dataDir_;
    config.quiet = true;
    service_ = std::make_unique<DevService>(config);
    port_ = service_->bind("127.0.0.1", 0);
    thread_ = std::thread([this] { service_->run(); });
    while (!service_->isRunning())
        std::this_thread::yield();
    EXPECT_EQ("kept", get(path));
}

}  // namespace
}  // namespace devservice::test
