// iTunes' import settings read from preferences files laid out as iTunes writes them: keys
// followed by base64 "<data>" values, wrapped over lines and indented with tabs.
#include "iTunesImportSettings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

using namespace testsupport;

namespace {

// A preferences file holding the encoder value and the AAC preset value (null: the key is
// left out). Each value is followed by more base64, wrapped at 7 characters per line, so that every value straddles line ends.
std::string Preferences(const char* encoderValue, const char* presetValue, const char* folderValue = "")
{
    auto wrapped = [](std::string value) {
        std::string out;
        for (size_t i = 0; i < value.size(); i += 7)
            out += "\t\t" + value.substr(i, 7) + "\r\n";
        return out;
    };
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<plist version=\"1.0\">\r\n<dict>\r\n"
                       "\t<key>User Preferences</key>\r\n\t<dict>\r\n";
    if (encoderValue)
        text += std::string("\t\t<key>Preferences:130</key>\r\n\t\t<data>\r\n") +
                wrapped(std::string("AAAAAgAAAAEAAAAAAAAA") + encoderValue + "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA" +
                        folderValue + "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA") +
                "\t\t</data>\r\n";
    if (presetValue)
        text += std::string("\t\t<key>iTunes.exe:AAC Encoder</key>\r\n\t\t<data>\r\n") +
                wrapped(std::string(presetValue) + "IENhc3QgKDY0IGticHMpAAAAAAAAAAAAAAAA") + "\t\t</data>\r\n";
    return text + "\t</dict>\r\n</dict>\r\n</plist>\r\n";
}

}  // namespace

TEST(iTunesImportSettings, EncoderPresetAndResultFollowTheFile)
{
    struct Case {
        const char* name;
        const char* encoder;  // value after the encoder key; null: no key
        const char* preset;   // value after the preset key; null: no key
        BOOL flag;
        const wchar_t* encoderName;  // expected; the start value when unchanged
        const wchar_t* presetName;
        DWORD bitRate;
        int result;
    };
    const Case cases[] = {
        {"no AAC key, flag set", "AAABC0FBQyBFbmNvZGVy", nullptr, TRUE, L"AAC Encoder", L"High Quality (128 kbps)", 128, 2},
        {"no AAC key, flag clear", "AAABC0FBQyBFbmNvZGVy", nullptr, FALSE, L"AAC Encoder", L"High Quality (128 kbps)", 128, 1},
        {"spoken podcast, flag set", "AAABC0FBQyBFbmNvZGVy", "AAAAAAdQb2Rj", TRUE, L"AAC Encoder", L"Spoken Podcast (64 kbps)", 64, 1},
        {"spoken podcast, flag clear", "AAABC0FBQyBFbmNvZGVy", "AAAAAAdQb2Rj", FALSE, L"AAC Encoder", L"Spoken Podcast (64 kbps)", 64, 2},
        {"high quality, flag set", "AAABC01QMyBFbmNvZGVy", "AAAAAAZCZXR0", TRUE, L"MP3 Encoder", L"High Quality (128 kbps)", 128, 2},
        {"high quality, flag clear", "AAABC01QMyBFbmNvZGVy", "AAAAAAZCZXR0", FALSE, L"MP3 Encoder", L"High Quality (128 kbps)", 128, 1},
        {"higher quality", "AAABEExvc3NsZXNzIEVu", "AAAAAARCZXN0", FALSE, L"Apple Lossless Encoder", L"Higher Quality (256 kbps)", 256, 2},
        {"iTunes Plus", "AAABDEFJRkYgRW5jb2Rl", "AAAAAAppVHVu", TRUE, L"AIFF Encoder", L"iTunes Plus (256 kbps)", 256, 2},
        {"custom keeps the bit rate", "AAABC1dBViBFbmNvZGVy", "AAAAAAZDdXN0", TRUE, L"WAV Encoder", L"Custom...", 7, 2},
        {"an unknown preset changes nothing", "AAABC0FBQyBFbmNvZGVy", "AAAAAAZZZZZZ", TRUE, L"AAC Encoder", L"start", 7, 2},
        {"an unknown encoder is AAC", "AAABC0ZMQUMgRW5jb2Rl", "AAAAAAZCZXR0", TRUE, L"AAC Encoder", L"High Quality (128 kbps)", 128, 2},
        {"no encoder key keeps the name", nullptr, "AAAAAAdQb2Rj", TRUE, L"start", L"Spoken Podcast (64 kbps)", 64, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const CString path = folder / L"iTunesPrefs.xml";
        WriteAll(path, Preferences(c.encoder, c.preset));
        iTunesImportSettings settings;
        settings.encoder = L"start";
        settings.preset = L"start";
        settings.bitRate = 7;
        EXPECT_EQ(c.result, ReadiTunesEncoderSettingsFrom(path, c.flag, &settings));
        EXPECT_EQ(CString(c.encoderName), settings.encoder);
        EXPECT_EQ(CString(c.presetName), settings.preset);
        EXPECT_EQ(c.bitRate, settings.bitRate);
    }
}

TEST(iTunesImportSettings, TheMusicFolderTextComesOnlyWithAPresetKey)
{
    struct Case {
        const char* name;
        const char* folderValue;
        const char* preset;
        bool want;
        const wchar_t* text;
    };
    const Case cases[] = {
        {"checked", "BAAAAQABAQAAAQ", "AAAAAAZCZXR0", true, L"ITMusicFolder=Checked"},
        {"unchecked", "BAAAAQABAAAAAQ", "AAAAAAZCZXR0", true, L"ITMusicFolder=Unchecked"},
        {"default", "BAAAAQABAQAAAA", "AAAAAAZCZXR0", true, L"ITMusicFolder=DefaultV"},
        {"none of them", "ZZZZZZZZZZZZZZ", "AAAAAAZCZXR0", true, L"ITMusicFolder=Unknown"},
        {"no preset key", "BAAAAQABAQAAAQ", nullptr, true, L"start"},
        {"not asked for", "BAAAAQABAQAAAQ", "AAAAAAZCZXR0", false, L"start"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        iTunesImportSettings settings;
        settings.musicFolder = L"start";
        ReadiTunesEncoderSettingsFromText(CString(Preferences("AAABC0FBQyBFbmNvZGVy", c.preset, c.folderValue).c_str()), TRUE,
                                          &settings, c.want);
        EXPECT_EQ(CString(c.text), settings.musicFolder);
    }
}

TEST(iTunesImportSettings, MissingFilesAndCutValuesChangeNothingAndGive2)
{
    iTunesImportSettings settings;
    settings.encoder = L"start";
    settings.preset = L"start";
    settings.bitRate = 7;
    EXPECT_EQ(2, ReadiTunesEncoderSettingsFrom(L"C:\\no such folder\\iTunesPrefs.xml", FALSE, &settings));
    EXPECT_EQ(CString(L"start"), settings.encoder);
    EXPECT_EQ(7u, settings.bitRate);

    // Keys at the very end of the text: the short values match nothing and nothing is read past it.
    EXPECT_EQ(2, ReadiTunesEncoderSettingsFromText(L"<key>Preferences:130</key><data>AAAA<key>iTunes.exe:AAC Encoder</key>AAAA",
                                                   TRUE, &settings));
    EXPECT_EQ(CString(L"AAC Encoder"), settings.encoder);
    EXPECT_EQ(CString(L"start"), settings.preset);
    EXPECT_EQ(7u, settings.bitRate);
}

TEST(iTunesImportSettings, TheUsersOwnPreferencesFileIsRead)
{
    const CString path = iTunesPreferencesPath();
    ASSERT_FALSE(path.IsEmpty());
    const CString folder = path.Left(path.ReverseFind(L'\\'));
    SHCreateDirectoryExW(nullptr, folder, nullptr);
    WriteAll(path, Preferences("AAABC01QMyBFbmNvZGVy", "AAAAAAdQb2Rj"));
    iTunesImportSettings settings;
    EXPECT_EQ(1, ReadiTunesEncoderSettings(TRUE, &settings));
    EXPECT_EQ(CString(L"MP3 Encoder"), settings.encoder);
    EXPECT_EQ(64u, settings.bitRate);
    DeleteFileW(path);
}

TEST(iTunesImportSettings, ConversionTimeFollowsTheBitRate)
{
    const struct {
        DWORD bitRate;
        const wchar_t* time;
    } cases[] = {
        {0, L"1 minute"}, {64, L"1 minute"}, {65, L"2.5 minutes"}, {128, L"2.5 minutes"},
        {129, L"4 minutes"}, {256, L"4 minutes"}, {257, L"more than 5 minutes"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.time), EstimatedConversionTime(c.bitRate)) << c.bitRate;
}

TEST(iTunesImportSettings, TheUsersSettingsAreKeptFromTheirFirstRead)
{
    iTunesImportState state;
    iTunesImportSettings first;
    first.encoder = L"MP3 Encoder";
    first.preset = L"High Quality (128 kbps)";
    iTunesImportSettings later;
    later.encoder = L"AAC Encoder";
    later.preset = L"Spoken Podcast (64 kbps)";
    EXPECT_FALSE(state.HasSaved());
    state.Remember(first);
    state.Remember(later);
    EXPECT_TRUE(state.HasSaved());
    EXPECT_EQ(CString(L"MP3 Encoder"), state.savedEncoder);
    EXPECT_EQ(CString(L"High Quality (128 kbps)"), state.savedPreset);
}
