#include "Mp4Box.h"

namespace mp4 {

namespace {

// Containers the chapter writer looks into; everything else stays bytes.
bool IsContainer(uint32_t type)
{
    switch (type) {
    case FourCc("moov"):
    case FourCc("trak"):
    case FourCc("mdia"):
    case FourCc("minf"):
    case FourCc("stbl"):
    case FourCc("edts"):
    case FourCc("tref"):
    case FourCc("udta"):
        return true;
    default:
        return false;
    }
}

constexpr int kMaxDepth = 16;

}  // namespace

uint64_t Box::Size() const
{
    uint64_t size = largeHeader ? 16 : 8;
    if (!container)
        return size + payload.size();
    for (const Box& child : children)
        size += child.Size();
    return size + tail.size();
}

void Box::Serialize(std::vector<uint8_t>& out) const
{
    const uint64_t size = Size();
    uint8_t header[16];
    if (largeHeader) {
        Put32(header, 1);
        Put32(header + 4, type);
        Put64(header + 8, size);
    } else {
        Put32(header, static_cast<uint32_t>(size));
        Put32(header + 4, type);
    }
    out.insert(out.end(), header, header + (largeHeader ? 16 : 8));
    if (!container) {
        out.insert(out.end(), payload.begin(), payload.end());
        return;
    }
    for (const Box& child : children)
        child.Serialize(out);
    out.insert(out.end(), tail.begin(), tail.end());
}

Box* Box::Find(uint32_t childType)
{
    for (Box& child : children) {
        if (child.type == childType)
            return &child;
    }
    return nullptr;
}

const Box* Box::Find(uint32_t childType) const
{
    return const_cast<Box*>(this)->Find(childType);
}

Box* Box::FindPath(std::initializer_list<uint32_t> path)
{
    Box* box = this;
    for (uint32_t type : path) {
        box = box->Find(type);
        if (!box)
            return nullptr;
    }
    return box;
}

const Box* Box::FindPath(std::initializer_list<uint32_t> path) const
{
    return const_cast<Box*>(this)->FindPath(path);
}

static bool ParseOne(const uint8_t* data, size_t available, int depth, Box& box, size_t& used)
{
    if (available < 8)
        return false;
    uint64_t size = Get32(data);
    box.type = Get32(data + 4);
    size_t header = 8;
    if (size == 1) {
        if (available < 16)
            return false;
        size = Get64(data + 8);
        header = 16;
        box.largeHeader = true;
    }
    if (size < header || size > available)  // size 0 ("to the end of the file") only at the top
        return false;
    used = static_cast<size_t>(size);
    const uint8_t* payload = data + header;
    const size_t payloadSize = used - header;
    if (IsContainer(box.type)) {
        box.container = true;
        return ParseChildren(payload, payloadSize, depth + 1, box);
    }
    box.payload.assign(payload, payload + payloadSize);
    return true;
}

bool ParseChildren(const uint8_t* data, size_t size, int depth, Box& parent)
{
    if (depth > kMaxDepth)
        return false;
    size_t pos = 0;
    while (size - pos >= 8) {
        Box child;
        size_t used = 0;
        if (!ParseOne(data + pos, size - pos, depth, child, used))
            return false;
        parent.children.push_back(std::move(child));
        pos += used;
    }
    parent.tail.assign(data + pos, data + size);
    return true;
}

bool ParseBox(const uint8_t* data, size_t size, Box& box)
{
    size_t used = 0;
    return ParseOne(data, size, 0, box, used) && used == size;
}

std::string TypeName(uint32_t type)
{
    std::string name(4, ' ');
    for (int i = 0; i < 4; ++i)
        name[i] = static_cast<char>(type >> (24 - 8 * i));
    return name;
}

}  // namespace mp4
