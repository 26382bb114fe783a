// The request record shows what the toolbar sent, field by field; the pages
// take the toolbar's forms and cookies, and the login challenge is judged
// with the handshake the toolbar uses.
#include "Digest.h"
#include "ServiceFixture.h"

namespace devservice::test {
namespace {

class RecordTest : public ServiceTest {};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++n;
    return n;
}

TEST_F(RecordTest, UploadRecordShowsEveryFieldAndFilePart) {
    const std::string picture = trickyBytes(12345, 6), thumb = "THUMB";
    const std::vector<FormPart> parts = {
        field("toolbar", "IEVellumpostToolbar-4.8.3.75"), field("public", "no"), field("xml", "newformat"),
        field("tags", "cats \"and\" dogs"), field("optimage", "1"), field("optsize", "320x240"),
        field("statistics_operation", "upload"), field("statistics_source", "toolbar"), field("cookie", "c00k1e"),
        field("rembar", "1"), field("class", "s"), field("caf\xe9", "\xe9t\xe9"),
        filePart("fileupload", picture, "C:\\Pics\\p.jpg"), filePart("thumbupload", thumb, "t.jpg", "image/png")};
    auto res = upload(parts);
    ASSERT_TRUE(res);
    const std::string log = records();
    for (const FormPart& part : parts) {
        if (part.fileName.empty() && part.name.find('\xe9') == std::string::npos) {
            EXPECT_TRUE(contains(log, "{\"name\":\"" + part.name + "\",\"value\":")) << part.name << "\n" << log;
        }
    }
    EXPECT_TRUE(contains(log, "\"value\":\"cats \\\"and\\\" dogs\",\"size\":15")) << log;
    // Bytes of the ANSI code page are shown as Latin-1 text.
    EXPECT_TRUE(contains(log, "{\"name\":\"caf\xc3\xa9\",\"value\":\"\xc3\xa9t\xc3\xa9\",\"size\":3}")) << log;
    EXPECT_TRUE(contains(log, "{\"name\":\"fileupload\",\"file\":true,\"filename\":\"C:\\\\Pics\\\\p.jpg\","
                              "\"content_type\":\"image/jpeg\",\"sha256\":\"" + sha256Hex(picture) +
                              "\",\"size\":12345}")) << log;
    EXPECT_TRUE(contains(log, "{\"name\":\"thumbupload\",\"file\":true,\"filename\":\"t.jpg\","
                              "\"content_type\":\"image/png\",\"sha256\":\"" + sha256Hex(thumb) + "\",\"size\":5}"))
        << log;
    EXPECT_TRUE(contains(log, "[\"Content-Type\",\"multipart/form-data, boundary=B-O-U-N-D-A-R-Y123456789\"]")) << log;
    EXPECT_TRUE(contains(log, "\"outcome\":\"stored\"")) << log;
    // The stored item keeps the tags and the private flag.
    ASSERT_EQ(1u, service_->store().items().size());
    EXPECT_FALSE(service_->store().items()[0].isPublic);
    EXPECT_EQ("p.jpg", service_->store().items()[0].name);
}

TEST_F(RecordTest, RecordsCanBeReadFromASequenceNumberAndReset) {
    get("/");
    get("/search.php?q=x");
    const std::string all = records();
    EXPECT_TRUE(contains(all, "\"seq\":1,")) << all;
    EXPECT_TRUE(contains(all, "\"target\":\"/search.php?q=x\"")) << all;
    EXPECT_FALSE(contains(all, "__devservice")) << "inspection requests are not recorded";
    const std::string later = client().Get("/__devservice/requests?since=1")->body;
    EXPECT_FALSE(contains(later, "\"seq\":1,"));
    EXPECT_TRUE(contains(later, "\"seq\":2,"));
    client().Post("/__devservice/reset");
    EXPECT_EQ("[\n]\n", records());
}

TEST_F(RecordTest, LoginSetsCookiesAndTheChallengeResponseIsJudged) {
    auto login = client().Get("/registration/setlogin.php?login=alice");
    ASSERT_TRUE(login);
    std::string challenge;
    bool user = false;
    for (std::size_t i = 0; i < login->get_header_value_count("Set-Cookie"); ++i) {
        const std::string cookie = login->get_header_value("Set-Cookie", i);
        user = user || cookie.rfind("myimages=alice;", 0) == 0;
        if (cookie.rfind("IMGTCHALLENGE=", 0) == 0)
            challenge = cookie.substr(14, cookie.find(';') - 14);
    }
    EXPECT_TRUE(user);
    ASSERT_FALSE(challenge.empty());

    const std::string right = challengeResponse(challenge);
    EXPECT_EQ(md5Hex(challenge + "x9;*m3"), right);
    client().Post("/__devservice/reset");
    auto c = client();
    c.Get("/v_images.php", {{"Cookie", "myimages=alice; IMGTCHALLENGE=" + challenge + "; IMGTRESPONSE=" + right +
                                           "; TOOLBARVER=IEVellumpostToolbar-4.8.3.75"}});
    c.Get("/", {{"Cookie", "myimages=alice; IMGTCHALLENGE=" + challenge + "; IMGTRESPONSE=0123"}});
    c.Get("/", {{"Cookie", "IMGTRESPONSE=" + right}});  // judged against the last challenge handed out
    const std::string log = records();
    EXPECT_TRUE(contains(log, "\"challenge\":{\"verdict\":\"valid\",\"challenge\":\"" + challenge)) << log;
    EXPECT_TRUE(contains(log, "\"verdict\":\"invalid\"")) << log;
    EXPECT_TRUE(contains(log, "[\"TOOLBARVER\",\"IEVellumpostToolbar-4.8.3.75\"]")) << log;
    EXPECT_EQ(2u, countOf(log, "\"verdict\":\"valid\"")) << log;

    auto logout = client().Get("/registration/logout.php");
    ASSERT_EQ(2u, logout->get_header_value_count("Set-Cookie"));
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_TRUE(contains(logout->get_header_value("Set-Cookie", i), "=; expires=Thu, 01 Jan 1970"));
}

TEST_F(RecordTest, PagesTakeTheToolbarsForms) {
    auto first = upload({field("tags", "holiday"), filePart("fileupload", "A", "a.jpg")});
    auto second = upload({filePart("fileupload", "B", "b.jpg")});
    const std::string a = pathOf(xmlElement(first->body, "image_link")).substr(1);
    const std::string b = pathOf(xmlElement(second->body, "image_link")).substr(1);

    const std::string boundary = "B-O-U-N-D-A-R-Y42";
    auto results = client().Post("/toolbar/pictures.php",
                                 toolbarBody(boundary, {field("id[]", a), field("public[]", "yes"), field("id[]", b),
                                                        field("public[]", "no")}),
                                 ("multipart/form-data, boundary=" + boundary).c_str());
    ASSERT_TRUE(results);
    EXPECT_LT(results->body.find("data-id=\"" + a), results->body.find("data-id=\"" + b)) << results->body;

    EXPECT_TRUE(contains(get("/blogpost/postblog.php?id=" + a), "data-id=\"" + a));
    EXPECT_TRUE(contains(get("/blogpost/postblog.php?id=i/0/none.jpg"), "Unknown picture"));

    auto slideshow = client().Post("/slideshow/import.php",
                                   toolbarBody(boundary, {field("url[]", a), field("url[]", "http://vellumpost.com/" + b),
                                                          field("public", "yes"), field("finalize", "yes"),
                                                          field("optsize", "426x320"), field("fadein", "trans1"),
                                                          field("background", "#000000")}),
                                   ("multipart/form-data, boundary=" + boundary).c_str());
    ASSERT_TRUE(slideshow);
    EXPECT_TRUE(contains(slideshow->body, "Slideshow created"));
    EXPECT_TRUE(contains(slideshow->body, "data-id=\"" + b)) << slideshow->body;

    EXPECT_TRUE(contains(get("/search.php?q=HOLIDAY"), "data-id=\"" + a));
    EXPECT_FALSE(contains(get("/search.php?q=HOLIDAY"), "data-id=\"" + b));
    EXPECT_TRUE(contains(get("/v_images.php"), "Please log in"));
}

TEST_F(RecordTest, UpdateDocumentFollowsTheConfiguration) {
    client().Post("/__devservice/config?update_version=9.9.9.9&update_link=http://x/y%3Fa%3D1%26b%3D2");
    EXPECT_EQ("<?xml version=\"1.0\"?>\n<update>\n  <version>9.9.9.9</version>\n"
              "  <link>http://x/y?a=1&amp;b=2</link>\n</update>\n",
              get("/update.xml"));
}

}  // namespace
}  // namespace devservice::test
