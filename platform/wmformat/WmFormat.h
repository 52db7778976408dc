// The Windows Media metadata editor as the programs call it: WMCreateEditor, the editor and
// header-info interfaces, the user-text value and the result codes. mingw-w64's wmsdkidl.h
// supplies most interfaces; what it lacks is declared here.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <wmsdkidl.h>

// The second editor interface: opens a file with explicit access and share modes.
struct IWMMetadataEditor2 : public IWMMetadataEditor {
    virtual HRESULT STDMETHODCALLTYPE OpenEx(const WCHAR* filename, DWORD desiredAccess, DWORD shareMode) = 0;
};
__CRT_UUID_DECL(IWMMetadataEditor2, 0x203cffe3, 0x2e18, 0x4fdf, 0xb5, 0x9d, 0x6e, 0x71, 0x53, 0x05, 0x34, 0xcf)

// Value of a "WM/Text" attribute (WMT_TYPE_BINARY): a description and a text. The pointers
// refer into the same value buffer when the header hands the value out.
struct WM_USER_TEXT {
    LPWSTR pwszDescription;
    LPWSTR pwszText;
};

// Result codes of the metadata editor.
#ifndef NS_E_INVALID_REQUEST
#define NS_E_INVALID_REQUEST ((HRESULT)0xC00D002BL)
#endif
// No such attribute, marker or index (also what a caller sees for a missing attribute).
#define WM_E_NOT_FOUND ((HRESULT)0xC00D07F0L)
// The caller's buffer cannot hold the value.
#define WM_E_BUFFER_TOO_SMALL ((HRESULT)0xC00D0BD4L)
// The file is not a media file the editor understands, or its header is damaged.
#define WM_E_INVALID_FILE ((HRESULT)0xC00D002FL)

// Attribute names the suite uses.
#define WM_ATTR_TITLE L"Title"
#define WM_ATTR_AUTHOR L"Author"
#define WM_ATTR_ALBUM_TITLE L"WM/AlbumTitle"
#define WM_ATTR_GENRE L"WM/Genre"
#define WM_ATTR_YEAR L"WM/Year"
#define WM_ATTR_TRACK L"WM/Track"
#define WM_ATTR_TRACK_NUMBER L"WM/TrackNumber"
#define WM_ATTR_DURATION L"Duration"
#define WM_ATTR_FILE_SIZE L"FileSize"
#define WM_ATTR_BITRATE L"Bitrate"
#define WM_ATTR_IS_PROTECTED L"Is_Protected"
#define WM_ATTR_USER_TEXT L"WM/Text"

// The editor as the programs get it: the Windows Media runtime's when it is installed and
// works, else this layer's own.
extern "C" HRESULT WINAPI WMCreateEditor(IWMMetadataEditor** editor);

namespace wmformat {

// This layer's own editor, whatever the runtime offers.
HRESULT CreateOwnEditor(IWMMetadataEditor** editor);

}  // namespace wmformat
