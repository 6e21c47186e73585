// libcurl is loaded by the first request, not by start-up.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "http/httprequestobject.h"
#include "support/test_pages.h"
#include "support/test_server.h"

namespace lianshuo {
namespace {

bool libcurlLoaded() {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        if (line.find("libcurl") != std::string::npos) return true;
    }
    return false;
}

// ctest runs every test in a process of its own, so nothing else has made a request here. A
// service keeps a request object from start-up on; building one used to load libcurl.
TEST(Loading, RequestObjectsLoadLibcurlOnlyWhenTheyRequest) {
    ASSERT_FALSE(libcurlLoaded()) << "run this test in a process of its own";
    HttpRequestObject object;
    HttpRequestObject copy = object;
    object.setTimeouts(1000, 1000, 1000, 1000);
    object.open("GET", "http://127.0.0.1/");
    EXPECT_FALSE(libcurlLoaded());

    test::TestServer server;
    server.route("/p", test::reply(200, "page"));
    EXPECT_EQ(object.fetchPage(server.url("/p")), "page");
    EXPECT_TRUE(libcurlLoaded());
}

}  // namespace
}  // namespace lianshuo
