// Header attributes of Windows Media and MP3 files through the metadata editor, and the
// device format code of a file by its extension.
#pragma once

#include "WmFormat.h"

// Reads one file-level attribute. A text attribute (WMT_TYPE_STRING) is returned in a new
// buffer stored in *value, which the caller frees with delete[]. Any other attribute is copied
// into the caller's storage at *value, whose size in bytes the caller passes in *length; an
// attribute larger than that storage is not copied (WM_E_BUFFER_TOO_SMALL). On success
// *length is the value's length in bytes and *type (when given) its type.
HRESULT ReadWmAttribute(IWMHeaderInfo* header, const wchar_t* name, BYTE** value, WORD* length,
                        WMT_ATTR_DATATYPE* type = nullptr);

// The same for a file: opens it with the metadata editor, reads, closes.
HRESULT ReadWmFileAttribute(const wchar_t* path, const wchar_t* name, BYTE** value, WORD* length,
                            WMT_ATTR_DATATYPE* type = nullptr);
// Opens a file with the metadata editor, hands its header to read (with context), closes it;
// the first failure.
HRESULT ReadWmFileHeader(const wchar_t* path, HRESULT (*read)(IWMHeaderInfo* header, void* context), void* context);
// A numeric attribute of a file (DWORD, BOOL, WORD or QWORD) widened to 64 bits.
HRESULT ReadWmFileAttribute(const wchar_t* path, const wchar_t* name, WMT_ATTR_DATATYPE* type, QWORD* value);

// The device format code of a file by its extension; 0x3000 when it is not in the table.
DWORD GetFormatCodeForFile(const wchar_t* path);
