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

// Releases an interface the caller holds and clears the pointer; nothing for a null one.
template <class T>
void ReleaseAndClear(T*& pointer)
{
    if (pointer) {
        pointer->Release();
        pointer = nullptr;
    }
}

// The device's first storage (the caller releases it), or null; hr (when asked) receives the
// enumeration's failure, or E_FAIL when it listed none.
IWMDMStorage* GetFirstWmdmStorage(IWMDMDevice* device, HRESULT* hr = nullptr);

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

// Storage operations: 0, ERROR_CANNOT_MAKE (82) for a null storage, one without storage control
// or a failed call, ERROR_FILENAME_EXCED_RANGE (206) for a name longer than MAX_PATH (the
// device is not asked). CreateWmdmFolder gives the new folder back when asked (the caller
// releases it).
DWORD CreateWmdmFolder(IWMDMStorage* storage, const wchar_t* name, IWMDMProgress* progress,
                       IWMDMStorage** created = nullptr);
DWORD RenameWmdmStorage(IWMDMStorage* storage, const wchar_t* newName);
DWORD ReadWmdmStorage(IWMDMStorage* storage, const wchar_t* localPath, BOOL isFolder);

// Inserts a local file into the folder under a name of its own, with the file's attributes and
// its format code as metadata (block, protected, overwriting an item of that name); the new
// storage when asked. E_POINTER for a null storage; else the first failure or Insert3's result.
HRESULT InsertWmdmFile(IWMDMStorage* folder, const wchar_t* sourceFile, const wchar_t* destinationName,
                       IWMDMProgress* progress, IWMDMStorage** created);

// TRUE when the code is in the device's "WMDM/FormatsSupported" list. With verbose the whole
// list is described in report (and shown when no report is asked for).
BOOL IsFormatSupportedByDevice(IWMDMDevice* device, DWORD formatCode, BOOL verbose, CString* report = nullptr);

// Adds the storages to what the album (or any storage) refers to already; FALSE for none given
// or a failed call.
BOOL AppendWmdmReferences(IWMDMStorage* storage, DWORD count, IWMDMStorage** storages);

// The GDI+ encoder for a device image format code (EXIF, BMP, GIF, JPEG, PNG, TIFF);
// HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS) for any other code or when none is installed. GDI+
// must be started.
HRESULT GetImageEncoderForFormat(DWORD formatCode, CLSID* encoder);

// Adds an image file as album art: "WMDM/AlbumCoverData" (the image encoded in formatCode),
// "WMDM/AlbumCoverFormat", "WMDM/AlbumCoverWidth" and "WMDM/AlbumCoverHeight". A missing or
// empty file adds nothing and is S_FALSE; the first failure otherwise. Starts GDI+ for itself.
HRESULT LoadAlbumCoverMetadata(IWMDMMetaData* metadata, const wchar_t* imagePath, DWORD formatCode);

// The album's name, its cover file and the cover's format code.
struct AlbumTextPair {
    AlbumTextPair(const wchar_t* first = nullptr, const wchar_t* second = nullptr, DWORD number = 0);
    wchar_t name[MAX_PATH + 1] = {};
    wchar_t cover[MAX_PATH + 1] = {};
    DWORD formatCode = 0;
};
