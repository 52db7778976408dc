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
