#include "Mp4.h"

#include "CString.h"
#include "ChapterTrack.h"
#include "FileIo.h"
#include "Mp4Box.h"
#include "MovieFields.h"

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

// One track of the movie header, in file order.
struct Track {
    Box* trak;
    MP4TrackId id;
    char type[5];
};

// The track ids a 'chap' reference box lists.
std::vector<uint32_t> ReferencedIds(const Box& chap)
{
    std::vector<uint32_t> ids;
    for (size_t i = 0; i + 4 <= chap.payload.size(); i += 4)
        ids.push_back(Get32(&chap.payload[i]));
    return ids;
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
    if (!m_io.ReadAt(moov.offset, bytes.data(), bytes.size()))
        return false;
    // A last movie header "to the end of the file" (size 0) is read as the size it has; it is
    // written back with that size.
    if (moov.toEnd && Get32(bytes.data()) == 0)
        Put32(bytes.data(), static_cast<uint32_t>(moov.size));
    if (!ParseBox(bytes.data(), bytes.size(), m_moov))
        return false;
    // A fragmented movie keeps its samples in fragments this layer does not read: chapters
    // written beside them would be read against the wrong movie.
    if (m_moov.Find(FourCc("mvex")))
        return false;
    for (const TopBox& box : m_top) {
        if (box.type == FourCc("moof") || box.type == FourCc("mfra"))
            return false;
    }
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
        Track track{&child, TrackIdOf(*tkhd), {}};
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
        const MP4TrackId id = TrackIdOf(*tkhd);
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
        // What is left after the header becomes a free box of its own (of 64-bit size when it
        // needs it), so that a large free box costs no more than a small one.
        const bool fits = length == needed || length >= needed + 8;
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
            // The first sound track names the chapter track, in its one chapter reference: ours
            // first (the track readers take), then any other it named (a picture track), once each.
            for (Track& track : m_tracks) {
                if (std::memcmp(track.type, "soun", 4) != 0)
                    continue;
                Box* tref = track.trak->Find(FourCc("tref"));
                if (!tref) {
                    const auto at = std::find_if(track.trak->children.begin(), track.trak->children.end(),
                                                 [](const Box& b) { return b.type == FourCc("mdia"); });
                    tref = &*track.trak->children.insert(at, Container(FourCc("tref"), {}));
                }
                std::vector<uint32_t> referenced{chapterId};
                for (const Box& reference : tref->children) {
                    if (reference.type != FourCc("chap"))
                        continue;
                    for (uint32_t id : ReferencedIds(reference)) {
                        if (std::find(referenced.begin(), referenced.end(), id) == referenced.end())
                            referenced.push_back(id);
                    }
                }
                ByteWriter ids;
                for (uint32_t id : referenced)
                    ids.U32(id);
                const auto chap = std::find_if(tref->children.begin(), tref->children.end(),
                                               [](const Box& b) { return b.type == FourCc("chap"); });
                if (chap == tref->children.end()) {
                    tref->children.push_back(Leaf(FourCc("chap"), std::move(ids.bytes)));
                } else {
                    chap->payload = std::move(ids.bytes);
                    std::erase_if(tref->children, [&](const Box& b) { return b.type == FourCc("chap") && &b != &*chap; });
                }
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
    const uint64_t rest = span.length > region.size() ? span.length - region.size() : 0;
    // The span's own header may take 16 bytes, the rest's header as many.
    const uint64_t written = span.start + std::min<uint64_t>(span.length, std::max<uint64_t>(region.size(), 16) + 16);
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
    // 1. The span becomes one free box (of 64-bit size when it needs it); then, when the header
    // does not fill it, what is left after the header becomes a free box of its own and the
    // first one shrinks to the header's size, so that the file reads whole at every step and a
    // large free box costs no more than a small one. The new header and chapter texts go
    // inside the first.
    const auto freeBox = [&](uint64_t at, uint64_t length) {
        uint8_t header[16];
        const size_t size = length > 0xFFFFFFFFu ? 16 : 8;
        Put32(header, size == 16 ? 1 : static_cast<uint32_t>(length));
        Put32(header + 4, FourCc("free"));
        if (size == 16)
            Put64(header + 8, length);
        return m_io.WriteAt(at, header, size);
    };
    ok = ok && freeBox(start, span.length);
    if (ok && newSize != fileSize)
        ok = m_io.SetSize(newSize);
    if (ok && rest > 0)
        ok = m_io.Flush() && freeBox(start + region.size(), rest) && m_io.Flush() && freeBox(start, region.size());
    if (ok)
        ok = m_io.WriteAt(start + 8, region.data() + 8, region.size() - 8);
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
