// A player's device-manager tree as folder paths: the lookup of a folder (and a file in it) by
// a backslash path, and the abstract album that groups a title's parts with its cover. The
// player record's own folder operations (exists, create, rename, delete, the folder list) are
// declared with the record (PlayerRecord.h) and built on these.
//
//     IWMDMStorage* folder = nullptr;
//     IWMDMStorage* file = nullptr;
//     FindWmdmStorageByPath(device, L"Part01.mp3", &folder, &file, L"\\Music\\Books", 0, nullptr);
//     // S_OK: both set; S_FALSE: the folder only; a failure: neither
#pragma once

#include "PlayerRecord.h"

// Walks folderPath from start (held once more and given back as the folder when the path names
// it) or, without one, from the device's first storage, and looks fileName up in the folder
// reached. The text before the first backslash names the start storage and is skipped; trailing
// backslashes are passed over; an empty name inside the path (a doubled backslash) is
// HRESULT_FROM_WIN32(ERROR_INVALID_NAME). Storages without the folder bit
// are entered only with descend set. S_OK (found), S_FALSE (a file name was not found), E_FAIL
// (a folder of the path is missing: no folder given back), E_POINTER for a null device.
HRESULT FindWmdmStorageByPath(IWMDMDevice* device, const wchar_t* fileName, IWMDMStorage** folder,
                              IWMDMStorage** file, const wchar_t* folderPath, int descend, IWMDMStorage* start);

// The album "<title>.alb" in the player's folder (made, with the folder, when missing; its cover
// art and the source's attributes as its metadata): the existing album when there is one. Null
// when the device keeps no albums, the title or cover is empty, the cover cannot be read or the
// album cannot be made. Sets the player's albumReady. The caller releases the album.
IWMDMStorage* CreateAlbumOnDevice(PlayerRecord* player, IWMDMDevice* device, const CString& title,
                                  const CString& coverPath, const CString& folderPath, const CString& sourcePath);

// "1 KB" for a file of up to 1 KB, "1,024 KB" for 1 MiB, "1,234,567 KB" for 1234567 KiB.
// Below 1 KB: "1 KB", or "0 KB" without atLeastOne.
CString FormatStorageSize(ULONGLONG bytes, bool atLeastOne = true);
