#include "cvnsocktcp/framing.h"

#include <cstring>
#include <stdexcept>

namespace ua::cvnsocktcp {

void make_frame(std::string_view payload, std::string& frame)
{
    if (payload.size() > 0xFFFFFFFFu)
        throw std::length_error("payload too long for a frame");
    const auto length = static_cast<std::uint32_t>(payload.size());
    frame.resize(4 + payload.size());
    for (int n = 0; n < 4; ++n)
        frame[static_cast<std::size_t>(n)] = static_cast<char>((length >> (8 * n)) & 0xFF);
    if (!payload.empty())
        std::memcpy(&frame[4], payload.data(), payload.size());
}

std::string make_frame(std::string_view payload)
{
    std::string frame;
    make_frame(payload, frame);
    return frame;
}

frame_assembler::frame_assembler(std::size_t max_body) : m_max_body(max_body), m_body(max_body) {}

std::pair<char*, std::size_t> frame_assembler::prepare()
{
    if (m_in_body)
        return {m_body.data() + m_body_filled, m_length - m_body_filled};
    return {reinterpret_cast<char*>(m_header) + m_header_filled, 4 - m_header_filled};
}

frame_assembler::result frame_assembler::commit(std::size_t count)
{
    if (m_in_body) {
        m_body_filled += count;
        if (m_body_filled < m_length)
            return result::more;
        m_in_body = false;
        m_header_filled = 0;
        return result::frame;
    }
    m_header_filled += count;
    if (m_header_filled < 4)
        return result::more;
    m_length = static_cast<std::uint32_t>(m_header[0]) | static_cast<std::uint32_t>(m_header[1]) << 8
               | static_cast<std::uint32_t>(m_header[2]) << 16 | static_cast<std::uint32_t>(m_header[3]) << 24;
    m_body_filled = 0;
    if (m_length > m_max_body) {
        m_header_filled = 0;
        return result::oversized;
    }
    if (m_length == 0) {
        m_header_filled = 0;
        return result::frame;
    }
    m_in_body = true;
    return result::more;
}

void frame_assembler::reset()
{
    m_header_filled = 0;
    m_body_filled = 0;
    m_length = 0;
    m_in_body = false;
}

} // namespace ua::cvnsocktcp
