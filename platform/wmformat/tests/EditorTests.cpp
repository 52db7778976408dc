// The metadata-editor layer on files made by real tools: attributes, markers, write-back,
// and damaged input.
#include "MediaFixtures.h"
#include "MediaHeader.h"
#include "WmFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

using testsupport::ShellQuoted;
using testsupport::ScratchFolder;

namespace {

// An editor opened on one file, with its header interface.
struct OpenedEditor {
    IWMMetadataEditor* editor = nullptr;
    IWMMetadataEditor2* editor2 = nullptr;
    IWMHeaderInfo3* header = nullptr;
    HRESULT result = E_FAIL;

    explicit OpenedEditor(const CString& path, DWORD access = GENERIC_READ, DWORD share = FILE_SHARE_READ)
    {
        if (FAILED(wmformat::CreateOwnEditor(&editor)))
            return;
        result = editor->QueryInterface(__uuidof(IWMMetadataEditor2), reinterpret_cast<void**>(&editor2));
        if (SUCCEEDED(result))
            result = editor2->OpenEx(path, access, share);
        if (SUCCEEDED(result))
            result = editor->QueryInterface(__uuidof(IWMHeaderInfo3), reinterpret_cast<void**>(&header));
    }
    ~OpenedEditor()
    {
        if (header)
            header->Release();
        if (editor2)
            editor2->Release();
        if (editor) {
            editor->Close();
            editor->Release();
        }
    }

    std::wstring Text(const wchar_t* name)
    {
        WORD stream = 0, length = 0;
        WMT_ATTR_DATATYPE type;
        if (FAILED(header->GetAttributeByName(&stream, name, &type, nullptr, &length)) || type != WMT_TYPE_STRING)
            return L"<missing>";
        std::vector<BYTE> value(length);
        if (FAILED(header->GetAttributeByName(&stream, name, &type, value.data(), &length)))
            return L"<failed>";
        return std::wstring(reinterpret_cast<const wchar_t*>(value.data()));
    }
    template <typename T>
    T Number(const wchar_t* name, WMT_ATTR_DATATYPE expected)
    {
        WORD stream = 0, length = sizeof(T);
        WMT_ATTR_DATATYPE type;
        T value{};
        HRESULT hr = header->GetAttributeByName(&stream, name, &type, reinterpret_cast<BYTE*>(&value), &length);
        EXPECT_EQ(hr, S_OK) << CString(name).ToNarrow();
        EXPECT_EQ(type, expected) << CString(name).ToNarrow();
        EXPECT_EQ(length, sizeof(T)) << CString(name).ToNarrow();
        return value;
    }
    // Every "WM/Text" attribute as (description, text).
    std::vector<std::pair<std::wstring, std::wstring>> UserTexts()
    {
        std::vector<std::pair<std::wstring, std::wstring>> out;
        WORD count = 0;
        header->GetAttributeIndices(0, L"WM/Text", nullptr, nullptr, &count);
        std::vector<WORD> indices(count);
        header->GetAttributeIndices(0, L"WM/Text", nullptr, indices.data(), &count);
        for (WORD index : indices) {
            WORD nameLength = 0;
            DWORD length = 0;
            WMT_ATTR_DATATYPE type;
            header->GetAttributeByIndexEx(0, index, nullptr, &nameLength, &type, nullptr, nullptr, &length);
            std::vector<wchar_t> name(nameLength);
            std::vector<BYTE> value(length);
            EXPECT_EQ(header->GetAttributeByIndexEx(0, index, name.data(), &nameLength, &type, nullptr, value.data(),
                                                    &length),
                      S_OK);
            EXPECT_EQ(type, WMT_TYPE_BINARY);
            EXPECT_GE(length, sizeof(WM_USER_TEXT));
            auto* text = reinterpret_cast<WM_USER_TEXT*>(value.data());
            out.emplace_back(text->pwszDescription, text->pwszText);
        }
        return out;
    }
};

}  // namespace

TEST(MetadataEditor, CreateEditorFallsBackToOwnWhenRuntimeIsStubbed)
{
    IWMMetadataEditor* editor = nullptr;
    ASSERT_EQ(WMCreateEditor(&editor), S_OK);
    ASSERT_NE(editor, nullptr);
    IWMMetadataEditor2* editor2 = nullptr;
    IWMHeaderInfo3* header = nullptr;
    EXPECT_EQ(editor->QueryInterface(__uuidof(IWMMetadataEditor2), reinterpret_cast<void**>(&editor2)), S_OK);
    EXPECT_EQ(editor->QueryInterface(__uuidof(IWMHeaderInfo3), reinterpret_cast<void**>(&header)), S_OK);
    if (editor2)
        editor2->Release();
    if (header) {
        WORD count = 0;
        EXPECT_EQ(header->GetMarkerCount(&count), NS_E_INVALID_REQUEST) << "nothing open yet";
        header->Release();
    }
    EXPECT_EQ(editor->Close(), NS_E_INVALID_REQUEST);
    editor->Release();
}

TEST(MetadataEditor, ReadsWmaTagsDurationAndChaptersAsFfmpegWroteThem)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeWma(folder, L"part.wma");
    OpenedEditor e(path);
    ASSERT_EQ(e.result, S_OK);
    EXPECT_EQ(e.Text(L"Title"), L"Harbour Lights");
    EXPECT_EQ(e.Text(L"Author"), L"Ada Quill");
    EXPECT_EQ(e.Text(L"WM/AlbumTitle"), L"Night Crossing");
    EXPECT_EQ(e.Text(L"WM/Genre"), L"Spoken Word");
    EXPECT_EQ(e.Text(L"WM/Year"), L"2021");
    EXPECT_EQ(e.Text(L"WM/TrackNumber"), L"3");
    EXPECT_EQ(e.Number<DWORD>(L"WM/Track", WMT_TYPE_DWORD), 2u) << "zero-based track";
    EXPECT_EQ(e.Number<DWORD>(L"Is_Protected", WMT_TYPE_BOOL), 0u);
    EXPECT_GT(e.Number<DWORD>(L"Bitrate", WMT_TYPE_DWORD), 32000u);
    EXPECT_EQ(e.Number<QWORD>(L"FileSize", WMT_TYPE_QWORD), testsupport::ReadAll(path).size());
    long long probed = mediafixtures::ProbeDurationMs(folder, path);
    long long duration = static_cast<long long>(e.Number<QWORD>(L"Duration", WMT_TYPE_QWORD) / 10000);
    EXPECT_NEAR(duration, probed, 30);

    WORD markers = 0;
    ASSERT_EQ(e.header->GetMarkerCount(&markers), S_OK);
    ASSERT_EQ(markers, 2);
    const wchar_t* names[] = {L"Intro", L"Second part"};
    const QWORD times[] = {0, 15000000};
    for (WORD i = 0; i < 2; ++i) {
        WORD length = 0;
        QWORD time = 0;
        ASSERT_EQ(e.header->GetMarker(i, nullptr, &length, &time), S_OK);
        EXPECT_EQ(length, wcslen(names[i]) + 1);
        std::vector<wchar_t> name(length);
        ASSERT_EQ(e.header->GetMarker(i, name.data(), &length, &time), S_OK);
        EXPECT_STREQ(name.data(), names[i]);
        EXPECT_EQ(time, times[i]);
    }
    WORD length = 0;
    QWORD time = 0;
    EXPECT_EQ(e.header->GetMarker(2, nullptr, &length, &time), WM_E_NOT_FOUND);
}

TEST(MetadataEditor, ReadsMp3TagsAndWorksOutDurationFromFrames)
{
    ScratchFolder folder;
    for (bool vbr : {false, true}) {
        SCOPED_TRACE(vbr ? "variable bit rate" : "constant bit rate");
        CString path = mediafixtures::MakeMp3(folder, vbr ? L"vbr.mp3" : L"cbr.mp3", vbr);
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        EXPECT_EQ(e.Text(L"Title"), L"Harbour Lights");
        EXPECT_EQ(e.Text(L"Author"), L"Ada Quill");
        EXPECT_EQ(e.Text(L"WM/AlbumTitle"), L"Night Crossing");
        EXPECT_EQ(e.Text(L"WM/Genre"), L"Spoken Word");
        EXPECT_EQ(e.Text(L"WM/Year"), L"2021");
        EXPECT_EQ(e.Text(L"WM/TrackNumber"), L"3");
        EXPECT_EQ(e.Number<DWORD>(L"WM/Track", WMT_TYPE_DWORD), 2u);
        EXPECT_EQ(e.Number<QWORD>(L"FileSize", WMT_TYPE_QWORD), testsupport::ReadAll(path).size());
        long long probed = mediafixtures::ProbeDurationMs(folder, path);
        long long duration = static_cast<long long>(e.Number<QWORD>(L"Duration", WMT_TYPE_QWORD) / 10000);
        EXPECT_NEAR(duration, probed, 60);
        DWORD bitrate = e.Number<DWORD>(L"Bitrate", WMT_TYPE_DWORD);
        if (vbr) {
            EXPECT_GT(bitrate, 8000u);
            EXPECT_LT(bitrate, 128000u);
        } else {
            EXPECT_EQ(bitrate, 64000u);
        }
        WORD markers = 99;
        EXPECT_EQ(e.header->GetMarkerCount(&markers), S_OK);
        EXPECT_EQ(markers, 0);
    }
}

TEST(MetadataEditor, Mp3DurationFromXingInfoVbriOrFileSize)
{
    // The ffmpeg file carries a LAME "Info" frame (frame count); the same file is reworked to
    // carry no such header (duration from size and bit rate), or a VBRI header whose frame
    // count (doubled here) must be the one used.
    ScratchFolder folder;
    CString seed = mediafixtures::MakeMp3(folder, L"seed.mp3");
    long long probed = mediafixtures::ProbeDurationMs(folder, seed);
    struct Case {
        const char* what;
        // Python statements on 'data' (the file's bytes), 'frame' (offset of the first frame) and
        // 'info' (offset of its "Info" header)
        const char* rework;
        long long expectMs;
        long long tolerance;
    } cases[] = {
        {"Info header", "", probed, 60},
        {"no header", "data[info:info + 120] = bytes(120)", probed, 60},
        {"VBRI header",
         "n = struct.unpack('>I', data[info + 8:info + 12])[0]\n"
         "data[info:info + 120] = bytes(120)\n"
         "data[frame + 36:frame + 54] = b'VBRI' + struct.pack('>HHHII', 1, 0, 75, 0, 2 * n)",
         2 * probed, 120},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString path = folder / L"reworked.mp3";
        mediafixtures::RunPython(folder, "import struct\n"
                                         "data = bytearray(open(" + ShellQuoted(seed) + ", 'rb').read())\n"
                                         "size = data[6] << 21 | data[7] << 14 | data[8] << 7 | data[9]\n"
                                         "frame = 10 + size\n"
                                         "info = data.index(b'Info', frame, frame + 40)\n" +
                                             std::string(c.rework) + "\n"
                                         "open(" + ShellQuoted(path) + ", 'wb').write(data)\n");
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        long long duration = static_cast<long long>(e.Number<QWORD>(L"Duration", WMT_TYPE_QWORD) / 10000);
        EXPECT_NEAR(duration, c.expectMs, c.tolerance);
    }
}

TEST(MetadataEditor, ContentEncryptionMarksAFileProtected)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeWma(folder, L"protected.wma");
    // Put a content encryption object at the head of the header object.
    mediafixtures::RunPython(folder, "import struct, uuid\n"
                                     "data = bytearray(open(" + ShellQuoted(path) + ", 'rb').read())\n"
                                     "body = struct.pack('<I', 0) + struct.pack('<I', 4) + b'DRM\\x00' + struct.pack('<II', 0, 0)\n"
                                     "obj = uuid.UUID('2211B3FB-BD23-11D2-B4B7-00C04FB6BE2E').bytes_le + struct.pack('<Q', 24 + len(body)) + body\n"
                                     "size, count = struct.unpack('<QI', data[16:28])\n"
                                     "data[16:28] = struct.pack('<QI', size + len(obj), count + 1)\n"
                                     "data[30:30] = obj\n"
                                     "open(" + ShellQuoted(path) + ", 'wb').write(data)\n");
    OpenedEditor e(path);
    ASSERT_EQ(e.result, S_OK);
    EXPECT_EQ(e.Number<DWORD>(L"Is_Protected", WMT_TYPE_BOOL), 1u);
    EXPECT_EQ(e.Text(L"Author"), L"Ada Quill");
}

TEST(MetadataEditor, Id3UserTextFramesAreWmTextWithTheirDescriptions)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeMp3(folder, L"texts.mp3");
    mediafixtures::WriteUserTextFrames(folder, path, {{L"First", L"one \u00e9"}, {L"Second", L"two"}});
    OpenedEditor e(path);
    ASSERT_EQ(e.result, S_OK);
    auto texts = e.UserTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].first, L"First");
    EXPECT_EQ(texts[0].second, L"one \u00e9");
    EXPECT_EQ(texts[1].first, L"Second");
    EXPECT_EQ(texts[1].second, L"two");
    EXPECT_EQ(e.Text(L"Title"), L"Harbour Lights") << "version 2.3 tag";
}

TEST(MetadataEditor, ValuesNeverOverrunTheCallersBuffer)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeWma(folder, L"part.wma");
    OpenedEditor e(path);
    ASSERT_EQ(e.result, S_OK);
    // Duration is 8 bytes; a 4-byte buffer must be refused and left alone.
    BYTE buffer[8];
    std::memset(buffer, 0xCD, sizeof(buffer));
    WORD stream = 0, length = 4;
    WMT_ATTR_DATATYPE type;
    EXPECT_EQ(e.header->GetAttributeByName(&stream, L"Duration", &type, buffer, &length), WM_E_BUFFER_TOO_SMALL);
    for (BYTE b : buffer)
        EXPECT_EQ(b, 0xCD);
    // A text is refused with one byte too few.
    length = 0;
    ASSERT_EQ(e.header->GetAttributeByName(&stream, L"Title", &type, nullptr, &length), S_OK);
    std::vector<BYTE> text(length + 4, 0xCD);
    WORD shortLength = length - 1;
    EXPECT_EQ(e.header->GetAttributeByName(&stream, L"Title", &type, text.data(), &shortLength),
              WM_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(text[0], 0xCD);
    EXPECT_EQ(e.header->GetAttributeByName(&stream, L"No Such", &type, nullptr, &length), WM_E_NOT_FOUND);
    // A marker name is refused when its buffer is short.
    WORD nameLength = 3;
    QWORD time = 0;
    wchar_t name[8];
    EXPECT_EQ(e.header->GetMarker(1, name, &nameLength, &time), WM_E_BUFFER_TOO_SMALL);
}

namespace {

std::string Layout(const ScratchFolder& folder, const CString& path, bool asf, bool checkCount = true)
{
    return asf ? mediafixtures::AsfLayout(folder, path, checkCount) : mediafixtures::Mp3Layout(folder, path);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty())
        lines.emplace_back();
    return lines;
}

// Adds a user text through the editor, flushes and closes.
HRESULT AddUserText(const CString& path, const wchar_t* description, const wchar_t* text)
{
    OpenedEditor e(path, GENERIC_READ | GENERIC_WRITE, 0);
    if (FAILED(e.result))
        return e.result;
    std::wstring d(description), t(text);
    WM_USER_TEXT value{d.data(), t.data()};
    DWORD length = static_cast<DWORD>(sizeof(value) + (d.size() + 1 + t.size() + 1) * sizeof(wchar_t));
    WORD index = 0;
    HRESULT hr = e.header->AddAttribute(0, L"WM/Text", &index, WMT_TYPE_BINARY, 0, reinterpret_cast<BYTE*>(&value),
                                        length);
    if (SUCCEEDED(hr))
        hr = e.editor->Flush();
    return hr;
}

// The texts of (description, text) pairs, sorted, joined by blanks.
std::string SortedTexts(std::vector<std::pair<std::string, std::string>> texts)
{
    std::vector<std::string> out;
    for (const auto& t : texts)
        out.push_back(t.second);
    std::sort(out.begin(), out.end());
    std::string joined;
    for (const std::string& t : out)
        joined += (joined.empty() ? "" : " ") + t;
    return joined;
}

// Replaces every text attribute of that name with one of the value, and saves.
HRESULT SetText(const CString& path, const wchar_t* name, const wchar_t* value)
{
    OpenedEditor e(path, GENERIC_READ | GENERIC_WRITE, 0);
    if (FAILED(e.result))
        return e.result;
    WORD count = 0;
    e.header->GetAttributeIndices(0, name, nullptr, nullptr, &count);
    std::vector<WORD> indices(count);
    e.header->GetAttributeIndices(0, name, nullptr, indices.data(), &count);
    for (auto i = indices.rbegin(); i != indices.rend(); ++i)
        if (HRESULT hr = e.header->DeleteAttribute(0, *i); FAILED(hr))
            return hr;
    const std::wstring text(value);
    WORD index = 0;
    HRESULT hr = e.header->AddAttribute(0, name, &index, WMT_TYPE_STRING, 0, reinterpret_cast<const BYTE*>(text.c_str()),
                                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    return SUCCEEDED(hr) ? e.editor->Flush() : hr;
}

}  // namespace

TEST(MetadataEditor, WrittenUserTextIsReadByMutagenAndTheAudioStaysIntact)
{
    ScratchFolder folder;
    struct Case {
        const wchar_t* name;
        bool asf;
        bool bare;  // no tags at all: the header gains its descriptor object
    } cases[] = {{L"song.mp3", false, false}, {L"song.wma", true, false}, {L"bare.wma", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(CString(c.name).ToNarrow());
        CString path = c.asf ? mediafixtures::MakeWma(folder, c.name) : mediafixtures::MakeMp3(folder, c.name);
        if (c.bare)
            mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=duration=3 -map_metadata -1 "
                                           "-fflags +bitexact -flags:a +bitexact -c:a wmav2 " + ShellQuoted(path));
        long long before = mediafixtures::ProbeDurationMs(folder, path);
        std::string layoutBefore = Layout(folder, path, c.asf, false);
        ASSERT_EQ(layoutBefore.find("fault"), std::string::npos) << layoutBefore;
        ASSERT_EQ(AddUserText(path, L"Notes", L"caf\u00e9 <b>&</b>"), S_OK);
        // The rebuilt header is sound and everything after it is byte for byte what it was;
        // every descriptor the file had is still there.
        std::vector<std::string> linesBefore = Lines(layoutBefore), linesAfter = Lines(Layout(folder, path, c.asf));
        EXPECT_EQ(linesAfter[0], linesBefore[0]);
        for (const std::string& line : linesBefore)
            EXPECT_NE(std::find(linesAfter.begin(), linesAfter.end(), line), linesAfter.end()) << line;

        std::string out;
        if (c.asf)
            mediafixtures::RunPython(folder, "from mutagen.asf import ASF\n"
                                             "v = ASF(" + ShellQuoted(path) + ")['WM/Text'][0].value\n"
                                             "d, t, rest = v.decode('utf-16-le').split('\\x00', 2)\n"
                                             "print(d + '|' + t, end='')\n", &out);
        else
            mediafixtures::RunPython(folder, "from mutagen.id3 import ID3\n"
                                             "f = ID3(" + ShellQuoted(path) + ").getall('TXXX')[0]\n"
                                             "print(f.desc + '|' + f.text[0], end='')\n", &out);
        EXPECT_EQ(CString::FromNarrow(out.c_str(), -1, CP_UTF8), L"Notes|caf\u00e9 <b>&</b>");
        EXPECT_NEAR(mediafixtures::ProbeDurationMs(folder, path), before, 5) << "ffprobe still reads the whole file";

        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        auto texts = e.UserTexts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].second, L"caf\u00e9 <b>&</b>");
        EXPECT_EQ(e.Text(L"Author"), c.bare ? L"<missing>" : L"Ada Quill");
        EXPECT_EQ(e.Number<QWORD>(L"FileSize", WMT_TYPE_QWORD), testsupport::ReadAll(path).size());
        if (c.asf) {
            WORD markers = 0;
            e.header->GetMarkerCount(&markers);
            EXPECT_EQ(markers, c.bare ? 0 : 2);
        }
    }
}

TEST(MetadataEditor, FailedReplaceLeavesTheFileAsItWas)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeMp3(folder, L"locked.mp3");
    std::vector<BYTE> original = testsupport::ReadAll(path);
    OpenedEditor e(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_EQ(e.result, S_OK);
    // Another reader keeps the file open without allowing it to be deleted or replaced.
    HANDLE other = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    std::wstring d = L"d", t = L"t";
    WM_USER_TEXT value{d.data(), t.data()};
    // The length covers the structure as this build lays it out (two pointers) and both texts;
    // a length shorter than the structure is refused.
    EXPECT_EQ(e.header->AddAttribute(0, L"WM/Text", nullptr, WMT_TYPE_BINARY, 0, reinterpret_cast<BYTE*>(&value),
                                     sizeof(value) - 1),
              E_INVALIDARG);
    ASSERT_EQ(e.header->AddAttribute(0, L"WM/Text", nullptr, WMT_TYPE_BINARY, 0, reinterpret_cast<BYTE*>(&value),
                                     sizeof(value) + 8),
              S_OK);
    EXPECT_TRUE(FAILED(e.editor->Flush()));
    CloseHandle(other);
    WORD count = 0;
    EXPECT_EQ(e.header->GetAttributeCountEx(0, &count), S_OK) << "the editor still holds the file";
    EXPECT_EQ(e.editor->Close(), S_OK);
    EXPECT_EQ(testsupport::ReadAll(path), original);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(folder / L"wmf*.tmp", &data);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "temporary file left behind";
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
}

namespace {

std::vector<BYTE> Guid(const char* text)
{
    GUID g{};
    CLSIDFromString(CString(text), &g);
    std::vector<BYTE> out(sizeof(g));
    std::memcpy(out.data(), &g, sizeof(g));
    return out;
}
void Put(std::vector<BYTE>& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}
// An ASF header with a file properties object and one extra object of the given body.
std::vector<BYTE> AsfWith(const char* guid, const std::vector<BYTE>& body, uint64_t declaredHeaderSize = 0)
{
    std::vector<BYTE> props = Guid("{8CABDCA1-A947-11CF-8EE4-00C00C205365}");
    Put(props, 24 + 80, 8);
    props.resize(24 + 80, 0);
    std::vector<BYTE> extra = Guid(guid);
    Put(extra, 24 + body.size(), 8);
    extra.insert(extra.end(), body.begin(), body.end());
    std::vector<BYTE> file = Guid("{75B22630-668E-11CF-A6D9-00AA0062CE6C}");
    Put(file, declaredHeaderSize ? declaredHeaderSize : 30 + props.size() + extra.size(), 8);
    Put(file, 2, 4);
    Put(file, 0x0201, 2);
    file.insert(file.end(), props.begin(), props.end());
    file.insert(file.end(), extra.begin(), extra.end());
    file.resize(file.size() + 64, 0);  // a stand-in for the data object
    return file;
}

}  // namespace

TEST(MetadataEditor, DamagedHeadersGiveErrorsNotCrashes)
{
    std::vector<BYTE> hugeMarkers;
    Put(hugeMarkers, 0, 16);
    Put(hugeMarkers, 0xFFFFFFFF, 4);  // marker count
    Put(hugeMarkers, 0, 4);
    std::vector<BYTE> hugeDescriptors;
    Put(hugeDescriptors, 0xFFFF, 2);   // descriptor count
    Put(hugeDescriptors, 0xFFFF, 2);   // name length past the end
    std::vector<BYTE> id3PastEnd = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 0, 0};
    std::vector<BYTE> id3BadSize = {'I', 'D', '3', 3, 0, 0, 0x80, 0, 0, 0};
    std::vector<BYTE> id3FramePastEnd = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20, 'T', 'I', 'T', '2', 0x7F, 0xFF, 0xFF,
                                         0xFF, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    // Tiny entries by the ten thousand: more than 16-bit indices reach.
    std::vector<BYTE> manyFrames = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 70000; ++i)
        manyFrames.insert(manyFrames.end(), {'T', 'I', 'T', '2', 0, 0, 0, 1, 0, 0, 0});
    const size_t tagBody = manyFrames.size() - 10;
    for (int i = 0; i < 4; ++i)
        manyFrames[6 + i] = static_cast<BYTE>((tagBody >> (7 * (3 - i))) & 0x7F);
    manyFrames.insert(manyFrames.end(), 64, 0);
    std::vector<BYTE> records;  // a metadata object of 40,000 empty records
    Put(records, 40000, 2);
    for (int i = 0; i < 40000; ++i)
        Put(records, 0, 12);
    std::vector<BYTE> metadata = Guid("{C5F8CBEA-5BAF-4877-8467-AA8C44FA4CCA}");
    Put(metadata, 24 + records.size(), 8);
    metadata.insert(metadata.end(), records.begin(), records.end());
    std::vector<BYTE> extension(18, 0);  // two such objects in the header extension
    Put(extension, 2 * metadata.size(), 4);
    extension.insert(extension.end(), metadata.begin(), metadata.end());
    extension.insert(extension.end(), metadata.begin(), metadata.end());
    std::vector<BYTE> manyMarkers;
    Put(manyMarkers, 0, 16);
    Put(manyMarkers, 70000, 4);
    Put(manyMarkers, 0, 4);
    for (int i = 0; i < 70000; ++i) {
        Put(manyMarkers, 0, 16);
        Put(manyMarkers, 12, 2);
        Put(manyMarkers, 0, 12);
    }
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
    } cases[] = {
        {"70,000 ID3 frames", manyFrames},
        {"80,000 metadata records", AsfWith("{5FBF03B5-A92E-11CF-8EE3-00C00C205365}", extension)},
        {"70,000 markers", AsfWith("{F487CD01-A951-11CF-8EE6-00C00C205365}", manyMarkers)},
        {"empty file", {}},
        {"noise", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"header size past the end", AsfWith("{D2D0A440-E307-11D2-97F0-00A0C95EA850}", {}, 1ull << 40)},
        {"marker count past the end", AsfWith("{F487CD01-A951-11CF-8EE6-00C00C205365}", hugeMarkers)},
        {"descriptor past the end", AsfWith("{D2D0A440-E307-11D2-97F0-00A0C95EA850}", hugeDescriptors)},
        {"ID3 tag past the end", id3PastEnd},
        {"ID3 size not sync-safe", id3BadSize},
        {"ID3 frame past the end", id3FramePastEnd},
    };
    ScratchFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString path = folder / L"bad.bin";
        testsupport::WriteAll(path, c.bytes.data(), c.bytes.size());
        OpenedEditor e(path);
        EXPECT_TRUE(FAILED(e.result)) << std::hex << e.result;
    }
}

namespace {

// Where the header (ASF header object or ID3v2 tag) of a file's bytes ends, as it declares.
size_t DeclaredHeaderEnd(const std::vector<BYTE>& b)
{
    static const BYTE kAsf[4] = {0x30, 0x26, 0xB2, 0x75};
    if (b.size() >= 30 && std::memcmp(b.data(), kAsf, 4) == 0) {
        uint64_t size = 0;
        std::memcpy(&size, b.data() + 16, 8);
        return static_cast<size_t>(std::min<uint64_t>(size, b.size()));
    }
    if (b.size() >= 10 && std::memcmp(b.data(), "ID3", 3) == 0)
        return std::min<size_t>(b.size(), 10 + ((b[6] << 21) | (b[7] << 14) | (b[8] << 7) | b[9]) +
                                              ((b[3] == 4 && (b[5] & 0x10)) ? 10 : 0));
    return 0;
}

// Where everything after the header starts: the declared end, or, when an ASF header declares
// fewer than 24 bytes more than its objects take and the data object starts right after them,
// that data object.
size_t DataStart(const std::vector<BYTE>& b)
{
    static const BYTE kData[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    const size_t end = DeclaredHeaderEnd(b);
    if (b.size() < 30 || b[0] != 0x30)
        return end;
    for (size_t at = end > 23 ? end - 23 : 0; at < end && at + 16 <= b.size(); ++at)
        if (std::memcmp(b.data() + at, kData, 16) == 0)
            return at;
    return end;
}

}  // namespace

TEST(MetadataEditor, MutatedFilesNeverCrashOrHang)
{
    ScratchFolder folder;
    // The third seed's header ends in padding, so that its saves are planned in place.
    CString padded = mediafixtures::MakeWma(folder, L"padded.wma");
    ASSERT_EQ(AddUserText(padded, L"Notes", L"padded"), S_OK);
    CString sources[] = {mediafixtures::MakeWma(folder, L"seed.wma"), mediafixtures::MakeMp3(folder, L"seed.mp3"), padded};
    std::mt19937 random(20261210);
    for (const CString& source : sources) {
        SCOPED_TRACE(source.ToNarrow());
        std::vector<BYTE> seed = testsupport::ReadAll(source);
        ASSERT_FALSE(seed.empty());
        // Mutate where the reader looks: the header and the first audio frames after it.
        const size_t hot = std::min<size_t>(seed.size(), DeclaredHeaderEnd(seed) + 512);
        ASSERT_GT(hot, 512u);
        int opened = 0, refused = 0, rewritten = 0;
        // Saves in place wait for the disk at every step: fewer rounds of those.
        const int rounds = source == padded ? 150 : 300;
        for (int round = 0; round < rounds; ++round) {
            std::vector<BYTE> bytes = seed;
            int edits = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < edits && !bytes.empty(); ++i) {
                size_t at = random() % std::min(hot, bytes.size());
                switch (random() % 5) {
                case 0: bytes[at] = static_cast<BYTE>(random()); break;
                case 1: bytes[at] ^= static_cast<BYTE>(1u << (random() % 8)); break;
                case 2: bytes[at] = (random() & 1) ? 0xFF : 0x00; break;
                case 3: bytes[at] = static_cast<BYTE>(bytes[at] + ((random() & 1) ? 1 : -1)); break;
                case 4:
                    if (random() % 4 == 0)
                        bytes.resize(at + 1);
                    break;
                }
            }
            CString path = folder / L"mutant.bin";
            testsupport::WriteAll(path, bytes.data(), bytes.size());
            {
                OpenedEditor e(path);
                if (FAILED(e.result)) {
                    ++refused;
                    continue;
                }
                ++opened;
                // Read everything the header offers.
                WORD count = 0;
                e.header->GetAttributeCountEx(0, &count);
                for (WORD i = 0; i < count; ++i) {
                    WORD nameLength = 0;
                    DWORD length = 0;
                    WMT_ATTR_DATATYPE type;
                    if (FAILED(e.header->GetAttributeByIndexEx(0, i, nullptr, &nameLength, &type, nullptr, nullptr,
                                                               &length)))
                        continue;
                    ASSERT_LT(length, 64u * 1024 * 1024);
                    std::vector<wchar_t> name(nameLength);
                    std::vector<BYTE> value(length);
                    EXPECT_EQ(e.header->GetAttributeByIndexEx(0, i, name.data(), &nameLength, &type, nullptr,
                                                              value.data(), &length),
                              S_OK);
                }
                WORD markers = 0;
                e.header->GetMarkerCount(&markers);
                for (WORD i = 0; i < markers; ++i) {
                    WORD length = 0;
                    QWORD time = 0;
                    if (SUCCEEDED(e.header->GetMarker(i, nullptr, &length, &time))) {
                        std::vector<wchar_t> name(length);
                        EXPECT_EQ(e.header->GetMarker(i, name.data(), &length, &time), S_OK);
                    }
                }
            }
            // A file that opens is written back soundly or not at all: when the write succeeds
            // the result opens again and everything after its header is what followed the old one.
            if (SUCCEEDED(AddUserText(path, L"Notes", L"mutant"))) {
                ++rewritten;
                std::vector<BYTE> now = testsupport::ReadAll(path);
                OpenedEditor again(path);
                EXPECT_EQ(again.result, S_OK) << "round " << round;
                const size_t oldEnd = DataStart(bytes), newEnd = DeclaredHeaderEnd(now);
                EXPECT_TRUE(std::equal(bytes.begin() + oldEnd, bytes.end(), now.begin() + newEnd, now.end()))
                    << "round " << round;
            }
        }
        // Both ways are taken, and the header readers really parse mutated headers.
        EXPECT_GT(opened, rounds / 10);
        EXPECT_GT(refused, rounds / 10);
        EXPECT_GT(rewritten, rounds / 10);
    }
}

TEST(MetadataEditor, DescriptorsOfUnknownKindSurviveAWriteBack)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeWma(folder, L"odd.wma");
    // Two descriptors that give no attribute: an unknown type, and a DWORD of two bytes.
    mediafixtures::RunPython(folder, "import struct, uuid\n"
                                     "data = bytearray(open(" + ShellQuoted(path) + ", 'rb').read())\n"
                                     "def descriptor(name, kind, value):\n"
                                     "    n = (name + '\\x00').encode('utf-16-le')\n"
                                     "    return struct.pack('<H', len(n)) + n + struct.pack('<HH', kind, len(value)) + value\n"
                                     "extra = descriptor('Odd/Kind', 9, b'\\x01\\x02\\x03') + descriptor('Short/Dword', 3, b'\\x07\\x00')\n"
                                     "ecd = data.index(uuid.UUID('D2D0A440-E307-11D2-97F0-00A0C95EA850').bytes_le)\n"
                                     "size, count = struct.unpack('<QH', data[ecd + 16:ecd + 26])\n"
                                     "data[ecd + 16:ecd + 26] = struct.pack('<QH', size + len(extra), count + 2)\n"
                                     "data[ecd + size:ecd + size] = extra\n"
                                     "data[16:24] = struct.pack('<Q', struct.unpack('<Q', data[16:24])[0] + len(extra))\n"
                                     "fp = data.index(uuid.UUID('8CABDCA1-A947-11CF-8EE4-00C00C205365').bytes_le)\n"
                                     "data[fp + 40:fp + 48] = struct.pack('<Q', len(data))\n"
                                     "open(" + ShellQuoted(path) + ", 'wb').write(data)\n");
    std::vector<std::string> before = Lines(mediafixtures::AsfLayout(folder, path, false));
    ASSERT_NE(std::find(before.begin(), before.end(), "Odd/Kind:9:010203"), before.end()) << before[0];
    ASSERT_NE(std::find(before.begin(), before.end(), "Short/Dword:3:0700"), before.end());
    {
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        EXPECT_EQ(e.Text(L"Author"), L"Ada Quill");
    }
    ASSERT_EQ(AddUserText(path, L"Notes", L"n"), S_OK);
    std::vector<std::string> after = Lines(mediafixtures::AsfLayout(folder, path));
    EXPECT_EQ(after[0], before[0]) << "the data object is untouched";
    for (const std::string& line : before)
        EXPECT_NE(std::find(after.begin(), after.end(), line), after.end()) << line;
    EXPECT_EQ(after.size(), before.size() + 1);
}

TEST(MetadataEditor, Id3v24TagUnsynchronisedAsAWhole)
{
    // A version 2.4 tag whose header flag says all its frames are unsynchronised, while the
    // frames do not say so themselves: every 0xFF of the frame data is followed by a 0x00.
    ScratchFolder folder;
    CString path = mediafixtures::MakeMp3(folder, L"unsync.mp3");
    std::string audioBefore = mediafixtures::Mp3Layout(folder, path);
    mediafixtures::RunPython(folder, "import mutagen.id3\n"
                                     "path = " + ShellQuoted(path) + "\n"
                                     "mutagen.id3.delete(path)\n"
                                     "def syncsafe(n): return bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])\n"
                                     "def frame(fid, data):\n"
                                     "    data = data.replace(b'\\xff', b'\\xff\\x00')\n"
                                     "    return fid + syncsafe(len(data)) + b'\\x00\\x00' + data\n"
                                     "body = frame(b'TIT2', b'\\x01\\xff\\xfe' + '\\u00ffes \\u00ff\\u00ff'.encode('utf-16-le'))\n"
                                     "body += frame(b'TPE1', b'\\x00Ada Quill')\n"
                                     "audio = open(path, 'rb').read()\n"
                                     "open(path, 'wb').write(b'ID3\\x04\\x00\\x80' + syncsafe(len(body)) + body + audio)\n"
                                     "assert mutagen.id3.ID3(path)['TIT2'].text[0] == '\\u00ffes \\u00ff\\u00ff'\n");
    {
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        EXPECT_EQ(e.Text(L"Title"), L"\u00ffes \u00ff\u00ff");
        EXPECT_EQ(e.Text(L"Author"), L"Ada Quill");
    }
    ASSERT_EQ(AddUserText(path, L"Notes", L"n"), S_OK);
    std::string out;
    mediafixtures::RunPython(folder, "import mutagen.id3\n"
                                     "t = mutagen.id3.ID3(" + ShellQuoted(path) + ")\n"
                                     "print(t.version, t['TIT2'].text[0] == '\\u00ffes \\u00ff\\u00ff', t['TPE1'].text[0],"
                                     " t.getall('TXXX')[0].text[0], end='')\n", &out);
    EXPECT_EQ(out, "(2, 4, 0) True Ada Quill n");
    EXPECT_EQ(mediafixtures::Mp3Layout(folder, path), audioBefore);
    OpenedEditor e(path);
    ASSERT_EQ(e.result, S_OK);
    EXPECT_EQ(e.Text(L"Title"), L"\u00ffes \u00ff\u00ff");
}

TEST(MetadataEditor, YearAddedToAVersion24TagIsARecordingTime)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeMp3(folder, L"year.mp3");
    mediafixtures::RunPython(folder, "import mutagen.id3\n"
                                     "t = mutagen.id3.ID3(" + ShellQuoted(path) + ")\n"
                                     "t.delall('TDRC')\n"
                                     "t.save(v2_version=4)\n");
    {
        OpenedEditor e(path, GENERIC_READ | GENERIC_WRITE, 0);
        ASSERT_EQ(e.result, S_OK);
        const wchar_t year[] = L"1999";
        ASSERT_EQ(e.header->AddAttribute(0, L"WM/Year", nullptr, WMT_TYPE_STRING, 0, reinterpret_cast<const BYTE*>(year),
                                         sizeof(year)),
                  S_OK);
        ASSERT_EQ(e.editor->Flush(), S_OK);
        EXPECT_EQ(e.Text(L"WM/Year"), L"1999");
    }
    // Version 2.4 knows no TYER frame; the raw tag must hold TDRC.
    std::string out;
    mediafixtures::RunPython(folder, "d = open(" + ShellQuoted(path) + ", 'rb').read()\n"
                                     "print(d[3], b'TDRC' in d, b'TYER' in d, end='')\n", &out);
    EXPECT_EQ(out, "4 True False");
}

TEST(MetadataEditor, FileOpenedForReadingIsNeverWritten)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeMp3(folder, L"read.mp3");
    std::vector<BYTE> original = testsupport::ReadAll(path);
    OpenedEditor e(path);
    ASSERT_EQ(e.result, S_OK);
    std::wstring d = L"d", t = L"t";
    WM_USER_TEXT value{d.data(), t.data()};
    ASSERT_EQ(e.header->AddAttribute(0, L"WM/Text", nullptr, WMT_TYPE_BINARY, 0, reinterpret_cast<BYTE*>(&value),
                                     sizeof(value) + 8),
              S_OK);
    // A second open is refused, and does not turn the open file into one that may be written.
    EXPECT_EQ(e.editor->Open(path), NS_E_INVALID_REQUEST);
    EXPECT_EQ(e.editor2->OpenEx(path, GENERIC_READ | GENERIC_WRITE, 0), NS_E_INVALID_REQUEST);
    EXPECT_EQ(e.editor->Flush(), E_ACCESSDENIED);
    EXPECT_EQ(testsupport::ReadAll(path), original);
}

namespace {

// The "data=<hash>" line of a file's layout: everything from its data object on.
std::string DataHash(const ScratchFolder& folder, const CString& path)
{
    std::string layout = mediafixtures::AsfLayout(folder, path, false);
    return layout.substr(0, layout.find('\n'));
}

// Reworks an ASF file with Python statements on 'data' (its bytes), 'size' (the header's
// declared size) and 'PADDING', 'DATA' (object GUIDs as stored).
void ReworkAsf(const ScratchFolder& folder, const CString& path, const std::string& statements)
{
    mediafixtures::RunPython(folder, "import struct, uuid\n"
                                     "PADDING = uuid.UUID('1806D474-CADF-4509-A4BA-9AABCB96AAE8').bytes_le\n"
                                     "DATA = uuid.UUID('75B22636-668E-11CF-A6D9-00AA0062CE6C').bytes_le\n"
                                     "data = bytearray(open(" + ShellQuoted(path) + ", 'rb').read())\n"
                                     "size = struct.unpack('<Q', data[16:24])[0]\n" +
                                         statements +
                                         "\nopen(" + ShellQuoted(path) + ", 'wb').write(data)\n");
}

}  // namespace

TEST(MetadataEditor, HeaderSizeThatDoesNotMatchItsObjectsIsRepairedOrRefused)
{
    // The header object says it is a few bytes larger than its objects. Either the data object
    // starts right after the objects (the size is wrong), or right after the declared size (the
    // header ends in a few stray bytes), or at neither (nothing tells where the data is).
    struct Case {
        const char* what;
        const char* rework;
        bool saved;
    } cases[] = {
        {"size 1 too large", "data[16:24] = struct.pack('<Q', size + 1)", true},
        {"size 8 too large", "data[16:24] = struct.pack('<Q', size + 8)", true},
        {"size 23 too large", "data[16:24] = struct.pack('<Q', size + 23)", true},
        {"size 24 too large", "data[16:24] = struct.pack('<Q', size + 24)", true},
        {"size 100 too large", "data[16:24] = struct.pack('<Q', size + 100)", true},
        {"size 5000 too large", "data[16:24] = struct.pack('<Q', size + 5000)", true},
        {"7 stray bytes at the header's end",
         "data[size:size] = b'\\x01' * 7\n"
         "data[16:24] = struct.pack('<Q', size + 7)\n"
         "fp = data.index(uuid.UUID('8CABDCA1-A947-11CF-8EE4-00C00C205365').bytes_le)\n"
         "data[fp + 40:fp + 48] = struct.pack('<Q', len(data))",
         true},
        {"data object at neither end", "data[16:24] = struct.pack('<Q', size + 5)\ndata[size + 2] ^= 0xFF", false},
    };
    ScratchFolder folder;
    CString seed = mediafixtures::MakeWma(folder, L"seed.wma");
    const std::string seedData = DataHash(folder, seed);
    const long long seedMs = mediafixtures::ProbeDurationMs(folder, seed);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString path = folder / L"odd.wma";
        ASSERT_TRUE(CopyFileW(seed, path, FALSE));
        ReworkAsf(folder, path, c.rework);
        std::vector<BYTE> before = testsupport::ReadAll(path);
        {
            OpenedEditor e(path);
            ASSERT_EQ(e.result, S_OK) << "the file reads";
            EXPECT_EQ(e.Text(L"Author"), L"Ada Quill");
        }
        HRESULT hr = AddUserText(path, L"Notes", L"repaired");
        if (!c.saved) {
            EXPECT_EQ(hr, WM_E_INVALID_FILE);
            EXPECT_EQ(testsupport::ReadAll(path), before);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        // Every byte from the data object on is still there, behind a header that fits its
        // objects, and ffprobe plays the whole file.
        std::string layout = mediafixtures::AsfLayout(folder, path);
        EXPECT_EQ(layout.substr(0, layout.find('\n')), seedData) << layout;
        EXPECT_NEAR(mediafixtures::ProbeDurationMs(folder, path), seedMs, 5);
        std::string probe;
        mediafixtures::RunTool(folder, "ffprobe -v error -show_entries format_tags=artist -of csv=p=0 " + ShellQuoted(path),
                               &probe);
        EXPECT_EQ(probe, "Ada Quill\n");
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        ASSERT_EQ(e.UserTexts().size(), 1u);
        EXPECT_EQ(e.UserTexts()[0].second, L"repaired");
    }
}

namespace {

int g_stepsSeen = 0;
int g_stopAtStep = -1;
bool CountStep(int step)
{
    ++g_stepsSeen;
    return step != g_stopAtStep;
}

// Installs the step hook for a scope: counts the in-place steps, and stops at stopAt.
struct StepHook {
    explicit StepHook(int stopAt = -1)
    {
        g_stepsSeen = 0;
        g_stopAtStep = stopAt;
        wmformat::SetInPlaceStepHook(CountStep);
    }
    ~StepHook() { wmformat::SetInPlaceStepHook(nullptr); }
};

int g_copySteps = 0;
int g_stopCopyAt = -1;
bool CountCopyStep(int step)
{
    ++g_copySteps;
    return step != g_stopCopyAt;
}

// How many files of a folder match a pattern.
int CountFiles(const ScratchFolder& folder, const wchar_t* pattern)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(folder / pattern, &found);
    int n = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            n += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    return n;
}

// Inode number and allocated blocks of a file, as the host sees them.
std::string Inode(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    mediafixtures::RunTool(folder, "stat -c '%i %b' " + ShellQuoted(path), &out);
    return out;
}

}  // namespace

TEST(MetadataEditor, HeaderWithRoomInItsPaddingIsRewrittenInPlace)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeWma(folder, L"large.wma");
    const long long duration = mediafixtures::ProbeDurationMs(folder, path);
    // A header that ends in 8 KiB of padding (as the Windows Media tools leave it), and a large
    // sparse file: a hole of 256 MiB after the data object, declared in the file properties.
    ReworkAsf(folder, path, "data[size:size] = PADDING + struct.pack('<Q', 8192) + bytes(8192 - 24)\n"
                            "count = struct.unpack('<I', data[24:28])[0]\n"
                            "data[16:28] = struct.pack('<QI', size + 8192, count + 1)\n"
                            "fp = data.index(uuid.UUID('8CABDCA1-A947-11CF-8EE4-00C00C205365').bytes_le)\n"
                            "data[fp + 40:fp + 48] = struct.pack('<Q', len(data) + (256 << 20))");
    mediafixtures::RunTool(folder, "truncate -s +256M " + ShellQuoted(path));
    const std::string sparse = Inode(folder, path);
    const std::string data = DataHash(folder, path);
    // Two saves in a row fit.
    for (const auto& text : {std::make_pair(L"Notes", L"first"),
                             std::make_pair(L"Chapters", L"<Markers><Marker><Name>One</Name><Time>00:01.000</Time></Marker></Markers>")}) {
        StepHook hook;
        ASSERT_EQ(AddUserText(path, text.first, text.second), S_OK);
        EXPECT_EQ(g_stepsSeen, 2) << "the new objects, then the switch to them";
        EXPECT_EQ(Inode(folder, path), sparse) << "the same file, still sparse";
    }
    {
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        auto texts = e.UserTexts();
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[0].second, L"first");
        EXPECT_EQ(texts[1].first, L"Chapters");
        EXPECT_EQ(e.Text(L"Title"), L"Harbour Lights");
        WORD markers = 0;
        e.header->GetMarkerCount(&markers);
        EXPECT_EQ(markers, 2);
    }
    std::string layout = mediafixtures::AsfLayout(folder, path);
    EXPECT_EQ(layout.substr(0, layout.find('\n')), data) << layout;
    EXPECT_NEAR(mediafixtures::ProbeDurationMs(folder, path), duration, 5);
    std::string probe;
    mediafixtures::RunPython(folder, "from mutagen.asf import ASF\n"
                                     "t = ASF(" + ShellQuoted(path) + ")\n"
                                     "print(len(t['WM/Text']), t['Author'][0], end='')\n", &probe);
    EXPECT_EQ(probe, "2 Ada Quill");

    // A change that does not fit the padding copies the file.
    {
        StepHook hook;
        ASSERT_EQ(AddUserText(path, L"Long", std::wstring(6000, L'x').c_str()), S_OK);
        EXPECT_EQ(g_stepsSeen, 0);
    }
    EXPECT_NE(Inode(folder, path).substr(0, sparse.find(' ')), sparse.substr(0, sparse.find(' ')));
    layout = mediafixtures::AsfLayout(folder, path);
    EXPECT_EQ(layout.substr(0, layout.find('\n')), data) << layout;
}

TEST(MetadataEditor, InPlaceRewriteStoppedAtAnyStepLeavesAFileThatPlays)
{
    ScratchFolder folder;
    CString seed = mediafixtures::MakeWma(folder, L"seed.wma");
    {
        StepHook hook;
        ASSERT_EQ(AddUserText(seed, L"Notes", L"first"), S_OK);
        EXPECT_EQ(g_stepsSeen, 0) << "ffmpeg leaves no padding: copied, and padded for the next save";
    }
    const std::string data = DataHash(folder, seed);
    const long long duration = mediafixtures::ProbeDurationMs(folder, seed);
    int steps = 0;
    {
        CString path = folder / L"count.wma";
        ASSERT_TRUE(CopyFileW(seed, path, FALSE));
        StepHook hook;
        ASSERT_EQ(AddUserText(path, L"Notes", L"second, and longer than the first"), S_OK);
        steps = g_stepsSeen;
    }
    ASSERT_EQ(steps, 2) << "the new objects inside the padding, then one write switches to them";
    for (int stop = 0; stop < steps; ++stop) {
        SCOPED_TRACE("stopped before step " + std::to_string(stop));
        CString path = folder / L"crash.wma";
        ASSERT_TRUE(CopyFileW(seed, path, FALSE));
        {
            StepHook hook(stop);
            EXPECT_EQ(AddUserText(path, L"Notes", L"second, and longer than the first"), E_ABORT);
        }
        // Every reader reads the old file: ffprobe plays it, the object count is right for
        // mutagen (which goes by it), and the old text is the one there.
        std::string layout = mediafixtures::AsfLayout(folder, path);
        EXPECT_EQ(layout.substr(0, layout.find('\n')), data) << layout;
        EXPECT_NEAR(mediafixtures::ProbeDurationMs(folder, path), duration, 5);
        std::string probe;
        mediafixtures::RunPython(folder, "from mutagen.asf import ASF\n"
                                         "t = ASF(" + ShellQuoted(path) + ")\n"
                                         "print(len(t['WM/Text']), t['Author'][0], end='')\n", &probe);
        EXPECT_EQ(probe, "1 Ada Quill");
        {
            OpenedEditor e(path);
            ASSERT_EQ(e.result, S_OK);
            EXPECT_EQ(e.Text(L"Author"), L"Ada Quill");
            auto texts = e.UserTexts();
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0].second, L"first");
        }
        // The next save goes through, in place, and does not compound anything.
        {
            StepHook hook;
            ASSERT_EQ(AddUserText(path, L"Notes", L"third"), S_OK);
            EXPECT_EQ(g_stepsSeen, 2);
        }
        layout = mediafixtures::AsfLayout(folder, path);
        EXPECT_EQ(layout.substr(0, layout.find('\n')), data) << layout;
        EXPECT_EQ(mediafixtures::AsfExtensions(folder, path).find('\n'), std::string::npos) << "one header extension";
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        auto texts = e.UserTexts();
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[1].second, L"third");
    }
}

TEST(MetadataEditor, HeaderLeftWithTwoExtensionsOrAWrongCountIsReadAsTheNewerAndRepaired)
{
    // What a save stopped between its steps used to leave: the new header extension behind
    // the old one (the object count raised or not yet), or the count short of the objects.
    ScratchFolder folder;
    CString seed = mediafixtures::MakeWma(folder, L"seed.wma");
    ASSERT_EQ(AddUserText(seed, L"Notes", L"padded"), S_OK);  // a copy, with padding for later saves
    const std::string data = DataHash(folder, seed);
    const std::string older = "extension(library(user_text('Library', 'older')))";
    const std::string newer = "extension(library(user_text('Library', 'newer')))";
    struct Case {
        const char* what;
        std::string rework;
    } cases[] = {
        {"two extensions, counted", "replace_extension(d, " + older + ")\ninsert_before_padding(d, " + newer + ")"},
        {"two extensions, the count not raised", "replace_extension(d, " + older + ")\ninsert_before_padding(d, " + newer + ", 0)"},
        {"the count one short", "replace_extension(d, " + newer + ")\nd[24:28] = struct.pack('<I', struct.unpack('<I', d[24:28])[0] - 1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString path = folder / L"left.wma";
        ASSERT_TRUE(CopyFileW(seed, path, FALSE));
        mediafixtures::ReworkAsfFile(folder, path, c.rework);
        auto libraryTexts = [&](const CString& file) {
            OpenedEditor e(file);
            EXPECT_EQ(e.result, S_OK);
            std::vector<std::wstring> out;
            if (SUCCEEDED(e.result))
                for (const auto& t : e.UserTexts())
                    if (t.first == L"Library")
                        out.push_back(t.second);
            return out;
        };
        EXPECT_EQ(libraryTexts(path), std::vector<std::wstring>{L"newer"});
        // Saved three times: one extension, the count right, nothing piling up.
        ULONGLONG firstSize = 0;
        for (int save = 0; save < 3; ++save) {
            ASSERT_EQ(SetText(path, L"WM/Publisher", (L"save " + std::to_wstring(save)).c_str()), S_OK);
            std::string layout = mediafixtures::AsfLayout(folder, path);
            EXPECT_EQ(layout.substr(0, layout.find('\n')), data) << layout;
            EXPECT_EQ(mediafixtures::AsfExtensions(folder, path), "sound library Library|newer");
            EXPECT_EQ(libraryTexts(path), std::vector<std::wstring>{L"newer"});
            const ULONGLONG size = static_cast<ULONGLONG>(testsupport::FileSizeOf(path));
            if (save == 0)
                firstSize = size;
            EXPECT_EQ(size, firstSize);
        }
        EXPECT_EQ(SortedTexts(mediafixtures::MutagenUserTexts(folder, path)), "newer padded");
        EXPECT_EQ(OpenedEditor(path).Text(L"WM/Publisher"), L"save 2");
    }
}

TEST(MetadataEditor, ExtensionWhoseDataSizeDisagreesWithWhatItHoldsIsNeverWrittenShort)
{
    ScratchFolder folder;
    CString seed = mediafixtures::MakeWma(folder, L"seed.wma");
    ASSERT_EQ(AddUserText(seed, L"Notes", L"padded"), S_OK);
    const std::string data = DataHash(folder, seed);
    const long long duration = mediafixtures::ProbeDurationMs(folder, seed);
    const std::string inner = "library(user_text('Library', 'kept in the library'))";
    struct Case {
        const char* what;
        std::string extension;
        // The inner objects fill the object: read whole and written back sound. (Only such
        // files play: ffprobe walks the inner objects to the object's end.)
        bool rebuilt;
    } cases[] = {
        {"declared 1 short", "extension(" + inner + " + padding(24), len(" + inner + ") + 23)", true},
        {"declared 8 short", "extension(" + inner + " + padding(24), len(" + inner + ") + 16)", true},
        {"declared 23 short", "extension(" + inner + " + padding(24), len(" + inner + ") + 1)", true},
        {"declared 100 short", "extension(" + inner + " + padding(100), len(" + inner + "))", true},
        {"declared 40 more", "extension(" + inner + ", len(" + inner + ") + 40)", true},
        {"fills neither size", "extension(" + inner + " + bytes(3), len(" + inner + ") - 2)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString path = folder / L"short.wma";
        ASSERT_TRUE(CopyFileW(seed, path, FALSE));
        mediafixtures::ReworkAsfFile(folder, path, "replace_extension(d, " + c.extension + ")");
        const std::string stored = mediafixtures::AsfExtensions(folder, path);
        {
            OpenedEditor e(path);
            ASSERT_EQ(e.result, S_OK);
            auto texts = e.UserTexts();
            ASSERT_EQ(texts.size(), 2u);
            EXPECT_EQ(texts[1].second, L"kept in the library");
        }
        // A text that belongs in the library (it goes after the one there) changes the
        // extension: rebuilt sound, or refused when what it holds is not clear.
        const std::vector<BYTE> before = testsupport::ReadAll(path);
        HRESULT hr = AddUserText(path, L"Library", L"added");
        if (!c.rebuilt) {
            EXPECT_EQ(hr, WM_E_INVALID_FILE);
            EXPECT_EQ(testsupport::ReadAll(path), before);
            // A change elsewhere is saved, and the extension stays as it was stored.
            ASSERT_EQ(SetText(path, L"WM/Publisher", L"elsewhere"), S_OK);
            EXPECT_EQ(mediafixtures::AsfExtensions(folder, path), stored);
        } else {
            ASSERT_EQ(hr, S_OK);
            EXPECT_EQ(mediafixtures::AsfExtensions(folder, path).substr(0, 13), "sound library");
            EXPECT_NE(mediafixtures::AsfExtensions(folder, path).find("Library|kept in the library;Library|added"),
                      std::string::npos)
                << mediafixtures::AsfExtensions(folder, path);
        }
        std::string layout = mediafixtures::AsfLayout(folder, path);
        EXPECT_EQ(layout.substr(0, layout.find('\n')), data) << layout;
        std::string probe;
        if (c.rebuilt) {
            EXPECT_NEAR(mediafixtures::ProbeDurationMs(folder, path), duration, 5);
            mediafixtures::RunTool(folder, "ffprobe -v error -show_entries format_tags=artist -of csv=p=0 " +
                                               ShellQuoted(path), &probe);
            EXPECT_EQ(probe, "Ada Quill\n");
        }
        EXPECT_EQ(SortedTexts(mediafixtures::MutagenUserTexts(folder, path)),
                  c.rebuilt ? "added kept in the library padded" : "kept in the library padded");
    }
}

TEST(MetadataEditor, CopyStoppedAtAnyStepLeavesTheFileAndALeftoverTheNextSaveRemoves)
{
    ScratchFolder folder;
    CString seed = mediafixtures::MakeWma(folder, L"seed.wma");
    // Made 3 MiB long so that the copy takes several steps.
    mediafixtures::ReworkAsfFile(folder, seed, "d += bytes(3 << 20)\nfp = d.index(FP)\nd[fp + 40:fp + 48] = struct.pack('<Q', len(d))");
    const std::vector<BYTE> original = testsupport::ReadAll(seed);
    const std::string data = DataHash(folder, seed);
    int steps = 0;
    {
        CString path = folder / L"count.wma";
        ASSERT_TRUE(CopyFileW(seed, path, FALSE));
        g_copySteps = 0;
        g_stopCopyAt = -1;
        wmformat::SetCopyStepHook(CountCopyStep);
        EXPECT_EQ(AddUserText(path, L"Notes", L"copied"), S_OK);
        wmformat::SetCopyStepHook(nullptr);
        steps = g_copySteps;
    }
    ASSERT_GE(steps, 5) << "the new file made, 4 MiB of data, the replace";
    // Someone else's files beside it, in names close to a save's; and what a killed save of
    // another file left (no live writer marks it), which the next save in the folder clears.
    const CString user1 = folder / L"part.wma.\xFF11\xFF12\xFF13\xFF14\xFF15\xFF16\xFF17\xFF18.saving";
    const CString user2 = folder / L"part.wma.saving";
    const CString killed = folder / L"other.wma.0badf00d.saving";
    for (const CString& user : {user1, user2, killed})
        testsupport::WriteAll(user, std::string("someone's"));
    for (int stop = 0; stop < steps; ++stop) {
        SCOPED_TRACE("stopped before step " + std::to_string(stop));
        CString path = folder / L"part.wma";
        ASSERT_TRUE(CopyFileW(seed, path, FALSE));
        g_stopCopyAt = stop;
        wmformat::SetCopyStepHook(CountCopyStep);
        EXPECT_EQ(AddUserText(path, L"Notes", L"copied"), E_ABORT);
        wmformat::SetCopyStepHook(nullptr);
        EXPECT_EQ(testsupport::ReadAll(path), original);
        EXPECT_EQ(CountFiles(folder, L"part.wma.*.saving"), 2) << "the stopped copy, and the user's full-width one";
        // Opened for reading, nothing is removed; opened for saving, the leftover goes.
        { OpenedEditor e(path); }
        EXPECT_EQ(CountFiles(folder, L"part.wma.*.saving"), 2);
        ASSERT_EQ(AddUserText(path, L"Notes", L"copied"), S_OK);
        EXPECT_EQ(CountFiles(folder, L"part.wma.*.saving"), 1);
        for (const CString& user : {user1, user2})
            EXPECT_EQ(testsupport::ReadAllBytes(user), "someone's");
        EXPECT_EQ(GetFileAttributesW(killed), INVALID_FILE_ATTRIBUTES);
        std::string layout = mediafixtures::AsfLayout(folder, path);
        EXPECT_EQ(layout.substr(0, layout.find('\n')), data) << layout;
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        ASSERT_EQ(e.UserTexts().size(), 1u);
        EXPECT_EQ(e.UserTexts()[0].second, L"copied");
    }
}

namespace {

// The duration of an MP3 stream in milliseconds by ffprobe's count of the frames it decodes
// (1152 samples each at the rates used here).
long long CountedDurationMs(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    mediafixtures::RunTool(folder, "ffprobe -v error -count_frames -select_streams a:0 -show_entries "
                                   "stream=nb_read_frames,sample_rate -of csv=p=0 " + ShellQuoted(path),
                           &out);
    long long rate = 0, frames = 0;
    if (std::sscanf(out.c_str(), "%lld,%lld", &rate, &frames) != 2 || rate == 0)
        return -1;
    return frames * 1152 * 1000 / rate;
}

long long DurationMs(const CString& path)
{
    OpenedEditor e(path);
    EXPECT_EQ(e.result, S_OK);
    if (FAILED(e.result))
        return -1;
    return static_cast<long long>(e.Number<QWORD>(L"Duration", WMT_TYPE_QWORD) / 10000);
}

}  // namespace

TEST(MetadataEditor, Mp3DurationFromTheFramesWhereverTheStreamStarts)
{
    ScratchFolder folder;
    const std::string tone = "-f lavfi -i sine=frequency=440:sample_rate=44100 ";
    const std::string noise = "-f lavfi -i anoisesrc=amplitude=0.5:sample_rate=44100 ";
    // Tone and noise taking turns every 5 s: a variable bit rate far from its first frame's.
    auto turns = [&](int seconds) {
        return "-filter_complex \"[0]atrim=0:5[a];[1]atrim=0:5[b];[a][b]concat=n=2:v=0:a=1,aloop=loop=-1:size=441000,"
               "atrim=0:" + std::to_string(seconds) + "\" ";
    };
    const CString wav = folder / L"turns.wav";
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y " + tone + noise + turns(30) + ShellQuoted(wav));
    const CString vbr = folder / L"vbr-no-header.mp3";
    mediafixtures::RunTool(folder, "lame --quiet -V 4 -t " + ShellQuoted(wav) + " " + ShellQuoted(vbr));
    const CString longVbr = folder / L"long-vbr-no-header.mp3";
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y " + tone + noise + turns(1200) +
                                       "-c:a libmp3lame -q:a 2 -write_xing 0 -id3v2_version 0 " + ShellQuoted(longVbr));
    // A sine tone of that frequency and length, encoded with the options given.
    auto sine = [&](const wchar_t* name, int frequency, int seconds, const std::string& options) {
        const CString path = folder / name;
        mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=" + std::to_string(frequency) +
                                           ":duration=" + std::to_string(seconds) + " " + options + " -c:a libmp3lame " +
                                           ShellQuoted(path));
        return path;
    };
    const std::string bare = "-id3v2_version 0 -write_xing 0";
    const CString cbr = sine(L"cbr.mp3", 440, 30, "-metadata title=Junk -b:a 128k");
    const CString other = sine(L"other.mp3", 300, 20, "-ar 22050 -ac 1 -b:a 32k " + bare);
    const CString plain = sine(L"plain.mp3", 440, 30, "-b:a 128k " + bare);

    // Random bytes put between the tag of the tagged CBR file and its first frame.
    auto junkAfterTag = [&](const wchar_t* name, int seed, const std::string& bytes) {
        const CString path = folder / name;
        mediafixtures::RunPython(folder, "import random\n"
                                         "d = open(" + ShellQuoted(cbr) + ", 'rb').read()\n"
                                         "end = 10 + (d[6] << 21 | d[7] << 14 | d[8] << 7 | d[9])\n"
                                         "junk = random.Random(" + std::to_string(seed) + ").randbytes(" + bytes + ")\n"
                                         "open(" + ShellQuoted(path) + ", 'wb').write(d[:end] + junk + d[end:])\n");
        return path;
    };
    const CString junk = junkAfterTag(L"junk.mp3", 9, "100 * 1024");
    const CString fragment = folder / L"fragment.mp3";
    mediafixtures::RunPython(folder, "d = open(" + ShellQuoted(other) + ", 'rb').read()\n"
                                     "open(" + ShellQuoted(fragment) + ", 'wb').write(d[1000:41000] + open(" +
                                         ShellQuoted(plain) + ", 'rb').read())\n");
    // A mebibyte and more of junk before the first frame, after a tag and with none.
    const CString bigJunk = junkAfterTag(L"big-junk.mp3", 7, "(1 << 20) + 5000");
    const CString untaggedJunk = folder / L"untagged-junk.mp3";
    mediafixtures::RunPython(folder, "import random\n"
                                     "junk = random.Random(8).randbytes(3 << 20)\n"
                                     "open(" + ShellQuoted(untaggedJunk) + ", 'wb').write(junk + open(" + ShellQuoted(plain) +
                                         ", 'rb').read())\n");
    // Two files joined end to end, the first with an Info header of its own 30 s only.
    const CString second = sine(L"second.mp3", 330, 450, "-metadata title=Second -b:a 64k");
    const CString first = sine(L"first.mp3", 440, 30, "-metadata title=First -b:a 64k");
    const CString joined = folder / L"joined.mp3";
    mediafixtures::RunTool(folder, "cat " + ShellQuoted(first) + " " + ShellQuoted(second) + " > " + ShellQuoted(joined));
    // Eight minutes of constant bit rate without a header: sampled, not walked.
    const CString longCbr = sine(L"long-cbr.mp3", 440, 480, "-b:a 128k " + bare);
    struct Case {
        const char* what;
        CString path;
        CString counted;  // the file whose frames ffprobe counts
        long long tolerance;
    } cases[] = {
        {"VBR without a header (lame)", vbr, vbr, 30},
        {"20 minutes of VBR without a header: sampled (within 1%)", longVbr, longVbr, 12000},
        {"100 KiB of junk before the first frame", junk, cbr, 30},
        {"a fragment of another stream first", fragment, plain, 30},
        {"1 MiB and more of junk after the tag", bigJunk, cbr, 30},
        {"3 MiB of junk and no tag", untaggedJunk, plain, 30},
        {"two files joined, the first with an Info header", joined, joined, 500},
        {"8 minutes of CBR without a header", longCbr, longCbr, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        long long expected = CountedDurationMs(folder, c.counted);
        ASSERT_GT(expected, 29000);
        EXPECT_NEAR(DurationMs(c.path), expected, c.tolerance);
    }
}

TEST(MetadataEditor, Mp3WhoseFramesAreNotFoundHasNoDuration)
{
    // A tag and no audio that is found: the file opens (its tags are there), but it has no
    // duration or bit rate rather than a duration of 0. Without a tag it is refused. The first
    // frame is looked for in the first 64 MiB: past that, frames are not found.
    ScratchFolder folder;
    const CString tagged = mediafixtures::MakeMp3(folder, L"tagged.mp3");
    const CString plain = folder / L"plain.mp3";
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=5 "
                                   "-c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0 " + ShellQuoted(plain));
    const CString tagOnly = folder / L"tag-only.mp3";
    mediafixtures::RunPython(folder, "d = open(" + ShellQuoted(tagged) + ", 'rb').read()\n"
                                     "end = 10 + (d[6] << 21 | d[7] << 14 | d[8] << 7 | d[9])\n"
                                     "open(" + ShellQuoted(tagOnly) + ", 'wb').write(d[:end] + bytes(4096))\n");
    const CString farTagged = folder / L"far-tagged.mp3", untaggedFar = folder / L"far.mp3";
    mediafixtures::RunPython(folder, "d = open(" + ShellQuoted(tagged) + ", 'rb').read()\n"
                                     "end = 10 + (d[6] << 21 | d[7] << 14 | d[8] << 7 | d[9])\n"
                                     "audio = open(" + ShellQuoted(plain) + ", 'rb').read()\n"
                                     "with open(" + ShellQuoted(farTagged) + ", 'wb') as f:\n"
                                     "    f.write(d[:end]); f.seek(end + (65 << 20)); f.write(audio)\n"
                                     "with open(" + ShellQuoted(untaggedFar) + ", 'wb') as f:\n"
                                     "    f.seek(65 << 20); f.write(audio)\n");
    struct Case {
        const char* what;
        CString path;
        HRESULT open;
    } cases[] = {
        {"a tag and zeros", tagOnly, S_OK},
        {"a tag, then frames 65 MiB on", farTagged, S_OK},
        {"no tag, frames 65 MiB on", untaggedFar, WM_E_INVALID_FILE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenedEditor e(c.path);
        ASSERT_EQ(e.result, c.open);
        if (FAILED(c.open))
            continue;
        EXPECT_EQ(e.Text(L"Title"), L"Harbour Lights");
        for (const wchar_t* name : {L"Duration", L"Bitrate"}) {
            WORD stream = 0, length = 8;
            WMT_ATTR_DATATYPE type;
            BYTE value[8] = {};
            EXPECT_EQ(e.header->GetAttributeByName(&stream, name, &type, value, &length), WM_E_NOT_FOUND)
                << CString(name).ToNarrow();
        }
    }
}

TEST(MetadataEditor, Mp3ReplacedByAnotherOfTheSameSizeIsReadAnew)
{
    // What one open learns of the audio is kept for the next open of the same file, but only
    // while the file is unchanged: another stream copied over it is read again.
    ScratchFolder folder;
    const CString a = folder / L"a.mp3", b = folder / L"b.mp3", path = folder / L"part.mp3";
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=30 "
                                   "-c:a libmp3lame -b:a 128k -id3v2_version 0 -write_xing 0 " + ShellQuoted(a) +
                                   " && ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=60 "
                                   "-c:a libmp3lame -b:a 64k -id3v2_version 0 -write_xing 0 " + ShellQuoted(b) +
                                   " && truncate -s $(stat -c %s " + ShellQuoted(a) + ") " + ShellQuoted(b));
    ASSERT_TRUE(CopyFileW(a, path, FALSE));
    const long long first = DurationMs(path);
    EXPECT_NEAR(first, 30000, 60);
    EXPECT_EQ(DurationMs(path), first);
    ASSERT_EQ(testsupport::FileSizeOf(a), testsupport::FileSizeOf(b));
    ASSERT_TRUE(CopyFileW(b, path, FALSE));
    EXPECT_NEAR(DurationMs(path), 30000 * 128 / 64, 200);
}

namespace {

// The length in milliseconds of what lame decodes a file to (lame reads free-format files,
// whose frames ffmpeg's decoder does not take).
long long LameDecodedMs(const ScratchFolder& folder, const CString& path)
{
    const CString wav = folder / L"decoded.wav";
    if (mediafixtures::RunTool(folder, "lame --quiet --decode " + ShellQuoted(path) + " " + ShellQuoted(wav)) != 0)
        return -1;
    std::string out;
    mediafixtures::RunPython(folder, "import wave\nw = wave.open(" + ShellQuoted(wav) +
                                         ")\nprint(w.getnframes() * 1000 // w.getframerate())\n",
                             &out);
    return std::atoll(out.c_str());
}

}  // namespace

TEST(MetadataEditor, FreeFormatMp3IsReadWithItsDurationAndBitRate)
{
    // Free-format frames say no bit rate: their length is the distance to the next frame. With
    // lame's Info frame the length is ffprobe's (which reads that frame); without it, lame's
    // own decoding tells it (lame drops its start delay, some 12 ms, from what it decodes).
    ScratchFolder folder;
    const CString tone = folder / L"tone.wav", long3 = folder / L"long.wav";
    mediafixtures::RunTool(folder, "sox -n -r 44100 -c 2 -b 16 " + ShellQuoted(tone) + " synth 5 sine 440 && "
                                   "sox -n -r 44100 -c 2 -b 16 " + ShellQuoted(long3) + " synth 180 sine 440");
    const struct {
        const char* what;
        const wchar_t* name;
        std::string options;
        bool longSource;
        bool probed;          // ffprobe gives the length (an Info frame); otherwise lame's decoding
        DWORD nominal;        // the -b rate
        long long tolerance;  // ms
    } cases[] = {
        {"128 kbit/s joint stereo with an Info frame", L"free-128.mp3", "-b 128 -m j", false, true, 128000, 30},
        {"160 kbit/s mono with an Info frame", L"free-160-mono.mp3", "-b 160 -m m", false, true, 160000, 30},
        {"320 kbit/s", L"free-320.mp3", "-b 320", false, true, 320000, 30},
        {"an ID3v2 tag before the frames", L"Ada's Night Crossing - Part 01.mp3",
         "-b 128 --add-id3v2 --tt \"Night Crossing\"", false, true, 128000, 30},
        {"no Info frame: the frames counted", L"free-no-info.mp3", "-b 160 -t", false, false, 160000, 30},
        {"3 minutes without an Info frame: sampled", L"free-long.mp3", "-b 128 -t", true, false, 128000, 200},
        {"MPEG-2 at 22.05 kHz mono without an Info frame", L"free-22k.mp3", "-b 64 -m m --resample 22.05 -t", false,
         false, 64000, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CString path = folder / c.name;
        ASSERT_EQ(0, mediafixtures::RunTool(folder, "lame --quiet --freeformat " + c.options + " " +
                                                        ShellQuoted(c.longSource ? long3 : tone) + " " +
                                                        ShellQuoted(path)));
        const long long expected = c.probed ? mediafixtures::ProbeDurationMs(folder, path) : LameDecodedMs(folder, path);
        ASSERT_GT(expected, c.longSource ? 179000 : 4900);
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        EXPECT_NEAR(static_cast<long long>(e.Number<QWORD>(L"Duration", WMT_TYPE_QWORD) / 10000), expected, c.tolerance);
        EXPECT_NEAR(static_cast<double>(e.Number<DWORD>(L"Bitrate", WMT_TYPE_DWORD)), c.nominal, c.nominal * 0.01);
        if (c.options.find("--tt") != std::string::npos) {
            EXPECT_EQ(e.Text(L"Title"), L"Night Crossing");
        }
    }
}

TEST(MetadataEditor, ConstantBitRateMp3HasItsAudioFramesRateNotItsInfoFramesRate)
{
    // A 32 kbit/s frame at 44.1 kHz is too small for an encoder's Info frame, which ffmpeg then
    // writes at a higher rate: the file's rate is its audio's, as mutagen and ffprobe say.
    ScratchFolder folder;
    const CString tone = folder / L"tone.wav";
    mediafixtures::RunTool(folder, "sox -n -r 44100 -c 2 -b 16 " + ShellQuoted(tone) + " synth 5 sine 440");
    const struct {
        const char* what;
        const wchar_t* name;
        std::string command;  // %s: the output
    } cases[] = {
        {"lame, 32 kbit/s CBR at 44.1 kHz", L"lame-32.mp3", "lame --quiet -b 32 --cbr --resample 44.1 " + ShellQuoted(tone)},
        {"lame, 32 kbit/s CBR as lame resamples it", L"lame-32-16k.mp3", "lame --quiet -b 32 --cbr " + ShellQuoted(tone)},
        {"ffmpeg, 32 kbit/s with its Info frame", L"ffmpeg-32.mp3",
         "ffmpeg -nostdin -v error -y -i " + ShellQuoted(tone) + " -c:a libmp3lame -b:a 32k"},
        {"ffmpeg, 32 kbit/s mono at 22.05 kHz", L"ffmpeg-32-mono.mp3",
         "ffmpeg -nostdin -v error -y -i " + ShellQuoted(tone) + " -ac 1 -ar 22050 -c:a libmp3lame -b:a 32k"},
        {"ffmpeg, 128 kbit/s with its Info frame", L"ffmpeg-128.mp3",
         "ffmpeg -nostdin -v error -y -i " + ShellQuoted(tone) + " -c:a libmp3lame -b:a 128k"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CString path = folder / c.name;
        ASSERT_EQ(0, mediafixtures::RunTool(folder, c.command + " " + ShellQuoted(path)));
        std::string out;
        mediafixtures::RunPython(folder, "import mutagen.mp3\nprint(mutagen.mp3.MP3(" + ShellQuoted(path) +
                                             ").info.bitrate)\n",
                                 &out);
        const long long mutagenRate = std::atoll(out.c_str());
        ASSERT_GT(mutagenRate, 0);
        // mutagen rounds to whole kbit/s for constant rates.
        const long long nominal = (mutagenRate + 500) / 1000 * 1000;
        OpenedEditor e(path);
        ASSERT_EQ(e.result, S_OK);
        EXPECT_EQ(static_cast<long long>(e.Number<DWORD>(L"Bitrate", WMT_TYPE_DWORD)), nominal);
    }
}

TEST(MetadataEditor, AFilesRefusalIsRememberedWhileTheFileIsUnchanged)
{
    // What the callers' several opens of one file learn the first time holds for the next while
    // the file is unchanged, a refusal too: held by another program, the file is still refused
    // for what it is, not for the lock. Once it changes it is read anew.
    ScratchFolder folder;
    const CString path = folder / L"not audio.mp3", plain = folder / L"plain.mp3";
    mediafixtures::RunPython(folder, "import random\nopen(" + ShellQuoted(path) +
                                         ", 'wb').write(random.Random(5).randbytes(300 * 1024))\n");
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=5 "
                                   "-c:a libmp3lame -b:a 128k " + ShellQuoted(plain));
    EXPECT_EQ(OpenedEditor(path).result, WM_E_INVALID_FILE);
    {
        HANDLE held = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(OpenedEditor(path).result, WM_E_INVALID_FILE);
        CloseHandle(held);
    }
    // A file never read is refused for the lock (nothing is remembered of it).
    {
        const CString other = folder / L"other.mp3";
        ASSERT_TRUE(CopyFileW(path, other, FALSE));
        HANDLE held = CreateFileW(other, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(OpenedEditor(other).result, HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION));
        CloseHandle(held);
        // And a lock's refusal is not remembered.
        EXPECT_EQ(OpenedEditor(other).result, WM_E_INVALID_FILE);
    }
    ASSERT_TRUE(CopyFileW(plain, path, FALSE));
    OpenedEditor e(path);
    ASSERT_EQ(e.result, S_OK);
    EXPECT_NEAR(static_cast<long long>(e.Number<QWORD>(L"Duration", WMT_TYPE_QWORD) / 10000), 5000, 60);
}
