// Tessaline.dll under Wine as the device wizard uses it: registered with regsvr32, created by
// CLSID or ProgID, called through its v-table or IDispatch, on M4B/M4A files made by ffmpeg
// and checked with ffprobe, ffmpeg and mutagen.
#include "ComHolders.h"
#include "ComTestSupport.h"
#include "Mp4Fixtures.h"
#include "TessalineIds.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using comtest::GuidString;
using comtest::KeyExists;
using comtest::ReadText;
using mp4fixtures::ChapterText;
using mp4fixtures::Chapters;
using testsupport::ReadAll;
using testsupport::ScratchFolder;
using testsupport::ShellQuoted;

CString ServerPath()
{
    return comtest::BuiltModule(TESSALINE_PATH);
}

std::vector<CString> RegisteredKeys()
{
    return comtest::RegisteredKeys({CLSID_CVPMediaObj, L"Tessaline.VPMediaObj.1", L"Tessaline.VPMediaObj",
                                    APPID_Tessaline, L"Tessaline.DLL", LIBID_Tessaline, L"1.0", IID_IVPMediaObj});
}

// Marker text in the system's ANSI code page, as the device wizard hands it over.
std::string Ansi(const wchar_t* text)
{
    return CString(text).ToNarrow(CP_ACP);
}

// That text as the UTF-8 a reader of the file sees.
std::string Utf8OfAnsi(const std::string& ansi)
{
    return CString::FromNarrow(ansi.c_str(), -1, CP_ACP).ToNarrow(CP_UTF8);
}

class Tessaline : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, comtest::RunRegsvr32(ServerPath())); }
    static void TearDownTestSuite() { comtest::RunRegsvr32(ServerPath(), true); }

    static com::ComPtr<IVPMediaObj> Create()
    {
        com::ComPtr<IVPMediaObj> object;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_CVPMediaObj, nullptr, CLSCTX_INPROC_SERVER, IID_IVPMediaObj,
                                         object.PutVoid()));
        return object;
    }
    static HRESULT AddMarkers(const CString& path, std::string markers)
    {
        com::ComPtr<IVPMediaObj> object = Create();
        if (!object)
            return E_UNEXPECTED;
        std::string ansiPath = path.ToNarrow(CP_ACP);
        return object->AddMediaMarkers(ansiPath.data(), markers.data());
    }

    comtest::ApartmentScope m_com;
};

TEST_F(Tessaline, RegistrationWritesItsKeysAndUnregisteringRemovesEveryOne)
{
    const CString clsid = L"CLSID\\" + GuidString(CLSID_CVPMediaObj);
    for (const CString& key : RegisteredKeys())
        EXPECT_TRUE(KeyExists(key)) << key.ToNarrow();
    EXPECT_EQ(CString(L"CVPMediaObj Object"), ReadText(clsid));
    EXPECT_EQ(0, ReadText(clsid + L"\\InprocServer32").CompareNoCase(ServerPath()));
    EXPECT_EQ(CString(L"apartment"), ReadText(clsid + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_EQ(CString(L"Tessaline.VPMediaObj.1"), ReadText(clsid + L"\\ProgID"));
    EXPECT_EQ(CString(L"Tessaline.VPMediaObj"), ReadText(clsid + L"\\VersionIndependentProgID"));
    EXPECT_EQ(GuidString(LIBID_Tessaline), ReadText(clsid + L"\\TypeLib"));
    EXPECT_EQ(GuidString(APPID_Tessaline), ReadText(clsid, L"AppID"));
    EXPECT_EQ(CString(L"CVPMediaObj Object"), ReadText(L"Tessaline.VPMediaObj.1"));
    EXPECT_EQ(GuidString(CLSID_CVPMediaObj), ReadText(L"Tessaline.VPMediaObj.1\\CLSID"));
    EXPECT_EQ(CString(L"Tessaline.VPMediaObj.1"), ReadText(L"Tessaline.VPMediaObj\\CurVer"));
    EXPECT_EQ(CString(L"Tessaline"), ReadText(L"AppID\\" + GuidString(APPID_Tessaline)));
    EXPECT_EQ(GuidString(APPID_Tessaline), ReadText(L"AppID\\Tessaline.DLL", L"AppID"));
    EXPECT_EQ(CString(L"Tessaline 1.0 Type Library"), ReadText(L"TypeLib\\" + GuidString(LIBID_Tessaline) + L"\\1.0"));

    ASSERT_EQ(0, comtest::RunRegsvr32(ServerPath(), true));
    for (const CString& key : RegisteredKeys())
        EXPECT_FALSE(KeyExists(key)) << key.ToNarrow();
    com::ComPtr<IVPMediaObj> object;
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(CLSID_CVPMediaObj, nullptr, CLSCTX_INPROC_SERVER, IID_IVPMediaObj, object.PutVoid()));
    ASSERT_EQ(0, comtest::RunRegsvr32(ServerPath()));
}

TEST_F(Tessaline, CreatedByClsidAndProgIdAndDescribedByItsTypeLibrary)
{
    for (const wchar_t* progId : {L"Tessaline.VPMediaObj", L"Tessaline.VPMediaObj.1"}) {
        CLSID clsid{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(progId, &clsid));
        com::ComPtr<IDispatch> object;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid()));
    }
    com::ComPtr<IVPMediaObj> object = Create();
    ASSERT_TRUE(object);
    const wchar_t* names[] = {L"AddMediaMarkers", L"Close"};
    for (int i = 0; i < 2; ++i) {
        DISPID id = 0;
        EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&names[i]), 1, 0, &id));
        EXPECT_EQ(i + 1, id);
    }
    com::ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, object->GetTypeInfo(0, 0, info.Put()));
    for (UINT i = 0; i < 2; ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, info->GetFuncDesc(i, &function));
        EXPECT_EQ(static_cast<DISPID>(i + 1), function->memid);
        EXPECT_EQ(static_cast<SHORT>((7 + i) * sizeof(void*)), function->oVft);
        EXPECT_EQ(i == 0 ? 2 : 1, function->cParams);
        EXPECT_EQ(VT_LPSTR, function->lprgelemdescParam[0].tdesc.vt);
        info->ReleaseFuncDesc(function);
    }
}

struct FileCase {
    const char* name;
    bool moovFirst;
    const wchar_t* extension;
    bool ffmpegChapters;
    bool wideOffsets;  // the sound track's chunk offsets in 64 bits
};

class TessalineFiles : public Tessaline, public ::testing::WithParamInterface<FileCase> {};

TEST_P(TessalineFiles, ChaptersArriveAndASecondCallReplacesThem)
{
    const FileCase& c = GetParam();
    ScratchFolder folder;
    CString path = mp4fixtures::MakeAudio(folder, (CString(L"made") + c.extension), c.moovFirst);
    if (c.ffmpegChapters)
        path = mp4fixtures::AddFfmpegChapters(folder, path, CString(L"chaptered") + c.extension);
    if (c.wideOffsets)
        path = mp4fixtures::Derive(folder, path, "co64", CString(L"wide") + c.extension);
    const std::string audio = mp4fixtures::AudioMd5(folder, path);
    const std::string tags = mp4fixtures::Tags(folder, path);
    ASSERT_EQ("Harbour Lights|Ada Quill|10\n", tags);

    const long long end = mp4fixtures::SoundEndMs(folder, path);
    ASSERT_GE(end, 10000);
    const std::string last = Ansi(L"Caf\u00e9 at the end");
    ASSERT_EQ(S_OK, AddMarkers(path, "0 Opening\r\n3000 Middle part\r\n7000 " + last + "\r\n"));
    EXPECT_EQ(ChapterText({{0, 3000, "Opening"}, {3000, 7000, "Middle part"},
                           {7000, end, Utf8OfAnsi(last).c_str()}}),
              Chapters(folder, path));
    EXPECT_EQ(audio, mp4fixtures::AudioMd5(folder, path));
    EXPECT_EQ(tags, mp4fixtures::Tags(folder, path));
    EXPECT_TRUE(mp4fixtures::Decodes(folder, path));

    ASSERT_EQ(S_OK, AddMarkers(path, "0 Only one\n"));
    EXPECT_EQ(ChapterText({{0, end, "Only one"}}), Chapters(folder, path));
    const std::string layout = mp4fixtures::Layout(folder, path);
    EXPECT_EQ(layout.find(" text "), layout.rfind(" text ")) << "one chapter track: " << layout;
    EXPECT_NE(std::string::npos, layout.find(c.wideOffsets ? "soun co64" : "soun stco")) << layout;
    EXPECT_EQ(audio, mp4fixtures::AudioMd5(folder, path));
    EXPECT_EQ(tags, mp4fixtures::Tags(folder, path));
}

INSTANTIATE_TEST_SUITE_P(Layouts, TessalineFiles,
                         ::testing::Values(FileCase{"MoovLastM4b", false, L".m4b", false, false},
                                           FileCase{"MoovFirstM4a", true, L".m4a", false, false},
                                           FileCase{"WithFfmpegChapters", true, L".m4b", true, false},
                                           FileCase{"SixtyFourBitOffsets", false, L".m4b", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Tessaline, FileOverFourGigabytesGetsSixtyFourBitChapterOffsets)
{
    ScratchFolder folder;
    const CString made = mp4fixtures::MakeAudio(folder, L"made.m4b", false);
    // A sparse box of 4.5 GiB before the movie header, which the layer keeps as it is.
    const CString big = mp4fixtures::Derive(folder, made, "big", L"big.m4b", "4831838208");
    const std::string audio = mp4fixtures::AudioMd5(folder, big);
    const long long end = mp4fixtures::SoundEndMs(folder, big);
    ASSERT_EQ(S_OK, AddMarkers(big, "0 First\r\n5000 Second\r\n"));
    EXPECT_EQ(ChapterText({{0, 5000, "First"}, {5000, end, "Second"}}), Chapters(folder, big));
    EXPECT_EQ(audio, mp4fixtures::AudioMd5(folder, big));
    const std::string layout = mp4fixtures::Layout(folder, big);
    EXPECT_NE(std::string::npos, layout.find("top ftyp free mdat junk free moov mdat")) << layout;
    EXPECT_NE(std::string::npos, layout.find(" text co64")) << layout;
    ASSERT_EQ(S_OK, AddMarkers(big, "0 Again\r\n"));
    EXPECT_EQ(ChapterText({{0, end, "Again"}}), Chapters(folder, big));
}

TEST_F(Tessaline, FilesWithoutChaptersToWriteStayAsTheyWere)
{
    ScratchFolder folder;
    const CString audio = mp4fixtures::MakeAudio(folder, L"audio.m4a", true);
    const CString video = mp4fixtures::MakeVideoOnly(folder, L"video.mp4");
    const CString unscaled = mp4fixtures::Derive(folder, audio, "soundscale", L"unscaled.m4a", "0");
    struct Case {
        const char* name;
        CString path;
        std::string markers;
    } cases[] = {
        {"no sound track", video, "0 Opening\r\n"},
        {"sound track time scale 0", unscaled, "0 Opening\r\n"},
        {"empty text", audio, ""},
        {"a text that begins with #", audio, "# 0 Opening\r\n"},
        {"every marker after the end", audio, "20000 Late\r\n30000 Later\r\n"},
        {"only untitled markers", audio, "0\r\n1000 \r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<BYTE> before = ReadAll(c.path);
        EXPECT_EQ(S_OK, AddMarkers(c.path, c.markers));
        EXPECT_TRUE(ReadAll(c.path) == before);
    }
}

TEST_F(Tessaline, RefusesNullArgumentsAndFilesItCannotOpen)
{
    ScratchFolder folder;
    const CString audio = mp4fixtures::MakeAudio(folder, L"audio.m4a", true);
    std::string path = audio.ToNarrow(CP_ACP);
    char markers[] = "0 Opening\r\n";
    com::ComPtr<IVPMediaObj> object = Create();
    ASSERT_TRUE(object);
    EXPECT_EQ(E_INVALIDARG, object->AddMediaMarkers(nullptr, markers));
    EXPECT_EQ(E_INVALIDARG, object->AddMediaMarkers(path.data(), nullptr));
    std::string missing = (folder / L"missing.m4a").ToNarrow(CP_ACP);
    EXPECT_EQ(E_FAIL, object->AddMediaMarkers(missing.data(), markers));
    const CString text = folder / L"notes.m4a";
    testsupport::WriteAll(text, std::string("no movie here\r\n"));
    std::string textPath = text.ToNarrow(CP_ACP);
    EXPECT_EQ(E_FAIL, object->AddMediaMarkers(textPath.data(), markers));
    const std::vector<BYTE> left = ReadAll(text);
    EXPECT_EQ("no movie here\r\n", std::string(left.begin(), left.end()));
    // Nor a fragmented movie, whose chapters would be read against the wrong movie.
    const CString fragmented = mp4fixtures::MakeFragmented(folder, L"fragmented.m4a");
    const std::vector<BYTE> whole = ReadAll(fragmented);
    std::string fragmentedPath = fragmented.ToNarrow(CP_ACP);
    EXPECT_EQ(E_FAIL, object->AddMediaMarkers(fragmentedPath.data(), markers));
    EXPECT_EQ(whole, ReadAll(fragmented));
    // A file another program holds for writing cannot be opened either.
    HANDLE held = CreateFileW(audio, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(E_FAIL, object->AddMediaMarkers(path.data(), markers));
    CloseHandle(held);
    EXPECT_EQ(S_OK, object->AddMediaMarkers(path.data(), markers));
    EXPECT_EQ(S_OK, object->Close(nullptr));
    EXPECT_EQ(S_OK, object->Close(markers));
    EXPECT_EQ(S_OK, Create()->Close(nullptr));
}

TEST_F(Tessaline, InvokeWritesChaptersLikeTheVtable)
{
    ScratchFolder folder;
    const CString path = mp4fixtures::MakeAudio(folder, L"invoke.m4b", false);
    com::ComPtr<IDispatch> object;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_CVPMediaObj, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid()));
    // Arguments arrive last first.
    com::Variant arguments[] = {com::Variant(L"0 Spoken\r\n4000 Sung\r\n"), com::Variant(static_cast<LPCWSTR>(path))};
    DISPPARAMS params{arguments, nullptr, 2, 0};
    com::Variant result;
    EXPECT_EQ(S_OK, object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, result.Put(), nullptr, nullptr));
    EXPECT_EQ(ChapterText({{0, 4000, "Spoken"}, {4000, mp4fixtures::SoundEndMs(folder, path), "Sung"}}),
              Chapters(folder, path));

    com::Variant missing(L"C:\\no\\such\\file.m4b");
    com::Variant again[] = {arguments[0], missing};
    params.rgvarg = again;
    EXCEPINFO exception{};
    EXPECT_EQ(DISP_E_EXCEPTION, object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, result.Put(), &exception, nullptr));
    EXPECT_EQ(E_FAIL, exception.scode);
    DISPPARAMS closing{arguments, nullptr, 1, 0};
    EXPECT_EQ(S_OK, object->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &closing, result.Put(), nullptr, nullptr));
}

TEST_F(Tessaline, APathCutShortByANulIsRefusedThroughInvoke)
{
    ScratchFolder folder;
    const CString path = mp4fixtures::MakeAudio(folder, L"t2.m4b", false);
    const std::vector<BYTE> before = ReadAll(path);
    com::ComPtr<IDispatch> object;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_CVPMediaObj, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid()));
    // "...t2.m4b\0.txt": a method reading up to the NUL would write into t2.m4b.
    const CString named = path + L"?.txt";
    com::Variant cutPath;
    cutPath.vt = VT_BSTR;
    cutPath.bstrVal = SysAllocStringLen(named.GetString(), static_cast<UINT>(named.GetLength()));
    cutPath.bstrVal[path.GetLength()] = L'\0';
    com::Variant markers(L"0 Spoken\r\n4000 Sung\r\n");
    com::Variant cutMarkers;
    cutMarkers.vt = VT_BSTR;
    cutMarkers.bstrVal = SysAllocStringLen(L"0 Spoken\0 4000 Sung", 20);
    com::Variant wholePath(static_cast<LPCWSTR>(path));
    struct Case {
        VARIANT* path;
        VARIANT* markers;
        UINT argument;  // the refused one, counted last first
    };
    const Case cases[] = {{&cutPath, &markers, 1}, {&wholePath, &cutMarkers, 0}};
    for (const Case& c : cases) {
        VARIANT arguments[] = {*c.markers, *c.path};
        DISPPARAMS params{arguments, nullptr, 2, 0};
        com::Variant result;
        UINT argumentError = 99;
        EXPECT_EQ(DISP_E_TYPEMISMATCH,
                  object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, result.Put(), nullptr, &argumentError));
        EXPECT_EQ(c.argument, argumentError);
        EXPECT_EQ(before, ReadAll(path));
    }
}

TEST_F(Tessaline, LongMovieIsCountedInMilliseconds)
{
    ScratchFolder folder;
    const CString made = mp4fixtures::MakeAudio(folder, L"made.m4b", false);
    // 48,000 units a second: 10 s of it times the scale passes 31 bits.
    const CString fine = mp4fixtures::Derive(folder, made, "timescale", L"fine.m4b", "48000");
    const std::string audio = mp4fixtures::AudioMd5(folder, fine);
    ASSERT_EQ(S_OK, AddMarkers(fine, "0 One\r\n5000 Two\r\n"));
    EXPECT_NE(std::string::npos, mp4fixtures::Layout(folder, fine).find("movie timescale=1000 duration=10000"));
    EXPECT_EQ(ChapterText({{0, 5000, "One"}, {5000, mp4fixtures::SoundEndMs(folder, fine), "Two"}}),
              Chapters(folder, fine));
    EXPECT_EQ(10000, mediafixtures::ProbeDurationMs(folder, fine));
    EXPECT_EQ(audio, mp4fixtures::AudioMd5(folder, fine));
}

TEST_F(Tessaline, OneObjectFindsTheSoundTrackOfEachFile)
{
    ScratchFolder folder;
    // Video first, so the sound track is the second one.
    const CString both = folder / L"both.m4a";
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i color=c=black:s=64x64:d=10 -f lavfi -i "
                                   "sine=duration=10 -map 0 -map 1 -c:v mpeg4 -c:a aac " + ShellQuoted(both));
    const CString audio = mp4fixtures::MakeAudio(folder, L"audio.m4b", false);
    com::ComPtr<IVPMediaObj> object = Create();
    std::string markers = "0 Start\r\n2000 Later\r\n";
    for (const CString& path : {both, audio}) {
        std::string ansi = path.ToNarrow(CP_ACP);
        EXPECT_EQ(S_OK, object->AddMediaMarkers(ansi.data(), markers.data()));
        EXPECT_EQ(ChapterText({{0, 2000, "Start"}, {2000, mp4fixtures::SoundEndMs(folder, path), "Later"}}),
                  Chapters(folder, path));
    }
}

TEST_F(Tessaline, UnloadsOnlyWithNoObjectAndNoLock)
{
    comtest::LoadedServer server(ServerPath());
    ASSERT_TRUE(server.Loaded());
    EXPECT_EQ(S_OK, server.CanUnloadNow());
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, server.GetClassObject(CLSID_CVPMediaObj, IID_IClassFactory, factory.PutVoid()));
    com::ComPtr<IVPMediaObj> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IVPMediaObj, object.PutVoid()));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Reset();
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());
    object.Reset();
    EXPECT_EQ(S_FALSE, server.CanUnloadNow());
    ASSERT_EQ(S_OK, server.GetClassObject(CLSID_CVPMediaObj, IID_IClassFactory, factory.PutVoid()));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, server.CanUnloadNow());
}

}  // namespace
