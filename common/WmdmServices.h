// Small services over the device manager that the device wizard's Parts share: comparing a
// device's serial number, finding a storage's child by name, a storage's name, deleting a
// storage with what it holds, and filling a metadata object from a Windows Media file.
//
//     IWMDMStorage* books = nullptr;
//     if (FindWmdmChildStorage(L"Books", root, &books) == S_OK) {
//         DWORD attributes = 0;
//         CString name = GetWmdmStorageName(books, &attributes);
//         books->Release();
//     }
#pragma once

#include "CString.h"
#include "Wmdm.h"

// TRUE when the device's serial number has the same vendor id, length and bytes (up to 128) as
// the stored one; FALSE when it differs or cannot be read.
BOOL MatchDeviceSerialNumber(IWMDMDevice* device, const WMDMID& stored);

// The child of parent whose name (260 characters at most) equals name without regard to case:
// S_OK with *child set (the caller releases it); S_FALSE with *child null when there is none;
// E_POINTER for a null parent; the enumeration's failure, with *child untouched, when the
// parent cannot be enumerated.
HRESULT FindWmdmChildStorage(const wchar_t* name, IWMDMStorage* parent, IWMDMStorage** child);

// The storage's name (260 characters at most) and, when asked and the storage tells, its
// attribute word; an empty text for a null storage.
CString GetWmdmStorageName(IWMDMStorage* storage, DWORD* attributes = nullptr);

// Deletes the storage with all it holds (block and recursive modes, no progress object): 0, or
// 82 (ERROR_CANNOT_MAKE) for a null storage, one without storage control, or a failed call.
DWORD DeleteWmdmStorage(IWMDMStorage* storage);

// Reads Title, Author, WM/AlbumTitle, WM/Genre, WM/Year, Is_Protected, Bitrate, WM/Track and
// Duration of a Windows Media (or MP3) file and adds each one found to the metadata object
// under its device-manager name ("WMDM/Title" and so on); S_OK, or the failing HRESULT. The
// flags are the callers' (0 or 1) and change nothing.
HRESULT ReadWmAttributes(const wchar_t* sourceFile, IWMDMMetaData* metadata, DWORD flags);
