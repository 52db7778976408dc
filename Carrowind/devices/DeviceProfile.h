// The profile file a mass-storage player carries in its root ("X:\Vesperlin.xml", or the
// hidden "X:\.Vesperlin.xml"): where titles go on the player and which side files they need.
//
//     <Carrowind><VPM>\Books\[title]</VPM><Thumbnail>1</Thumbnail><ClientID>R-7</ClientID></Carrowind>
//
// gives the target folder "E:\Books" joined with each title's name, and the thumbnail flag.
#pragma once

#include "PlayerRecord.h"

// The profile file of a drive (the visible one first); empty when the drive has none.
CString FindDeviceProfile(wchar_t driveLetter);

// Resets the player's profile values and fills them from the file. Folders that would lead
// out of the player's drive (a drive or share of their own, or "..") are not taken.
void ReadDeviceProfile(PlayerRecord* player, const wchar_t* profilePath);

// Copies a title's side files into its folder on a mass-storage player with a profile: the
// media order file beside the playlist (as "<name>.vpm"), the cover ("<name>Img200.<ext>", with
// the thumbnail flag), the small cover ("<name>Img100.<ext>", with the cover flag) and the
// source's banner into the banner folder. TRUE when the order file was copied; the others are
// best effort. A name or source id that would lead out of the folders copies nothing.
BOOL CopySideFilesToDevice(PlayerRecord* player, const CString& playlistPath, const CString& coverPath,
                           const CString& sourceId);
