#include "peer_input.h"

#include "encoders.h"

#include <vector>

namespace livefeed {

namespace {

std::vector<std::string> splitFields(const std::string& text)
{
    std::vector<std::string> fields;
    std::string current;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '*' || c == '\0')
            break;
        if (c == ',') {
            fields.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    fields.push_back(current);
    return fields;
}

} // namespace

std::optional<std::string> runtimeReply(const std::string& request, const SounderIdentity& identity)
{
    if (request.compare(0, 7, "$TVQEL,") != 0)
        return std::nullopt;
    const std::vector<std::string> fields = splitFields(request);
    if (fields.size() >= 3 && fields[1] == "261") {
        const std::string& sounder = fields[2].empty() ? identity.sounder : fields[2];
        // No checksum: the receiver reads the JSON array to the end of the datagram.
        return tvqelSentence({"401", sounder,
                              "[{\"id\":\"RUNT_PARAM_PU_ANGLE_PORT_RX1\",\"value\":65},"
                              "{\"id\":\"RUNT_PARAM_PU_ANGLE_STARB_RX1\",\"value\":65}]"},
                             false);
    }
    if (fields.size() >= 5 && fields[1] == "450" && fields[3] == "452") {
        const std::string& vessel = fields[2].empty() ? identity.vessel : fields[2];
        return tvqelSentence({"0", "452", vessel + ":" + fields[4], "0"});
    }
    return std::nullopt;
}

std::optional<HttpRequest> parseRequestHead(const std::string& head)
{
    const std::size_t lineEnd = head.find("\r\n");
    const std::string line = head.substr(0, lineEnd);
    const std::size_t first = line.find(' ');
    if (first == std::string::npos)
        return std::nullopt;
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string::npos || line.compare(second + 1, 5, "HTTP/") != 0)
        return std::nullopt;
    HttpRequest request{line.substr(0, first), line.substr(first + 1, second - first - 1)};
    if ((request.method != "GET" && request.method != "HEAD") || request.path.empty() || request.path[0] != '/')
        return std::nullopt;
    return request;
}

} // namespace livefeed
