// The sample library: the host-side generator makes the sample titles, MakeSampleLibrary
// files them into a library, and a library document then loads that library and finds
// every title with its parts, playlist and pictures in place.
#include "LibraryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace testsupport;

namespace {

CString ToolPath() { return BinaryPath(L"Brenvale/tools/MakeSampleLibrary.exe"); }

LONGLONG FileSize(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The stream codec ffprobe finds first in a file ("wmav2", "mp3", "wmv2"...).
std::string ProbeCodec(const CString& path)
{
    std::string out;
    if (RunHostCommand("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + ShellQuoted(path), &out) != 0)
        return "(ffprobe failed)";
    return out.substr(0, out.find_first_of("\r\n"));
}

class SampleLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_scratch = new ScratchFolder;
        const CString generator = SourcePath(L"Brenvale/samples/make_sample_titles.py");
        s_made = RunHostCommand("python3 " + ShellQuoted(generator) + " " + ShellQuoted(Stage())) == 0;
    }
    static void TearDownTestSuite()
    {
        delete s_scratch;
        s_scratch = nullptr;
    }
    static CString Stage() { return *s_scratch / L"service"; }
    static CString DataFolder() { return *s_scratch / L"data"; }
    static CString Downloads() { return *s_scratch / L"My Media"; }

    static int FileSamples()
    {
        return RunProgram(L"\"" + ToolPath() + L"\" --data-folder \"" + DataFolder() + L"\" --download-folder \"" +
                          Downloads() + L"\" \"" + Stage() + L"\"");
    }

    static ScratchFolder* s_scratch;
    static bool s_made;
};

ScratchFolder* SampleLibrary::s_scratch = nullptr;
bool SampleLibrary::s_made = false;

TEST_F(SampleLibrary, LoadsWithEveryTitleItsPartsAndPictures)
{
    ASSERT_TRUE(s_made) << "make_sample_titles.py failed";
    ASSERT_EQ(FileSamples(), 0);

    librarytest::TestLibrary library(DataFolder());
    library.SetDecodePicturesOnLoad(TRUE);
    testsupport::MessageBoxRecorder boxes;
    ASSERT_TRUE(library.OnNewDocument());
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_EQ(library.GetTitles().GetSize(), 3);
    ASSERT_EQ(library.GetSources().GetSize(), 2);
    for (INT_PTR s = 0; s < library.GetSources().GetSize(); ++s) {
        const CSourceObject* source = static_cast<CSourceObject*>(library.GetSources()[s]);
        EXPECT_GT(FileSize(source->GetBannerPath(DataFolder())), 0);
    }

    // One title of each kind, its parts in the folder of its kind, as real media.
    const std::map<int, std::pair<CString, std::string>> kinds = {
        {KindAudiobook, {L"WMA Audiobooks", "wmav2"}},
        {KindMp3Music, {L"MP3 Music", "mp3"}},
        {KindVideo, {L"WMV Videos (standard)", "wmv2"}},
    };
    std::set<int> seen;
    for (INT_PTR t = 0; t < library.GetTitles().GetSize(); ++t) {
        auto* title = static_cast<CMediaObject*>(library.GetTitles()[t]);
        const int kind = title->GetMetadata().GetContentKind();
        SCOPED_TRACE(static_cast<const wchar_t*>(title->GetMetadata().GetDisplayTitle(TRUE, TRUE)));
        ASSERT_EQ(kinds.count(kind), 1u) << kind;
        seen.insert(kind);
        EXPECT_EQ(title->GetDownloadFolder(), Downloads() + L"\\" + kinds.at(kind).first);
        EXPECT_EQ(title->GetSelectedMethod(), CString(L"download"));
        EXPECT_NE(library.FindSource(title->m_sourceId), nullptr);
        EXPECT_NE(title->GetPictureIndex(), DefaultTitlePicture) << "thumbnail not read";
        EXPECT_GT(FileSize(title->GetCoverPath(DataFolder())), 0);
        const DWORD folderPicture = GetFileAttributesW(title->GetThumbnailPath(DataFolder(), TRUE));
        EXPECT_TRUE(folderPicture != INVALID_FILE_ATTRIBUTES && (folderPicture & FILE_ATTRIBUTE_HIDDEN));
        EXPECT_GT(FileSize(title->GetPlaylistPath()), 0);
        ASSERT_GE(title->m_parts.GetSize(), 2);
        for (INT_PTR p = 0; p < title->m_parts.GetSize(); ++p) {
            const CPartObject* part = title->GetPart(p);
            const CString path = part->GetFilePath(title);
            EXPECT_EQ(FileSize(path), part->m_fileSize) << static_cast<const wchar_t*>(path);
            EXPECT_GT(DurationTextToSeconds(part->GetDuration()), 0);
        }
        EXPECT_EQ(ProbeCodec(title->GetPart(0)->GetFilePath(title)), kinds.at(kind).second);
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(SampleLibrary, FilingAgainReplacesTheTitlesInTheirFolders)
{
    ASSERT_TRUE(s_made) << "make_sample_titles.py failed";
    ASSERT_EQ(FileSamples(), 0);
    std::set<std::wstring> folders;
    {
        librarytest::TestLibrary library(DataFolder());
        ASSERT_TRUE(library.OnNewDocument());
        for (INT_PTR t = 0; t < library.GetTitles().GetSize(); ++t)
            folders.insert(static_cast<const wchar_t*>(static_cast<CMediaObject*>(library.GetTitles()[t])->m_titleFolder));
    }
    ASSERT_EQ(FileSamples(), 0);
    librarytest::TestLibrary library(DataFolder());
    ASSERT_TRUE(library.OnNewDocument());
    ASSERT_EQ(library.GetTitles().GetSize(), 3);
    for (INT_PTR t = 0; t < library.GetTitles().GetSize(); ++t)
        EXPECT_EQ(folders.count(static_cast<const wchar_t*>(static_cast<CMediaObject*>(library.GetTitles()[t])->m_titleFolder)), 1u);
}

TEST_F(SampleLibrary, AFolderWithoutOrderFilesIsRefused)
{
    ScratchFolder empty;
    EXPECT_EQ(RunProgram(L"\"" + ToolPath() + L"\" --data-folder \"" + (empty / L"data") + L"\" \"" + empty.Path() + L"\""), 1);
    EXPECT_EQ(GetFileAttributesW(empty / L"data\\MediaDB.dat"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RunProgram(L"\"" + ToolPath() + L"\" --bogus"), 2);
}

}  // namespace
