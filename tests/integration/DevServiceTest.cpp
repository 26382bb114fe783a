// The integration tests' service is reachable from Windows programs and
// records what it receives.
#include <gtest/gtest.h>

#include "common/HttpConnection.h"
#include "support/DevService.h"

namespace {

TEST(DevServiceTest, UpdateDocumentIsServedToTheHttpClient)
{
    vptest::DevService service;
    ASSERT_TRUE(service.Available());
    service.Reset();
    HttpConnection http;
    ASSERT_TRUE(http.OpenGetStream(service.Url(L"/update.xml").c_str()));
    std::string text;
    ASSERT_TRUE(http.ReadAll(text));
    EXPECT_NE(std::string::npos, text.find("<version>")) << text;

    vptest::Json requests = service.Requests();
    ASSERT_EQ(1u, requests.Size());
    EXPECT_EQ("/update.xml", requests[0]["path"].String());
}

}  // namespace
