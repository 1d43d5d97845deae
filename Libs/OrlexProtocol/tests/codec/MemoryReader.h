#pragma once
// IReaders over bytes in memory, for tests, the fuzz target and the benchmark.

#include "OrlexProtocol/codec/BufferedReader.h"
#include "OrlexProtocol/codec/IReader.h"
#include "OrlexProtocol/codec/ReaderInputBuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace codectest
{

class MemoryReader : public Dremm::Orlex::QtClient::IReader
{
public:
    MemoryReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    void read(void* buffer, std::size_t count) override
    {
        if (count > m_size - m_pos)
            throw std::runtime_error("end of input");
        std::memcpy(buffer, m_data + m_pos, count);
        m_pos += count;
        ++m_reads;
        if (count > m_largestRead)
            m_largestRead = count;
    }
    bool isValid() const override { return true; }
    bool atEnd() const override { return m_pos == m_size; }

    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_size - m_pos; }
    std::size_t reads() const { return m_reads; }
    std::size_t largestRead() const { return m_largestRead; }
    void rewind() { m_pos = 0; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    std::size_t m_reads = 0;
    std::size_t m_largestRead = 0;
};

// Hands out the bytes in pieces of a fixed size, one piece per receive.
class PieceReader : public Dremm::Orlex::QtClient::BufferedReader
{
public:
    PieceReader(std::string bytes, std::size_t piece) : m_bytes(std::move(bytes)), m_piece(piece)
    {
    }
    bool isValid() const override { return true; }
    bool atEnd() const override { return false; }

protected:
    Window receive() override
    {
        if (m_pos == m_bytes.size())
            throw std::runtime_error("end of input");
        const std::size_t n = std::min(m_piece, m_bytes.size() - m_pos);
        // A copy of its own for each piece, so that reading past a piece shows in ASan.
        m_current.assign(m_bytes, m_pos, n);
        m_pos += n;
        const auto* p = reinterpret_cast<const std::uint8_t*>(m_current.data());
        return {p, p + n};
    }

private:
    std::string m_bytes;
    std::size_t m_piece;
    std::size_t m_pos = 0;
    std::string m_current;
};

// "01 0A ff" -> bytes; blanks and "|" are ignored.
inline std::vector<std::uint8_t> hexBytes(const std::string& hex)
{
    std::vector<std::uint8_t> out;
    int nibbles = 0;
    unsigned value = 0;
    for (char c : hex) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            continue;
        value = value * 16 + unsigned(d);
        if (++nibbles == 2) {
            out.push_back(static_cast<std::uint8_t>(value));
            nibbles = 0;
            value = 0;
        }
    }
    if (nibbles != 0)
        throw std::invalid_argument("odd number of hex digits: " + hex);
    return out;
}

inline std::string toHex(const std::uint8_t* data, std::size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        if (i)
            out += ' ';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}
inline std::string toHex(const std::vector<std::uint8_t>& bytes) { return toHex(bytes.data(), bytes.size()); }
inline std::string toHex(const std::string& bytes)
{
    return toHex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
// Normalises a hex text to the form toHex gives.
inline std::string hex(const std::string& text) { return toHex(hexBytes(text)); }

// Bytes held together with a reader over them.
struct Input
{
    explicit Input(const std::string& hexText) : Input(hexBytes(hexText)) {}
    explicit Input(std::vector<std::uint8_t> raw)
        : bytes(std::move(raw)),
          memory(std::make_shared<MemoryReader>(bytes.data(), bytes.size())),
          buffer(memory)
    {
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    std::vector<std::uint8_t> bytes;
    std::shared_ptr<MemoryReader> memory;
    Dremm::Orlex::QtClient::ReaderInputBuffer buffer;
};

} // namespace codectest
