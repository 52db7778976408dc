// The Browse iPod dialog over the iTunes stand-in, through the wizard's own iTunes helpers:
// the maker's playlist of the library and an iPod's playlist, with artwork iTunes saves.
#include "BrowseiPodDialog.h"
#include "FileUtils.h"
#include "WindowTestSupport.h"
#include "iTunesTestSupport.h"
#include "res/BrowseiPodDialogIds.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const std::string kFixture =
    "[iTunes]\nCurrentEncoder=AAC Encoder\n"
    "[Sources]\nCount=2\n"
    "[Source1]\nKind=1\nName=Library\nPlaylists=Vesperlin\n"
    "[Source2]\nKind=2\nName=Ada's iPod\n"
    "[Tracks]\nCount=4\n"
    "[Track1]\nSource=1\nName=Harbour Lights-Part01\nArtist=Ada Quill\nAlbum=Harbour Lights\nDuration=1805\n"
    "Location=C:\\Music\\Part01.m4b\nArtwork=cover.jpg\nPlaylists=Vesperlin\n"
    "[Track2]\nSource=1\nName=Someone Else's Song\nArtist=Bea Marsh\nAlbum=Tides\nDuration=200\n"
    "[Track3]\nSource=1\nName=Harbour Lights-Part02\nArtist=Ada Quill\nAlbum=Harbour Lights\nDuration=3723\n"
    "Artwork=cover.png\nPlaylists=Vesperlin\n"
    "[Track4]\nSource=2\nName=On the iPod\nArtist=Cal Reed\nAlbum=Outside\nDuration=65\nArtwork=cover.jpg\n";

TEST(BrowseiPodOverITunes, ListsThePlaylistOfTheLibraryOrOfAnIPodWithItsArtwork)
{
    const struct {
        const wchar_t* player;
        const wchar_t* caption;
        std::vector<CString> rows;   // name|time|artist|album
        std::vector<CString> saved;  // artwork files
    } cases[] = {
        {L"iTunes Library (iTunes Library)", L"Browse Vesperlin playlist of iTunes Library",
         {L"Harbour Lights-Part01|30:05|Ada Quill|Harbour Lights", L"Harbour Lights-Part02|62:03|Ada Quill|Harbour Lights"},
         {L"Harbour Lights-Part011.jpg", L"Harbour Lights-Part022.png"}},
        {L"Apple iPod (Ada's iPod)", L"Browse Apple iPod (Ada's iPod)", {L"On the iPod|1:05|Cal Reed|Outside"}, {L"On the iPod1.jpg"}},
    };
    testsupport::MessageBoxRecorder boxes(IDOK);
    for (const auto& c : cases) {
        SCOPED_TRACE(CString(c.player).ToNarrow());
        itunestest::StandinRun iTunes(kFixture);
        ASSERT_TRUE(iTunes.Started());
        for (const wchar_t* image : {L"cover.jpg", L"cover.png"})
            ASSERT_EQ(0, testsupport::RunHostCommand("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=0xC06030:s=120x160 -frames:v 1 '" +
                                                     testsupport::UnixPath(iTunes.Path(image)) + "'"));
        CBrowseiPodDialog dialog(c.player, L"", nullptr);
        CString caption, artworkDir;
        std::vector<CString> rows;
        bool shown = false;
        testsupport::StepRunner steps(std::vector<std::function<void()>>{[&] {
            caption = dialog.GetWindowText();
            artworkDir = dialog.m_szArtworkDir;
            for (int row = 0; row < dialog.m_tracks.GetItemCount(); ++row) {
                CString line;
                for (int column = 0; column < 4; ++column)
                    line += (column ? L"|" : L"") + dialog.m_tracks.GetItemText(row, column);
                rows.push_back(line);
            }
            NMITEMACTIVATE activate{};
            activate.hdr.hwndFrom = dialog.m_tracks.m_hWnd;
            activate.hdr.idFrom = IDC_BROWSE_TRACKS;
            activate.hdr.code = LVN_ITEMACTIVATE;
            activate.iItem = 0;
            dialog.SendMessage(WM_NOTIFY, IDC_BROWSE_TRACKS, reinterpret_cast<LPARAM>(&activate));
            shown = ::IsWindowEnabled(::GetDlgItem(dialog.m_hWnd, IDC_BROWSE_ARTWORK)) != FALSE;
            dialog.PostMessage(WM_COMMAND, IDOK);
        }});
        EXPECT_EQ(IDOK, dialog.DoModal());
        EXPECT_TRUE(steps.Done());
        EXPECT_EQ(CString(c.caption), caption);
        EXPECT_EQ(c.rows, rows);
        for (const CString& file : c.saved) {
            EXPECT_TRUE(FileExists(artworkDir + L"\\" + file)) << file.ToNarrow();
            DeleteFileW(artworkDir + L"\\" + file);
        }
        EXPECT_TRUE(shown);
        EXPECT_EQ(0u, boxes.Boxes().size());
        // Browsing changes nothing in iTunes.
        EXPECT_EQ(CString(L"AAC Encoder"), iTunes.State(L"iTunes", L"CurrentEncoder"));
    }
}

}  // namespace
