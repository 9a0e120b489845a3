// The framing the fuzz targets and the corpus generator share: a fixed block
// of arguments, then chunks of tag (1 byte), length (2 bytes, little-endian)
// and data. A chunk whose length runs past the input keeps what is there, so
// every input means something.
#ifndef PIECEPAINT_FUZZ_FUZZ_INPUT_H
#define PIECEPAINT_FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ppfuzz {

using Bytes = std::vector<uint8_t>;

struct Chunk {
    uint8_t tag;
    Bytes data;
};

// Reads a fixed-size record from the front; missing bytes read as zero.
template <typename Record> Record TakeRecord(const uint8_t *&data, size_t &size)
{
    Record record;
    std::memset(&record, 0, sizeof record);
    size_t take = size < sizeof record ? size : sizeof record;
    if (take != 0)
        std::memcpy(&record, data, take);
    data += take;
    size -= take;
    return record;
}

inline std::vector<Chunk> SplitChunks(const uint8_t *data, size_t size)
{
    std::vector<Chunk> chunks;
    while (size >= 3) {
        Chunk chunk;
        chunk.tag = data[0];
        size_t length = size_t{data[1]} | (size_t{data[2]} << 8);
        data += 3;
        size -= 3;
        if (length > size)
            length = size;
        chunk.data.assign(data, data + length);
        data += length;
        size -= length;
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

inline void AppendChunk(Bytes &out, uint8_t tag, const Bytes &data)
{
    size_t length = data.size() > 0xFFFF ? 0xFFFF : data.size();
    out.push_back(tag);
    out.push_back(static_cast<uint8_t>(length));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.insert(out.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
}

template <typename Record> void AppendRecord(Bytes &out, const Record &record)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(&record);
    out.insert(out.end(), bytes, bytes + sizeof record);
}

inline uint16_t ReadU16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace ppfuzz

#endif
