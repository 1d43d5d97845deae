// What the feed reads from its peers: requests of the display to the sounder runtime, and the
// request line of the status page's HTTP requests.
#pragma once

#include <optional>
#include <string>

namespace livefeed {

// The sounder's name and vessel the feed plays.
struct SounderIdentity {
    std::string vessel = "default";
    std::string sounder = "TQ2200_101";
};

// The reply the sounder runtime gives to one request datagram, or nothing.
//   "$TVQEL,261,<sounder>,..."            coverage angles -> "$TVQEL,401,<sounder>,<JSON array>"
//   "$TVQEL,450,<vessel>,452,<sounder>"   start -> the start reply with status 0
std::optional<std::string> runtimeReply(const std::string& request, const SounderIdentity& identity);

// The path of an HTTP request head ("GET /path HTTP/1.1"); nothing when it is not a GET or HEAD.
struct HttpRequest {
    std::string method;
    std::string path;
};
std::optional<HttpRequest> parseRequestHead(const std::string& head);

} // namespace livefeed
