#include "engine/hublist/bzip2_stream.h"

#include <algorithm>
#include <cstdint>

Bzip2ReadStream::Bzip2ReadStream(std::string_view compressed) : m_compressed(compressed) {
    const int result = BZ2_bzDecompressInit(&m_stream, 0, 0);
    m_initialised = result == BZ_OK;
    if (!m_initialised) m_error = "bzip2 initialisation failed (" + std::to_string(result) + ")";
}

Bzip2ReadStream::~Bzip2ReadStream() {
    if (m_initialised) BZ2_bzDecompressEnd(&m_stream);
}

std::optional<std::size_t> Bzip2ReadStream::Read(char* buffer, std::size_t capacity) {
    if (!m_error.empty()) return std::nullopt;
    if (m_ended || m_compressed.empty() || capacity == 0) return 0;
    std::size_t produced = 0;
    while (produced < capacity) {
        if (m_stream.avail_in == 0 && m_offset < m_compressed.size()) {
            const std::size_t piece = std::min(kInputPiece, m_compressed.size() - m_offset);
            // bzlib takes a non-const pointer but never writes through next_in.
            m_stream.next_in = const_cast<char*>(m_compressed.data() + m_offset);
            m_stream.avail_in = static_cast<unsigned>(piece);
            m_offset += piece;
        }
        const std::size_t want = std::min<std::size_t>(capacity - produced, UINT32_MAX);
        m_stream.next_out = buffer + produced;
        m_stream.avail_out = static_cast<unsigned>(want);
        const int result = BZ2_bzDecompress(&m_stream);
        const std::size_t made = want - m_stream.avail_out;
        produced += made;
        if (result == BZ_DATA_ERROR_MAGIC) return Fail("not bzip2 data");
        if (result < 0) return Fail("damaged bzip2 data (" + std::to_string(result) + ")");
        if (result == BZ_STREAM_END) {
            m_ended = true;
            if (InputLeft()) return Fail("data after the end of the bzip2 stream");
            break;
        }
        // Input used up and bzlib holds nothing more back.
        if (made == 0 && !InputLeft()) break;
    }
    if (produced == 0 && !m_ended) return Fail("bzip2 stream cut off before its end");
    return produced;
}

std::optional<std::size_t> Bzip2ReadStream::Fail(std::string message) {
    m_error = std::move(message);
    return std::nullopt;
}
