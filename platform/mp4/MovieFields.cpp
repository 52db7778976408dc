#include "MovieFields.h"

#include <cstring>

namespace mp4 {

uint64_t Rescale(uint64_t value, uint32_t from, uint32_t to)
{
    return value / from * to + value % from * to / from;
}

FieldLayout MovieHeaderLayout(const Box& mvhd)
{
    return mvhd.payload[0] == 1 ? FieldLayout{112, 20, 24, true} : FieldLayout{100, 12, 16, false};
}
FieldLayout TrackHeaderLayout(const Box& tkhd)
{
    return tkhd.payload[0] == 1 ? FieldLayout{96, 0, 28, true} : FieldLayout{84, 0, 20, false};
}
FieldLayout MediaHeaderLayout(const Box& mdhd)
{
    return mdhd.payload[0] == 1 ? FieldLayout{32, 20, 24, true} : FieldLayout{24, 12, 16, false};
}

bool Fits(const Box* box, FieldLayout (*layout)(const Box&))
{
    return box && !box->payload.empty() && box->payload[0] <= 1 && box->payload.size() >= layout(*box).minimum;
}

uint64_t ReadDuration(const Box& box, const FieldLayout& layout)
{
    const uint8_t* p = box.payload.data() + layout.duration;
    return layout.wide ? Get64(p) : Get32(p);
}

// Writes a duration; a version 0 box whose field is too narrow becomes version 1 (the
// creation and modification times and the duration grow to 64 bits).
void WriteDuration(Box& box, FieldLayout (*layout)(const Box&), uint64_t value)
{
    FieldLayout fields = layout(box);
    if (!fields.wide && value > 0xFFFFFFFFu) {
        std::vector<uint8_t>& p = box.payload;
        const uint64_t created = Get32(&p[4]);
        const uint64_t modified = Get32(&p[8]);
        std::vector<uint8_t> wide(p.begin(), p.begin() + 4);
        wide[0] = 1;
        wide.resize(20);
        Put64(&wide[4], created);
        Put64(&wide[12], modified);
        // What lies between the times and the duration (time scale, or track id and reserved).
        wide.insert(wide.end(), p.begin() + 12, p.begin() + static_cast<ptrdiff_t>(fields.duration));
        wide.resize(wide.size() + 8);
        wide.insert(wide.end(), p.begin() + static_cast<ptrdiff_t>(fields.duration) + 4, p.end());
        p = std::move(wide);
        fields = layout(box);
    }
    uint8_t* p = box.payload.data() + fields.duration;
    if (fields.wide)
        Put64(p, value);
    else
        Put32(p, static_cast<uint32_t>(value));
}

// Edit list segment durations are in movie units too.
bool RescaleEditList(Box& elst, uint32_t from, uint32_t to)
{
    std::vector<uint8_t>& p = elst.payload;
    if (p.size() < 8 || p[0] > 1)
        return false;
    const bool wide = p[0] == 1;
    const size_t entry = wide ? 20 : 12;
    const uint32_t count = Get32(&p[4]);
    if (count > (p.size() - 8) / entry)
        return false;
    bool fitsNarrow = true;
    std::vector<uint64_t> durations(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = &p[8 + i * entry];
        durations[i] = Rescale(wide ? Get64(e) : Get32(e), from, to);
        fitsNarrow = fitsNarrow && durations[i] <= 0xFFFFFFFFu;
    }
    if (!wide && !fitsNarrow) {
        // Version 1: 64-bit durations and media times (an empty edit's -1 stays -1).
        std::vector<uint8_t> widened(p.begin(), p.begin() + 8);
        widened[0] = 1;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* e = &p[8 + i * 12];
            const int64_t mediaTime = static_cast<int32_t>(Get32(e + 4));
            widened.resize(widened.size() + 20);
            uint8_t* w = &widened[widened.size() - 20];
            Put64(w + 8, static_cast<uint64_t>(mediaTime));
            std::memcpy(w + 16, e + 8, 4);
        }
        widened.insert(widened.end(), p.begin() + 8 + count * 12, p.end());
        p = std::move(widened);
    }
    const size_t stride = p[0] == 1 ? 20 : 12;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* e = &p[8 + i * stride];
        if (p[0] == 1)
            Put64(e, durations[i]);
        else
            Put32(e, static_cast<uint32_t>(durations[i]));
    }
    return true;
}

// The chunk offsets of a sample table, or false when it has none or they do not fit.
bool ChunkOffsets(const Box& stbl, std::vector<uint64_t>& offsets)
{
    const Box* stco = stbl.Find(FourCc("stco"));
    const Box* co64 = stbl.Find(FourCc("co64"));
    const Box* table = stco ? stco : co64;
    if (!table || table->payload.size() < 8)
        return false;
    const size_t entry = stco ? 4 : 8;
    const uint32_t count = Get32(&table->payload[4]);
    if (count > (table->payload.size() - 8) / entry)
        return false;
    offsets.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = &table->payload[8 + i * entry];
        offsets[i] = stco ? Get32(e) : Get64(e);
    }
    return true;
}

// The sum of a sample table's sample sizes, or false.
bool SampleBytes(const Box& stbl, uint64_t& total)
{
    const Box* stsz = stbl.Find(FourCc("stsz"));
    if (!stsz || stsz->payload.size() < 12)
        return false;
    const std::vector<uint8_t>& p = stsz->payload;
    const uint32_t fixed = Get32(&p[4]);
    const uint32_t count = Get32(&p[8]);
    if (fixed != 0) {
        total = static_cast<uint64_t>(fixed) * count;
        return true;
    }
    if (count > (p.size() - 12) / 4)
        return false;
    total = 0;
    for (uint32_t i = 0; i < count; ++i)
        total += Get32(&p[12 + i * 4]);
    return true;
}

uint32_t TrackIdOf(const Box& tkhd)
{
    return Get32(&tkhd.payload[tkhd.payload[0] == 1 ? 20 : 12]);
}

}  // namespace mp4
