// The header of a media file as the metadata editor holds it in memory: its attributes and
// markers, and what is needed to write the file back. Readers exist for ASF (Windows Media)
// files and for MP3 files (ID3v2 tag plus the MPEG audio frames).
#pragma once

#include "WmFormat.h"

#include <string>
#include <vector>

namespace wmformat {

enum class AttributeOrigin {
    Computed,            // worked out from the file (duration, size, bitrate, protection); read only
    ContentDescription,  // ASF content description object
    ExtendedContent,     // ASF extended content description object
    MetadataObject,      // ASF metadata object (in the header extension)
    MetadataLibrary,     // ASF metadata library object (in the header extension)
    Id3Frame,            // an ID3v2 frame
    Id3v1,               // the ID3v1 tag at the end of an MP3 file; read only
    Added,               // added through the editor since the file was read (ASF: for the
                         // extended content description; see PlaceAddedAttribute)
};

struct HeaderAttribute {
    WORD stream = 0;
    std::wstring name;
    WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
    WORD language = 0;
    // DWORD, BOOL (4 bytes), QWORD, WORD, GUID and BINARY values as bytes; STRING as UTF-16
    // with its terminating NUL. Not used for user texts.
    std::vector<BYTE> value;
    // "WM/Text": description and text, handed out as a WM_USER_TEXT.
    bool userText = false;
    std::wstring description;
    std::wstring text;
    AttributeOrigin origin = AttributeOrigin::Added;
    size_t frame = static_cast<size_t>(-1);  // ID3 frame it came from
};

struct HeaderMarker {
    std::wstring name;
    QWORD time = 0;  // 100-nanosecond units from the start of the presentation
};

enum class MediaKind { Asf, Mp3 };

struct Id3Frame {
    std::string id;
    WORD flags = 0;
    std::vector<BYTE> data;  // as stored (after removing the tag-wide unsynchronisation)
    bool removed = false;
};

struct AsfObject {
    GUID id{};
    size_t offset = 0;  // in MediaHeader::asfHeader
    size_t size = 0;
};

struct MediaHeader {
    MediaKind kind = MediaKind::Asf;
    ULONGLONG fileSize = 0;
    std::vector<HeaderAttribute> attributes;
    std::vector<HeaderMarker> markers;

    // ASF: the whole header object and its top-level objects.
    std::vector<BYTE> asfHeader;
    std::vector<AsfObject> asfObjects;
    // Where the data object starts: the end of the header's objects. A header that declares a
    // few bytes more than its objects take is read with the end its objects give when the data
    // object starts there, or with its declared end when the data object starts there; 0 when
    // neither holds: such a header is read but never written.
    ULONGLONG asfHeaderEnd = 0;
    // Extended content descriptors that give no attribute (unknown type, odd size), as stored:
    // written back unchanged. The same for the records of the metadata object [0] and of the
    // metadata library object [1].
    std::vector<std::vector<BYTE>> asfKeptDescriptors;
    std::vector<std::vector<BYTE>> asfKeptRecords[2];
    // Attributes deleted from the metadata objects since the file was read: one added under the
    // same name and stream goes back into the object the old one came from.
    struct DeletedPlace {
        WORD stream;
        std::wstring name;
        AttributeOrigin origin;
    };
    std::vector<DeletedPlace> asfDeletedPlaces;
    // The object count the header declares (a muxer may leave an object out of it).
    DWORD asfDeclaredCount = 0;
    // The header extension object the attributes came from (an index of asfObjects, -1 for
    // none) and its inner objects (offset in asfHeader, size). Its declared data size may
    // disagree with its own size: the inner objects are read where they are, and when they
    // do not fill either size exactly the object is written back only as it was stored.
    size_t asfExtension = static_cast<size_t>(-1);
    size_t asfExtensionInner = 0;
    size_t asfExtensionInnerSize = 0;
    bool asfExtensionAsStored = false;
    // The order in which the metadata object [0] and the metadata library [1] are read
    // back (after the content description 0 and the extended content description 1).
    int asfMetadataRank[2] = {2, 3};
    // A header that an interrupted save left with two objects of a kind it rewrites
    // (content descriptions, header extensions): the last of each is read, as it is the
    // newer, and the next save writes one.
    bool asfDuplicates = false;
    // Whether an attribute of the metadata objects was added or deleted since the file was read.
    bool asfMetadataChanged = false;

    // MP3: the ID3v2 tag (0 bytes when the file has none) and its frames.
    ULONGLONG tagBytes = 0;
    int id3Major = 0;
    BYTE id3Flags = 0;
    std::vector<Id3Frame> frames;
};

// An open file with its first bytes read at once: most headers lie within them.
struct FileSource {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::vector<BYTE> prefix;
};

// Reads the header of an open file (ASF or MP3, told apart by content). Only the header is
// read; sizes in the file are checked against the file, so a damaged file gives an error.
HRESULT ReadMediaHeader(HANDLE file, MediaHeader& header);
HRESULT ReadAsfHeader(FileSource& file, MediaHeader& header);
HRESULT ReadMp3Header(FileSource& file, MediaHeader& header);

// Whether an attribute may be added to or deleted from a file of this kind.
HRESULT CanAddAttribute(const MediaHeader& header, const HeaderAttribute& attribute);
HRESULT CanDeleteAttribute(const MediaHeader& header, const HeaderAttribute& attribute);

// ASF: where an attribute added through the editor is stored, and what a deleted one leaves
// behind for that choice.
void PlaceAddedAttribute(const MediaHeader& header, HeaderAttribute& attribute);
void NoteDeletedAttribute(MediaHeader& header, const HeaderAttribute& attribute);

// How the changed header reaches the file.
struct HeaderWrite {
    // The whole new header, and where the original header ended: the file is written anew as
    // this header followed by everything from that point on.
    std::vector<BYTE> head;
    ULONGLONG originalEnd = 0;
    // Or, when not empty, writes into the file as it stands (offset, bytes), in this order:
    // every state between two of them is a file that reads and plays.
    struct Step {
        ULONGLONG offset;
        std::vector<BYTE> bytes;
    };
    std::vector<Step> inPlace;
};
HRESULT BuildAsfHeader(const MediaHeader& header, HeaderWrite& write);
HRESULT BuildMp3Tag(const MediaHeader& header, HeaderWrite& write);

// Test seam: called before each in-place write step with its number (from 0); answering false
// stops the write there, as a crash would, and the flush fails with E_ABORT.
using InPlaceStepHook = bool (*)(int step);
void SetInPlaceStepHook(InPlaceStepHook hook);
// The same for a save that copies the file: called once the new file beside it exists, before
// each mebibyte of the data is copied and before the copy replaces the file; answering false
// stops there as a crash would, leaving the half-written copy behind.
void SetCopyStepHook(InPlaceStepHook hook);

// Little helpers shared by the readers.
bool ReadAt(HANDLE file, ULONGLONG offset, void* buffer, size_t size);
bool ReadAt(FileSource& file, ULONGLONG offset, void* buffer, size_t size);
std::vector<BYTE> StringValue(const std::wstring& text);
std::wstring StringFromValue(const std::vector<BYTE>& value);

// Largest header this layer reads into memory.
constexpr ULONGLONG kMaxHeaderBytes = 64ull * 1024 * 1024;
// Most attributes, markers or ID3 frames a header may hold (the editor's indices are 16-bit):
// a header of tiny entries beyond that is refused rather than held in memory many times over.
constexpr size_t kMaxEntries = 0xFFFF;

}  // namespace wmformat
