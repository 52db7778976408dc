#include "ChapterTrack.h"

#include "MovieFields.h"

#include <cstring>

namespace mp4 {

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

namespace {

const uint32_t kIdentityMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};

}  // namespace

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

}  // namespace mp4
