// How iTunes would import audio, read from its preferences file without starting it: the
// import encoder, the AAC preset with its bit rate, and whether iTunes keeps its music folder
// organised. iTunes keeps these as base64 values in "<data>" elements after their keys; the
// values are compared as they stand, never decoded.
#pragma once

#include "afx.h"

// The answers of ReadiTunesEncoderSettings.
struct iTunesImportSettings {
    DWORD bitRate = 0;    // kbps of the AAC preset: 64, 128 or 256; unchanged for another preset
    CString encoder;      // "AAC Encoder", "MP3 Encoder", ...; unchanged without the key
    CString preset;       // "High Quality (128 kbps)", ...; unchanged for another preset
    CString musicFolder;  // "ITMusicFolder=Checked", "...=Unchecked", "...=DefaultV", "...=Unknown"
};

// "<roaming application data>\Apple Computer\iTunes\iTunesPrefs.xml" (the roaming folder is
// made when missing); empty when the folder is not known.
CString iTunesPreferencesPath();

// Reads the settings from iTunes' preferences file into *settings, changing only what the
// file tells; the music-folder text only when wantMusicFolder is set and the file names an
// AAC preset. flag chooses the result for the 64 and 128 kbps presets: with it, 1 for
// 64 kbps and 2 for 128 kbps; without it, the other way round. Every other case gives 2, so
// does a missing or unreadable file.
int ReadiTunesEncoderSettings(BOOL flag, iTunesImportSettings* settings, bool wantMusicFolder = true);
// The same from the given preferences file.
int ReadiTunesEncoderSettingsFrom(const CString& path, BOOL flag, iTunesImportSettings* settings, bool wantMusicFolder = true);
// The same from the preferences text itself.
int ReadiTunesEncoderSettingsFromText(const CString& text, BOOL flag, iTunesImportSettings* settings, bool wantMusicFolder = true);

// The time iTunes takes to convert one part at an AAC bit rate: "1 minute" up to 64 kbps,
// "2.5 minutes" up to 128, "4 minutes" up to 256, "more than 5 minutes" above.
CString EstimatedConversionTime(DWORD bitRate);

// What the wizard keeps of iTunes' import settings for its whole run: the import mode the
// Confirm page found, and the settings the user had before the wizard asked for a change
// (each text kept from its first read, so that the user can be reminded of them at the end).
struct iTunesImportState {
    // The import modes: not read, iTunes' settings used as they are, a change recommended.
    enum : int { kModeNotRead = 0, kModeAsTheyAre = 1, kModeChangeRecommended = 2 };
    int mode = kModeNotRead;
    CString savedEncoder;
    CString savedPreset;

    // Keeps the encoder and the preset, each only while none is kept yet.
    void Remember(const iTunesImportSettings& settings);
    BOOL HasSaved() const { return !savedEncoder.IsEmpty() && !savedPreset.IsEmpty(); }
    void Clear() { *this = iTunesImportState(); }
};
iTunesImportState& TheiTunesImportState();
