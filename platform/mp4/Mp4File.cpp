#include "Mp4.h"

#include "CString.h"
#include "FileIo.h"
#include "Mp4Box.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

struct MP4FileOpaque {};

namespace mp4 {

namespace {

constexpr uint64_t kMaxMovieHeader = 256ull << 20;  // a movie header larger than this is refused
constexpr size_t kMaxTopLevelBoxes = 100000;

// A box at the top level of the file.
struct TopBox {
    uint64_t offset;
    uint64_t size;  // as far as the file reaches for a cut-off free box at the end
    uint32_t type;
    bool toEnd = false;  // its header says size 0: "to the end of the file"
};

bool IsFree(uint32_t type)
{
    return type == FourCc("free") || type == FourCc("skip");
}

// value x to / from without overflow for every value with from, to below 2^32.
uint64_t Rescale(uint64_t value, uint32_t from, uint32_t to)
{
    return value / from * to + value % from * to / from;
}

struct Track {
    Box* trak;
    MP4TrackId id;
    char type[5];
};

// Fixed-position fields of the full boxes the layer reads and writes.
struct FieldLayout {
    size_t minimum;  // payload bytes the box needs
    size_t timescale;  // 0: none
    size_t duration;
    bool wide;  // duration in 64 bits
};

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

// The track ids a 'chap' reference box lists.
std::vector<uint32_t> ReferencedIds(const Box& chap)
{
    std::vector<uint32_t> ids;
    for (size_t i = 0; i + 4 <= chap.payload.size(); i += 4)
        ids.push_back(Get32(&chap.payload[i]));
    return ids;
}

Box Leaf(uint32_t type, std::vector<uint8_t> payload)
{
    Box box;
    box.type = type;
    box.payload = std::move(payload);
    return box;
}

Box Container(uint32_t type, std::vector<Box> children)
{
    Box box;
    box.type = type;
    box.container = true;
    box.children = std::move(children);
    return box;
}

const uint32_t kIdentityMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};

// The chapter texts as samples: a 16-bit length, the UTF-8 title, and an 'encd' box that
// names UTF-8.
std::vector<uint8_t> ChapterSamples(const std::vector<MP4Chapter_t>& chapters, std::vector<uint32_t>& sizes)
{
    ByteWriter w;
    for (const MP4Chapter_t& chapter : chapters) {
        const size_t length = strnlen(chapter.title, MP4V2_CHAPTER_TITLE_MAX);
        const size_t start = w.bytes.size();
        w.U16(static_cast<uint32_t>(length));
        w.Append(chapter.title, length);
        w.U32(12);
        w.U32(FourCc("encd"));
        w.U32(0x00000100);
        sizes.push_back(static_cast<uint32_t>(w.bytes.size() - start));
    }
    return std::move(w.bytes);
}

// The QuickTime text track that holds the chapters, its samples in one chunk at dataOffset.
Box ChapterTrack(MP4TrackId id, const std::vector<MP4Chapter_t>& chapters, const std::vector<uint32_t>& sizes,
                 uint32_t movieTimeScale, uint64_t dataOffset, bool wideOffset)
{
    constexpr uint32_t kTimeScale = 1000;  // chapter durations are milliseconds
    uint64_t total = 0;
    for (const MP4Chapter_t& chapter : chapters)
        total += chapter.duration;
    const uint64_t movieDuration = Rescale(total, kTimeScale, movieTimeScale);

    ByteWriter tkhd;
    const bool wideTrack = movieDuration > 0xFFFFFFFFu;
    tkhd.U32(wideTrack ? 0x01000000 : 0);  // version; flags 0: not shown as a track of its own
    if (wideTrack) {
        tkhd.U64(0);
        tkhd.U64(0);
        tkhd.U32(id);
        tkhd.U32(0);
        tkhd.U64(movieDuration);
    } else {
        tkhd.U32(0);
        tkhd.U32(0);
        tkhd.U32(id);
        tkhd.U32(0);
        tkhd.U32(static_cast<uint32_t>(movieDuration));
    }
    tkhd.Zeros(8);             // reserved
    tkhd.U16(0);               // layer
    tkhd.U16(0);               // alternate group
    tkhd.U16(0);               // volume
    tkhd.U16(0);
    for (uint32_t m : kIdentityMatrix)
        tkhd.U32(m);
    tkhd.U32(0);               // width
    tkhd.U32(0);               // height

    ByteWriter mdhd;
    const bool wideMedia = total > 0xFFFFFFFFu;
    mdhd.U32(wideMedia ? 0x01000000 : 0);
    if (wideMedia) {
        mdhd.U64(0);
        mdhd.U64(0);
        mdhd.U32(kTimeScale);
        mdhd.U64(total);
    } else {
        mdhd.U32(0);
        mdhd.U32(0);
        mdhd.U32(kTimeScale);
        mdhd.U32(static_cast<uint32_t>(total));
    }
    mdhd.U16(0x55C4);          // language "und"
    mdhd.U16(0);

    ByteWriter hdlr;
    hdlr.U32(0);
    hdlr.U32(0);
    hdlr.U32(FourCc("text"));
    hdlr.Zeros(12);
    hdlr.Append("Chapters", 9);

    ByteWriter gmin;
    gmin.U32(0);
    gmin.U16(0x40);            // graphics mode: copy
    gmin.U16(0x8000);
    gmin.U16(0x8000);
    gmin.U16(0x8000);
    gmin.U16(0);               // balance
    gmin.U16(0);
    ByteWriter text;
    for (uint32_t m : kIdentityMatrix)
        text.U32(m);

    ByteWriter dref;
    dref.U32(0);
    dref.U32(1);
    const size_t url = dref.Begin(FourCc("url "));
    dref.U32(1);               // the data is in this file
    dref.End(url);

    ByteWriter stsd;
    stsd.U32(0);
    stsd.U32(1);
    const size_t entry = stsd.Begin(FourCc("text"));
    stsd.Zeros(6);
    stsd.U16(1);               // data reference index
    stsd.U32(0);               // display flags
    stsd.U32(0);               // justification
    stsd.Zeros(6);             // background colour
    stsd.Zeros(8);             // default text box
    stsd.Zeros(8);
    stsd.U16(0);               // font number
    stsd.U16(0);               // font face
    stsd.U8(0);
    stsd.U16(0);
    stsd.Zeros(6);             // foreground colour
    stsd.U8(0);                // font name: empty
    stsd.End(entry);

    ByteWriter stts;
    stts.U32(0);
    stts.U32(static_cast<uint32_t>(chapters.size()));
    for (const MP4Chapter_t& chapter : chapters) {
        stts.U32(1);
        stts.U32(static_cast<uint32_t>(chapter.duration));
    }
    ByteWriter stsz;
    stsz.U32(0);
    stsz.U32(0);
    stsz.U32(static_cast<uint32_t>(sizes.size()));
    for (uint32_t size : sizes)
        stsz.U32(size);
    ByteWriter stsc;
    stsc.U32(0);
    stsc.U32(1);
    stsc.U32(1);
    stsc.U32(static_cast<uint32_t>(chapters.size()));
    stsc.U32(1);
    ByteWriter stco;
    stco.U32(0);
    stco.U32(1);
    if (wideOffset)
        stco.U64(dataOffset);
    else
        stco.U32(static_cast<uint32_t>(dataOffset));

    return Container(FourCc("trak"),
        {Leaf(FourCc("tkhd"), std::move(tkhd.bytes)),
         Container(FourCc("mdia"),
             {Leaf(FourCc("mdhd"), std::move(mdhd.bytes)), Leaf(FourCc("hdlr"), std::move(hdlr.bytes)),
              Container(FourCc("minf"),
                  {Leaf(FourCc("gmhd"), [&] {
                       ByteWriter gmhd;
                       const size_t a = gmhd.Begin(FourCc("gmin"));
                       gmhd.Append(gmin.bytes.data(), gmin.bytes.size());
                       gmhd.End(a);
                       const size_t b = gmhd.Begin(FourCc("text"));
                       gmhd.Append(text.bytes.data(), text.bytes.size());
                       gmhd.End(b);
                       return std::move(gmhd.bytes);
                   }()),
                   Container(FourCc("dinf"), {Leaf(FourCc("dref"), std::move(dref.bytes))}),
                   Container(FourCc("stbl"),
                       {Leaf(FourCc("stsd"), std::move(stsd.bytes)), Leaf(FourCc("stts"), std::move(stts.bytes)),
                        Leaf(FourCc("stsz"), std::move(stsz.bytes)), Leaf(FourCc("stsc"), std::move(stsc.bytes)),
                        Leaf(wideOffset ? FourCc("co64") : FourCc("stco"), std::move(stco.bytes))})})})});
}

}  // namespace

// An MP4 file open for modification: its top-level boxes and its movie header in memory.
class File : public MP4FileOpaque {
public:
    bool Open(const wchar_t* path);
    bool Close();

    const std::vector<Track>& Tracks() const { return m_tracks; }
    const Track* FindTrack(MP4TrackId id) const;
    const Box& Mvhd() const { return *m_moov.Find(FourCc("mvhd")); }
    uint32_t TimeScale() const { return Get32(&Mvhd().payload[MovieHeaderLayout(Mvhd()).timescale]); }
    uint64_t Duration() const { return ReadDuration(Mvhd(), MovieHeaderLayout(Mvhd())); }
    bool SetTimeScale(uint32_t value);
    bool SetChapters(const MP4Chapter_t* chapters, uint32_t count);
    // After a change that stopped half-way: Close writes nothing.
    void MarkBroken() { m_broken = true; }

private:
    bool ReadTopLevel();
    bool IndexTracks();
    struct Span {
        uint64_t start;
        uint64_t length;
        bool atEnd;  // the file ends with the span
    };
    Span ChooseSpan(uint64_t needed) const;
    void ReplaceChapterTrack(std::vector<uint64_t>& freedBoxes);
    bool Write();

    FileIo m_io;
    std::vector<TopBox> m_top;
    uint64_t m_end = 0;           // end of the last whole box (bytes after it are a cut-off write)
    size_t m_moovIndex = 0;       // the first moov: the one players read
    Box m_moov;
    std::vector<Track> m_tracks;
    bool m_modified = false;
    bool m_chaptersSet = false;
    bool m_broken = false;        // a change stopped half-way (out of memory): nothing is written
    std::vector<MP4Chapter_t> m_chapters;
};

bool File::Open(const wchar_t* path)
{
    if (!m_io.Open(path) || !ReadTopLevel())
        return false;
    const TopBox& moov = m_top[m_moovIndex];
    if (moov.size > kMaxMovieHeader)
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(moov.size));
    if (!m_io.ReadAt(moov.offset, bytes.data(), bytes.size()) || !ParseBox(bytes.data(), bytes.size(), m_moov))
        return false;
    return Fits(m_moov.Find(FourCc("mvhd")), MovieHeaderLayout) && IndexTracks();
}

bool File::ReadTopLevel()
{
    const uint64_t size = m_io.Size();
    uint64_t pos = 0;
    bool haveMoov = false;
    while (pos < size) {
        if (m_top.size() >= kMaxTopLevelBoxes)
            return false;
        uint8_t header[16] = {};
        const uint64_t left = size - pos;
        if (left < 8) {
            break;  // the start of a header whose write was cut off
        }
        if (!m_io.ReadAt(pos, header, left < 16 ? static_cast<size_t>(left) : 16))
            return false;
        uint64_t boxSize = Get32(header);
        const uint32_t type = Get32(header + 4);
        uint64_t headerSize = 8;
        bool toEnd = false;
        if (boxSize == 1) {
            if (left < 16) {
                if (!IsFree(type))
                    return false;
                m_top.push_back({pos, left, type});  // a free box whose header was cut off
                pos = size;
                break;
            }
            boxSize = Get64(header + 8);
            headerSize = 16;
        } else if (boxSize == 0) {
            boxSize = left;  // to the end of the file
            toEnd = true;
        }
        if (boxSize < headerSize)
            return false;
        if (boxSize > left) {
            // A free box cut off at the end of the file (a write that stopped) is free space
            // up to the end; any other box is a broken file.
            if (!IsFree(type))
                return false;
            boxSize = left;
        }
        if (type == FourCc("moov") && !haveMoov) {
            haveMoov = true;
            m_moovIndex = m_top.size();
        }
        m_top.push_back({pos, boxSize, type, toEnd});
        pos += boxSize;
    }
    m_end = pos;
    return haveMoov;
}

bool File::IndexTracks()
{
    m_tracks.clear();
    for (Box& child : m_moov.children) {
        if (child.type != FourCc("trak"))
            continue;
        const Box* tkhd = child.Find(FourCc("tkhd"));
        const Box* mdhd = child.FindPath({FourCc("mdia"), FourCc("mdhd")});
        const Box* hdlr = child.FindPath({FourCc("mdia"), FourCc("hdlr")});
        if (!Fits(tkhd, TrackHeaderLayout) || !Fits(mdhd, MediaHeaderLayout) || !hdlr || hdlr->payload.size() < 12)
            return false;
        Track track{&child, Get32(&tkhd->payload[tkhd->payload[0] == 1 ? 20 : 12]), {}};
        std::memcpy(track.type, &hdlr->payload[8], 4);
        m_tracks.push_back(track);
    }
    return true;
}

const Track* File::FindTrack(MP4TrackId id) const
{
    for (const Track& track : m_tracks) {
        if (track.id == id && id != MP4_INVALID_TRACK_ID)
            return &track;
    }
    return nullptr;
}

bool File::SetTimeScale(uint32_t value)
{
    const uint32_t old = TimeScale();
    if (value == 0 || old == 0)
        return false;
    if (value == old)
        return true;
    Box& mvhd = *m_moov.Find(FourCc("mvhd"));
    WriteDuration(mvhd, MovieHeaderLayout, Rescale(Duration(), old, value));
    Put32(&mvhd.payload[MovieHeaderLayout(mvhd).timescale], value);
    for (Track& track : m_tracks) {
        Box& tkhd = *track.trak->Find(FourCc("tkhd"));
        WriteDuration(tkhd, TrackHeaderLayout, Rescale(ReadDuration(tkhd, TrackHeaderLayout(tkhd)), old, value));
        if (Box* elst = track.trak->FindPath({FourCc("edts"), FourCc("elst")}))
            RescaleEditList(*elst, old, value);
    }
    m_modified = true;
    return true;
}

bool File::SetChapters(const MP4Chapter_t* chapters, uint32_t count)
{
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (chapters[i].duration > 0xFFFFFFFFu || total + chapters[i].duration < total)
            return false;
        total += chapters[i].duration;
    }
    bool haveSound = false;
    for (const Track& track : m_tracks)
        haveSound = haveSound || std::memcmp(track.type, "soun", 4) == 0;
    if (!haveSound)
        return false;
    m_chapters.assign(chapters, chapters + count);
    for (MP4Chapter_t& chapter : m_chapters)
        chapter.title[MP4V2_CHAPTER_TITLE_MAX] = '\0';
    m_chaptersSet = true;
    m_modified = true;
    return true;
}

// Drops the text tracks that 'chap' references name, and their references; notes where the
// old chapter texts lay when they fill a top-level mdat of their own.
void File::ReplaceChapterTrack(std::vector<uint64_t>& freedBoxes)
{
    std::vector<uint32_t> chapterIds;
    for (Track& track : m_tracks) {
        if (Box* tref = track.trak->Find(FourCc("tref"))) {
            for (Box& reference : tref->children) {
                if (reference.type == FourCc("chap")) {
                    for (uint32_t id : ReferencedIds(reference))
                        chapterIds.push_back(id);
                }
            }
        }
    }
    std::vector<uint32_t> removed;
    for (const Track& track : m_tracks) {
        if (std::memcmp(track.type, "text", 4) != 0 ||
            std::find(chapterIds.begin(), chapterIds.end(), track.id) == chapterIds.end())
            continue;
        removed.push_back(track.id);
        const Box* stbl = track.trak->FindPath({FourCc("mdia"), FourCc("minf"), FourCc("stbl")});
        std::vector<uint64_t> offsets;
        uint64_t bytes = 0;
        if (stbl && ChunkOffsets(*stbl, offsets) && offsets.size() == 1 && SampleBytes(*stbl, bytes)) {
            for (const TopBox& box : m_top) {
                if (box.type == FourCc("mdat") && box.offset + 8 == offsets[0] && box.size == bytes + 8)
                    freedBoxes.push_back(box.offset);
            }
        }
    }
    // A chapter list of the other kind (Nero's, in the movie's user data) would go on showing
    // the old chapters beside the new ones.
    if (Box* udta = m_moov.Find(FourCc("udta")))
        std::erase_if(udta->children, [](const Box& b) { return b.type == FourCc("chpl"); });
    // The references to what is removed go; a reference box left empty goes too.
    for (Box& child : m_moov.children) {
        Box* tref = child.type == FourCc("trak") ? child.Find(FourCc("tref")) : nullptr;
        if (!tref)
            continue;
        for (Box& reference : tref->children) {
            if (reference.type != FourCc("chap"))
                continue;
            std::vector<uint8_t> kept;
            for (size_t i = 0; i + 4 <= reference.payload.size(); i += 4) {
                if (std::find(removed.begin(), removed.end(), Get32(&reference.payload[i])) == removed.end())
                    kept.insert(kept.end(), reference.payload.begin() + i, reference.payload.begin() + i + 4);
            }
            reference.payload = std::move(kept);
        }
        std::erase_if(tref->children, [](const Box& b) { return b.type == FourCc("chap") && b.payload.empty(); });
        if (tref->children.empty() && tref->tail.empty())
            std::erase_if(child.children, [](const Box& b) { return b.type == FourCc("tref"); });
    }
    std::erase_if(m_moov.children, [&](const Box& b) {
        if (b.type != FourCc("trak"))
            return false;
        const Box* tkhd = b.Find(FourCc("tkhd"));
        const MP4TrackId id = Get32(&tkhd->payload[tkhd->payload[0] == 1 ? 20 : 12]);
        return std::find(removed.begin(), removed.end(), id) != removed.end();
    });
    IndexTracks();
}

// A run of free boxes that the new header fills exactly or with room for a free box after it;
// else the free boxes that end the file, or the end of the file, where the file's size is set
// to what the header needs.
File::Span File::ChooseSpan(uint64_t needed) const
{
    for (size_t i = 0; i < m_top.size();) {
        if (!IsFree(m_top[i].type)) {
            ++i;
            continue;
        }
        size_t j = i;
        uint64_t length = 0;
        while (j < m_top.size() && IsFree(m_top[j].type))
            length += m_top[j++].size;
        const bool fits = (length == needed || length >= needed + 8) && length <= 0xFFFFFFFFu;
        if (j == m_top.size())
            return {m_top[i].offset, fits ? length : needed, true};
        if (fits)
            return {m_top[i].offset, length, false};
        i = j;
    }
    return {m_end, needed, true};
}

bool File::Write()
{
    std::vector<uint64_t> freedBoxes;
    for (const TopBox& box : m_top) {
        if (box.type == FourCc("moov"))
            freedBoxes.push_back(box.offset);  // every older movie header, the one read included
    }
    size_t chapterIndex = m_moov.children.size();
    MP4TrackId chapterId = 0;
    std::vector<uint8_t> samples;
    std::vector<uint32_t> sizes;
    if (m_chaptersSet) {
        ReplaceChapterTrack(freedBoxes);
        if (!m_chapters.empty()) {
            Box& mvhd = *m_moov.Find(FourCc("mvhd"));
            const size_t nextField = MovieHeaderLayout(mvhd).minimum - 4;
            MP4TrackId highest = 0;
            for (const Track& track : m_tracks)
                highest = std::max(highest, track.id);
            chapterId = Get32(&mvhd.payload[nextField]);
            if (chapterId <= highest || chapterId == 0xFFFFFFFFu)
                chapterId = highest + 1;
            Put32(&mvhd.payload[nextField], chapterId + 1);
            // The first sound track names the chapter track.
            for (Track& track : m_tracks) {
                if (std::memcmp(track.type, "soun", 4) != 0)
                    continue;
                Box* tref = track.trak->Find(FourCc("tref"));
                if (!tref) {
                    const auto at = std::find_if(track.trak->children.begin(), track.trak->children.end(),
                                                 [](const Box& b) { return b.type == FourCc("mdia"); });
                    tref = &*track.trak->children.insert(at, Container(FourCc("tref"), {}));
                }
                ByteWriter ids;
                ids.U32(chapterId);
                tref->children.push_back(Leaf(FourCc("chap"), std::move(ids.bytes)));
                break;
            }
            samples = ChapterSamples(m_chapters, sizes);
            // After the last track.
            chapterIndex = 0;
            for (size_t i = 0; i < m_moov.children.size(); ++i) {
                if (m_moov.children[i].type == FourCc("trak"))
                    chapterIndex = i + 1;
            }
            m_moov.children.insert(m_moov.children.begin() + static_cast<ptrdiff_t>(chapterIndex), Box{});
        }
    }

    // The new header and, in an mdat of their own, the chapter texts after it.
    const uint64_t fileSize = m_io.Size();
    std::vector<uint8_t> region;
    Span span{};
    bool wideOffset = false;
    for (;;) {
        if (chapterId)
            m_moov.children[chapterIndex] = ChapterTrack(chapterId, m_chapters, sizes, TimeScale(), 0, wideOffset);
        const uint64_t moovSize = m_moov.Size();
        span = ChooseSpan(moovSize + (chapterId ? 8 + samples.size() : 0));
        const uint64_t dataOffset = span.start + moovSize + 8;
        if (chapterId && dataOffset > 0xFFFFFFFFu && !wideOffset) {
            wideOffset = true;  // 64-bit chunk offsets make the header larger: place it again
            continue;
        }
        if (chapterId)
            m_moov.children[chapterIndex] = ChapterTrack(chapterId, m_chapters, sizes, TimeScale(), dataOffset, wideOffset);
        break;
    }
    m_moov.Serialize(region);
    if (chapterId) {
        ByteWriter mdat;
        mdat.U32(static_cast<uint32_t>(8 + samples.size()));
        mdat.U32(FourCc("mdat"));
        mdat.Append(samples.data(), samples.size());
        region.insert(region.end(), mdat.bytes.begin(), mdat.bytes.end());
    }

    // What the bytes to be written hold now, to put back if the write fails; when the file
    // ends with a few bytes more than the span (less than a box header), those too.
    const uint64_t newSize = span.atEnd ? span.start + span.length : fileSize;
    const uint64_t written = span.start + std::min<uint64_t>(span.length, region.size() + 8);
    const uint64_t keptEnd = newSize < fileSize ? fileSize : std::min(fileSize, written);
    std::vector<uint8_t> original(span.start < keptEnd ? static_cast<size_t>(keptEnd - span.start) : 0);
    if (!original.empty() && !m_io.ReadAt(span.start, original.data(), original.size()))
        return false;
    const uint64_t start = span.start;
    // A last box that runs "to the end of the file" would take in what is appended: it gets
    // its size written first (the same box before and after), which needs 32 bits.
    const TopBox* toEnd = span.atEnd && !m_top.empty() && m_top.back().toEnd && m_top.back().offset < start
                              ? &m_top.back()
                              : nullptr;
    if (toEnd && toEnd->size > 0xFFFFFFFFu)
        return false;

    FileIo::BeginWriting();
    bool ok = true;
    uint8_t explicitSize[4];
    if (toEnd) {
        Put32(explicitSize, static_cast<uint32_t>(toEnd->size));
        ok = m_io.WriteAt(toEnd->offset, explicitSize, 4) && m_io.Flush();
    }
    // 1. The span becomes one free box, the new header and chapter texts go inside it.
    uint8_t freeHeader[8];
    Put32(freeHeader, static_cast<uint32_t>(span.length));
    Put32(freeHeader + 4, FourCc("free"));
    ok = ok && m_io.WriteAt(start, freeHeader, 8);
    if (ok && newSize != fileSize)
        ok = m_io.SetSize(newSize);
    if (ok)
        ok = m_io.WriteAt(start + 8, region.data() + 8, region.size() - 8);
    if (ok && span.length > region.size()) {
        Put32(freeHeader, static_cast<uint32_t>(span.length - region.size()));
        ok = m_io.WriteAt(start + region.size(), freeHeader, 8);
    }
    ok = ok && m_io.Flush();
    // 2. One header write makes the new movie header visible (while the old one still is).
    ok = ok && m_io.WriteAt(start, region.data(), 8) && m_io.Flush();
    // 3. The old headers (and old chapter texts) become free boxes.
    size_t freed = 0;
    for (; ok && freed < freedBoxes.size(); ++freed) {
        const uint32_t type = FourCc("free");
        uint8_t name[4];
        Put32(name, type);
        ok = m_io.WriteAt(freedBoxes[freed] + 4, name, 4);
    }
    ok = ok && m_io.Flush();
    if (!ok) {
        // Back to the file as it was: old types, the span's bytes, the old size.
        for (size_t i = 0; i < freed; ++i) {
            uint8_t name[4];
            Put32(name, FourCc("moov"));
            for (const TopBox& box : m_top) {
                if (box.offset == freedBoxes[i])
                    Put32(name, box.type);
            }
            m_io.WriteAt(freedBoxes[i] + 4, name, 4);
        }
        if (newSize != fileSize)
            m_io.SetSize(fileSize);
        if (!original.empty())
            m_io.WriteAt(start, original.data(), original.size());
        if (toEnd) {
            Put32(explicitSize, 0);
            m_io.WriteAt(toEnd->offset, explicitSize, 4);
        }
        m_io.Flush();
    }
    FileIo::EndWriting();
    return ok;
}

bool File::Close()
{
    bool ok = !m_broken;
    try {
        ok = ok && (!m_modified || Write());
    } catch (const std::bad_alloc&) {
        ok = false;  // the header is built in memory before anything is written
    }
    m_io.Close();
    return ok;
}

File* FromHandle(MP4FileHandle handle)
{
    return static_cast<File*>(handle);
}

}  // namespace mp4

using mp4::File;
using mp4::FromHandle;

MP4FileHandle MP4Modify(const char* fileName, uint32_t, uint32_t)
{
    if (!fileName)
        return MP4_INVALID_FILE_HANDLE;
    CString path;
    try {
        path = CString::FromNarrow(fileName, -1, CP_UTF8);
    } catch (const std::bad_alloc&) {
        return MP4_INVALID_FILE_HANDLE;
    }
    try {
        auto file = std::unique_ptr<File>(new File);
        if (path.IsEmpty() || !file->Open(path))
            return MP4_INVALID_FILE_HANDLE;
        return file.release();
    } catch (const std::bad_alloc&) {
        return MP4_INVALID_FILE_HANDLE;
    }
}

uint32_t MP4GetNumberOfTracks(MP4FileHandle handle, const char* type, uint8_t)
{
    if (!handle)
        return 0;
    uint32_t count = 0;
    for (const mp4::Track& track : FromHandle(handle)->Tracks())
        count += !type || std::strncmp(track.type, type, 4) == 0;
    return count;
}

MP4TrackId MP4FindTrackId(MP4FileHandle handle, uint16_t index, const char* type, uint8_t)
{
    if (!handle)
        return MP4_INVALID_TRACK_ID;
    for (const mp4::Track& track : FromHandle(handle)->Tracks()) {
        if (type && std::strncmp(track.type, type, 4) != 0)
            continue;
        if (index-- == 0)
            return track.id;
    }
    return MP4_INVALID_TRACK_ID;
}

const char* MP4GetTrackType(MP4FileHandle handle, MP4TrackId trackId)
{
    const mp4::Track* track = handle ? FromHandle(handle)->FindTrack(trackId) : nullptr;
    return track ? track->type : nullptr;
}

MP4Duration MP4GetTrackDuration(MP4FileHandle handle, MP4TrackId trackId)
{
    const mp4::Track* track = handle ? FromHandle(handle)->FindTrack(trackId) : nullptr;
    if (!track)
        return 0;
    const mp4::Box& mdhd = *track->trak->FindPath({mp4::FourCc("mdia"), mp4::FourCc("mdhd")});
    return mp4::ReadDuration(mdhd, mp4::MediaHeaderLayout(mdhd));
}

uint32_t MP4GetTrackTimeScale(MP4FileHandle handle, MP4TrackId trackId)
{
    const mp4::Track* track = handle ? FromHandle(handle)->FindTrack(trackId) : nullptr;
    if (!track)
        return 0;
    const mp4::Box& mdhd = *track->trak->FindPath({mp4::FourCc("mdia"), mp4::FourCc("mdhd")});
    return mp4::Get32(&mdhd.payload[mp4::MediaHeaderLayout(mdhd).timescale]);
}

MP4ChapterType MP4SetChapters(MP4FileHandle handle, MP4Chapter_t* chapters, uint32_t count, MP4ChapterType type)
{
    if (!handle || (count && !chapters) || (type != MP4ChapterTypeQt && type != MP4ChapterTypeAny))
        return MP4ChapterTypeNone;
    File* file = FromHandle(handle);
    try {
        return file->SetChapters(chapters, count) ? MP4ChapterTypeQt : MP4ChapterTypeNone;
    } catch (const std::bad_alloc&) {
        file->MarkBroken();
        return MP4ChapterTypeNone;
    }
}

uint32_t MP4GetTimeScale(MP4FileHandle handle)
{
    return handle ? FromHandle(handle)->TimeScale() : 0;
}

MP4Duration MP4GetDuration(MP4FileHandle handle)
{
    return handle ? FromHandle(handle)->Duration() : 0;
}

bool MP4SetTimeScale(MP4FileHandle handle, uint32_t value)
{
    if (!handle)
        return false;
    File* file = FromHandle(handle);
    try {
        return file->SetTimeScale(value);
    } catch (const std::bad_alloc&) {
        file->MarkBroken();  // some durations may be converted, others not
        return false;
    }
}

bool MP4Close(MP4FileHandle handle, uint32_t)
{
    if (!handle)
        return false;
    File* file = FromHandle(handle);
    const bool ok = file->Close();
    delete file;
    return ok;
}
