// The box tree of an MP4 movie header, held in memory: the containers the chapter writer walks
// are parsed into children, every other box is kept as its bytes. Serialize gives the same
// bytes back for an unchanged tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace mp4 {

constexpr uint32_t FourCc(const char (&name)[5])
{
    return (static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24) |
           (static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(name[3]));
}

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t Get32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) | (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
inline uint64_t Get64(const uint8_t* p) { return (static_cast<uint64_t>(Get32(p)) << 32) | Get32(p + 4); }
inline void Put32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline void Put64(uint8_t* p, uint64_t v)
{
    Put32(p, static_cast<uint32_t>(v >> 32));
    Put32(p + 4, static_cast<uint32_t>(v));
}

// Appends big-endian values and boxes to a byte buffer.
class ByteWriter {
public:
    std::vector<uint8_t> bytes;

    void U8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v) { U8(v >> 8); U8(v); }
    void U32(uint32_t v) { U16(v >> 16); U16(v); }
    void U64(uint64_t v) { U32(static_cast<uint32_t>(v >> 32)); U32(static_cast<uint32_t>(v)); }
    void Zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
    void Append(const void* data, size_t size)
    {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
    // A box: Begin writes its header with room for the size, End fills the size in.
    size_t Begin(uint32_t type)
    {
        const size_t start = bytes.size();
        U32(0);
        U32(type);
        return start;
    }
    void End(size_t start) { Put32(bytes.data() + start, static_cast<uint32_t>(bytes.size() - start)); }
};

struct Box {
    uint32_t type = 0;
    bool largeHeader = false;           // the size was written in 64 bits
    bool container = false;
    std::vector<uint8_t> payload;       // a leaf's bytes after the header
    std::vector<Box> children;          // a container's boxes
    std::vector<uint8_t> tail;          // a container's bytes after its last box (fewer than 8)

    uint64_t Size() const;
    void Serialize(std::vector<uint8_t>& out) const;

    Box* Find(uint32_t childType);
    const Box* Find(uint32_t childType) const;
    // The first box down a path of child types ("mdia", "minf", "stbl").
    Box* FindPath(std::initializer_list<uint32_t> path);
    const Box* FindPath(std::initializer_list<uint32_t> path) const;
};

// Parses a container's payload into children; false on any box that does not fit.
bool ParseChildren(const uint8_t* data, size_t size, int depth, Box& parent);
// Parses a whole box (header included) that fills data exactly.
bool ParseBox(const uint8_t* data, size_t size, Box& box);

std::string TypeName(uint32_t type);

}  // namespace mp4
