// What the feed reads from outside: recordings, requests to the sounder runtime, page requests.
#include "peer_input.h"
#include "recording.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    livefeed::parseRecording(data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);
    livefeed::runtimeReply(text, livefeed::SounderIdentity());
    livefeed::parseRequestHead(text);
    return 0;
}
