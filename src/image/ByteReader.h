#pragma once
// The one bounded reader every decoder reads file bytes through. A read past the end sets the
// failed flag and yields zeros; decoders check Failed() (or the bool results) and never walk
// raw pointers over file data.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace tavolin {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : m_data(data) {}

    size_t Size() const { return m_data.size(); }
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_data.size() - m_pos; }
    bool Failed() const { return m_failed; }
    std::span<const uint8_t> Data() const { return m_data; }

    /// Moves to an absolute offset; false (and failed) when it lies beyond the end.
    bool Seek(size_t offset) {
        if (offset > m_data.size()) return Fail();
        m_pos = offset;
        return true;
    }
    bool Skip(size_t count) {
        if (count > Remaining()) return Fail();
        m_pos += count;
        return true;
    }
    /// Copies count bytes; on truncation copies nothing and fails.
    bool Read(void* out, size_t count) {
        if (count > Remaining()) return Fail();
        if (count) std::memcpy(out, m_data.data() + m_pos, count);
        m_pos += count;
        return true;
    }
    /// A view of the next count bytes, consumed; empty and failed on truncation.
    std::span<const uint8_t> Take(size_t count) {
        if (count > Remaining()) {
            Fail();
            return {};
        }
        auto view = m_data.subspan(m_pos, count);
        m_pos += count;
        return view;
    }
    uint8_t U8() {
        if (Remaining() < 1) return Fail(), 0;
        return m_data[m_pos++];
    }
    uint16_t U16LE() {
        if (Remaining() < 2) return Fail(), 0;
        const uint16_t v = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    uint16_t U16BE() {
        if (Remaining() < 2) return Fail(), 0;
        const uint16_t v = static_cast<uint16_t>((m_data[m_pos] << 8) | m_data[m_pos + 1]);
        m_pos += 2;
        return v;
    }
    uint32_t U32LE() {
        if (Remaining() < 4) return Fail(), 0;
        const uint32_t v = static_cast<uint32_t>(m_data[m_pos]) |
                           (static_cast<uint32_t>(m_data[m_pos + 1]) << 8) |
                           (static_cast<uint32_t>(m_data[m_pos + 2]) << 16) |
                           (static_cast<uint32_t>(m_data[m_pos + 3]) << 24);
        m_pos += 4;
        return v;
    }
    int16_t S16LE() { return static_cast<int16_t>(U16LE()); }
    int32_t S32LE() { return static_cast<int32_t>(U32LE()); }

private:
    bool Fail() {
        m_failed = true;
        return false;
    }

    std::span<const uint8_t> m_data;
    size_t m_pos = 0;
    bool m_failed = false;
};

}  // namespace tavolin
