// The frame of the remote-station link: a 32-bit little-endian length and that many bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ua::cvnsocktcp {

// The largest payload a receiver takes; a longer frame ends the connection.
constexpr std::size_t max_frame_body = 10485760;

// The length word and the payload, ready for server::write.
std::string make_frame(std::string_view payload);
// Writes the frame of 'payload' into 'frame', reusing its storage.
void make_frame(std::string_view payload, std::string& frame);

// Cuts a byte stream into frames. The reader asks prepare() where the next bytes go (the rest of
// the length word, or the rest of the payload straight into the one body buffer), reads at most
// that many, and reports them with commit().
class frame_assembler {
public:
    enum class result { more, frame, oversized };

    explicit frame_assembler(std::size_t max_body = max_frame_body);

    // The place and the number of bytes the stream may fill next; never zero bytes.
    std::pair<char*, std::size_t> prepare();
    // 'count' bytes arrived at the place prepare() gave. 'frame': body() holds a whole payload
    // (possibly empty) until the next commit; 'oversized': the length word exceeds the limit and
    // the stream cannot go on.
    result commit(std::size_t count);
    std::string_view body() const { return m_length > m_max_body ? std::string_view() : std::string_view(m_body.data(), m_length); }
    std::uint32_t declared_length() const { return m_length; }
    // True while a payload is being read (after its length word).
    bool in_body() const { return m_in_body; }
    // Back to the start of a length word (a new connection).
    void reset();

private:
    std::size_t m_max_body;
    std::vector<char> m_body;
    unsigned char m_header[4] = {0, 0, 0, 0};
    std::size_t m_header_filled = 0;
    std::uint32_t m_length = 0;
    std::size_t m_body_filled = 0;
    bool m_in_body = false;
};

} // namespace ua::cvnsocktcp
