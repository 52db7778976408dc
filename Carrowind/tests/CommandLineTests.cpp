// The device wizard's reading of its command line and link: the lines the console writes (the
// rows of the console's own tests of the wizards' reading), hand-written variants and links.
#include "CarrowindApp.h"
#include "WizardCommandLine.h"

#include <gtest/gtest.h>

namespace {

WizardCommandLine Parse(const CString& line, BOOL* fromPlaylist = nullptr, const CString& program = CString())
{
    WizardCommandLine options;
    const BOOL result = ParseWizardCommandLine(line, program, CWizardApp::CommandLineRules(), options);
    if (fromPlaylist)
        *fromPlaylist = result;
    return options;
}

TEST(WizardCommandLine, ReadsWhatTheConsoleWritesForEveryKindAndPath)
{
    const wchar_t* const kinds[] = {L"WMA Audiobook", L"WMA Music",     L"WMV Video (standard)",
                                    L"WMV Video (mobile)", L"MP3 Audiobook", L"MP3 Music"};
    const wchar_t* const paths[] = {
        L"C:\\users\\me\\My Documents\\My Media\\WMA Audiobooks\\Night - Day\\Night - Day.wax",
        L"\\\\server\\media\\a-b\\T.WAX",
    };
    for (const wchar_t* kind : kinds) {
        for (const wchar_t* path : paths) {
            for (bool verbose : {false, true}) {
                CString line;
                line.Format(L"-SourceID=\"Vesperlin Source 7\" -Path=\"%s\" -Type=\"%s\"%s", path, kind,
                            verbose ? L" -Verbose" : L"");
                BOOL fromPlaylist = FALSE;
                const WizardCommandLine read = Parse(line, &fromPlaylist);
                EXPECT_EQ(CString(path), read.path) << line.ToNarrow();
                EXPECT_EQ(CString(L"Vesperlin Source 7"), read.sourceId);
                EXPECT_EQ(CString(kind), read.contentType);
                EXPECT_TRUE(fromPlaylist);
                EXPECT_EQ(verbose, HasVerboseSwitch(line) != FALSE);
            }
        }
    }
}

TEST(WizardCommandLine, TableOfHandWrittenLinesAndLinks)
{
    const struct {
        const wchar_t* line;
        const wchar_t* path;
        const wchar_t* sourceId;
        const wchar_t* type;
        const wchar_t* mobileMin;
        BOOL fromPlaylist;
    } cases[] = {
        // The program's own path in front, as a wizard started by hand sees it.
        {L"\"C:\\P\\Carrowind.exe\" -SourceID=\"src\" -Path=\"C:\\M\\B\\B.wax\" -Type=\"WMA Audiobook\" -Verbose",
         L"C:\\M\\B\\B.wax", L"src", L"WMA Audiobook", L"", TRUE},
        // Colon, blank and equals sign all separate a value; quotes are trimmed.
        {L"-SourceId:abc -Type WMA Music -Path=\"C:\\a-b\\t-1.wax\"", L"C:\\a-b\\t-1.wax", L"abc", L"WMA Music", L"", TRUE},
        // A later option overrides an earlier one; a word that merely begins with a keyword matches it.
        {L"-Type=Game -Typewriter -Path=\"C:\\x.wax\"", L"C:\\x.wax", L"", L"writer", L"", TRUE},
        {L"-MobileMinVersion=\"2.1\" -MobileCurVersion=\"2.5\" -Path=\"C:\\x.wax\"", L"C:\\x.wax", L"", L"", L"2.1",
         TRUE},
        // A path without quotes before it is read from its piece; an order file is read but refused later.
        {L"-Path=C:\\M\\B.wax", L"C:\\M\\B.wax", L"", L"", L"", TRUE},
        {L"-Path=\"C:\\M\\B.vpm\" -Type=\"MP3 Music\"", L"C:\\M\\B.vpm", L"", L"MP3 Music", L"", FALSE},
        {L"-SourceID=\"s\"", L"", L"s", L"", L"", FALSE},
        {L"", L"", L"", L"", L"", FALSE},
        // Links: the content type and source id default by text; a slash stands for the quote.
        {L"zkytransfer://-Path/C:\\Media\\Book-One\\Book-One.wax", L"C:\\Media\\Book-One\\Book-One.wax", L"Vesperlin",
         L"MP3 Audiobook", L"", TRUE},
        {L"zkytransfer:///C:\\M\\B.wax-SourceId=lib7-Type=WMA Audiobook", L"C:\\M\\B.wax", L"lib7", L"WMA Audiobook", L"",
         TRUE},
        {L"\"zkytransfer://C:\\M\\B.wax\"", L"C:\\M\\B.wax", L"Vesperlin", L"MP3 Audiobook", L"", TRUE},
        // Another scheme gives no defaults.
        {L"zkycdburn:///C:\\M\\B.wax", L"C:\\M\\B.wax", L"", L"", L"", TRUE},
    };
    for (const auto& c : cases) {
        BOOL fromPlaylist = FALSE;
        const WizardCommandLine read = Parse(c.line, &fromPlaylist, L"C:\\P\\Carrowind.exe");
        EXPECT_EQ(CString(c.path), read.path) << CString(c.line).ToNarrow();
        EXPECT_EQ(CString(c.sourceId), read.sourceId) << CString(c.line).ToNarrow();
        EXPECT_EQ(CString(c.type), read.contentType) << CString(c.line).ToNarrow();
        EXPECT_EQ(CString(c.mobileMin), read.mobileMinVersion) << CString(c.line).ToNarrow();
        EXPECT_EQ(c.fromPlaylist, fromPlaylist) << CString(c.line).ToNarrow();
    }
}

TEST(WizardCommandLine, VerboseOnlyInItsOwnCaseAndThePlaylistRuleForStartUp)
{
    EXPECT_TRUE(HasVerboseSwitch(L"-Path=\"C:\\a.wax\" -Verbose"));
    EXPECT_TRUE(HasVerboseSwitch(L"x-Verbosey"));
    EXPECT_FALSE(HasVerboseSwitch(L"-verbose"));
    EXPECT_FALSE(HasVerboseSwitch(L"-VERBOSE"));
    EXPECT_TRUE(CWizardApp::IsPlaylistPath(L"C:\\a.WaX"));
    EXPECT_FALSE(CWizardApp::IsPlaylistPath(L"C:\\a.vpm"));
    EXPECT_FALSE(CWizardApp::IsPlaylistPath(L"wax"));
    EXPECT_FALSE(CWizardApp::IsPlaylistPath(L""));
}

}  // namespace
