#include "recording.h"

#include <cstring>
#include <memory>

namespace livefeed {

namespace {

const char kMagic[8] = {'C', 'O', 'R', 'V', 'F', 'E', 'E', 'D'};
constexpr std::uint32_t kVersion = 1;

void put32(std::uint8_t* out, std::uint32_t v)
{
    for (int n = 0; n < 4; ++n)
        out[n] = static_cast<std::uint8_t>(v >> (8 * n));
}

std::uint32_t get32(const std::uint8_t* in)
{
    return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8
           | static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

RecordingWriter::~RecordingWriter()
{
    close();
}

bool RecordingWriter::open(const std::string& path)
{
    close();
    m_failed = false;
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file)
        return false;
    std::uint8_t head[12];
    std::memcpy(head, kMagic, 8);
    put32(head + 8, kVersion);
    if (std::fwrite(head, 1, sizeof head, m_file) != sizeof head)
        m_failed = true;
    return !m_failed;
}

bool RecordingWriter::write(std::uint32_t timeMs, Channel channel, const std::uint8_t* data, std::size_t size)
{
    if (!m_file || m_failed || size > kMaxDatagram)
        return false;
    std::uint8_t head[9];
    put32(head, timeMs);
    head[4] = static_cast<std::uint8_t>(channel);
    put32(head + 5, static_cast<std::uint32_t>(size));
    if (std::fwrite(head, 1, sizeof head, m_file) != sizeof head || std::fwrite(data, 1, size, m_file) != size)
        m_failed = true;
    return !m_failed;
}

bool RecordingWriter::close()
{
    if (!m_file)
        return !m_failed;
    const bool ok = std::fclose(m_file) == 0 && !m_failed;
    m_file = nullptr;
    return ok;
}

RecordingContents parseRecording(const std::uint8_t* data, std::size_t size)
{
    RecordingContents contents;
    if (size < 12 || std::memcmp(data, kMagic, 8) != 0) {
        contents.error = "not a recording of the live feed";
        return contents;
    }
    if (get32(data + 8) != kVersion) {
        contents.error = "recording version " + std::to_string(get32(data + 8)) + " is not known";
        return contents;
    }
    std::size_t offset = 12;
    std::uint32_t lastTime = 0;
    while (offset < size) {
        if (size - offset < 9) {
            contents.error = "truncated record head at byte " + std::to_string(offset);
            return contents;
        }
        RecordedDatagram datagram;
        datagram.timeMs = get32(data + offset);
        const std::uint8_t channel = data[offset + 4];
        const std::uint32_t length = get32(data + offset + 5);
        if (channel > 2) {
            contents.error = "unknown channel " + std::to_string(channel) + " at byte " + std::to_string(offset);
            return contents;
        }
        if (length > kMaxDatagram) {
            contents.error = "datagram of " + std::to_string(length) + " bytes at byte " + std::to_string(offset);
            return contents;
        }
        if (datagram.timeMs < lastTime) {
            contents.error = "time goes back at byte " + std::to_string(offset);
            return contents;
        }
        offset += 9;
        if (size - offset < length) {
            contents.error = "truncated datagram at byte " + std::to_string(offset);
            return contents;
        }
        datagram.channel = static_cast<Channel>(channel);
        datagram.bytes.assign(data + offset, data + offset + length);
        offset += length;
        lastTime = datagram.timeMs;
        contents.datagrams.push_back(std::move(datagram));
    }
    return contents;
}

RecordingContents readRecording(const std::string& path)
{
    RecordingContents contents;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        contents.error = "cannot open " + path;
        return contents;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > (std::size_t(1) << 30)) {
            contents.error = path + " is larger than 1 GiB";
            return contents;
        }
    }
    return parseRecording(bytes.data(), bytes.size());
}

} // namespace livefeed
