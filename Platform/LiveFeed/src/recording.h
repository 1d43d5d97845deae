// A recorded run: every datagram the feed sent, with its time and channel, for replay.
//
// File: "CORVFEED" and a 32-bit version (1), then records of a 32-bit time in milliseconds since
// the start, one channel byte (0 position, 1 depth, 2 control) and a 32-bit length with the
// datagram; all numbers little-endian.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace livefeed {

enum class Channel : std::uint8_t { Position = 0, Depth = 1, Control = 2 };

struct RecordedDatagram {
    std::uint32_t timeMs = 0;
    Channel channel = Channel::Control;
    std::vector<std::uint8_t> bytes;
};

constexpr std::size_t kMaxDatagram = 65507;

class RecordingWriter {
public:
    RecordingWriter() = default;
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    bool open(const std::string& path);
    bool write(std::uint32_t timeMs, Channel channel, const std::uint8_t* data, std::size_t size);
    bool close();

private:
    std::FILE* m_file = nullptr;
    bool m_failed = false;
};

// Reads a recording from bytes; stops with an error at the first damaged record.
struct RecordingContents {
    std::vector<RecordedDatagram> datagrams;
    std::string error; // empty when the whole input was read
};

RecordingContents parseRecording(const std::uint8_t* data, std::size_t size);

// Reads a whole file (at most 1 GiB).
RecordingContents readRecording(const std::string& path);

} // namespace livefeed
