// A title as the media service would deliver it, for the download road's tests: three real
// parts (made by ffmpeg) and a picture in a folder that a loopback server serves under
// "/root", and the order file that names them there.
#pragma once

#include "HttpTestServer.h"

#include <string>
#include <vector>

class ServedTitle {
public:
    static constexpr int kParts = 3;

    // Makes the parts and the picture in the folder; false when a tool failed.
    bool Make(const CString& folder);
    // "road-part<n>.mp3" (n from 1).
    static CString PartName(int n);
    // The file name the order file gives part n: PartName(n), or m_firstPartName for part 1
    // when set (a name with blanks or accents, as shops name parts).
    CString FileNameOf(int n) const { return n == 1 && !m_firstPartName.IsEmpty() ? m_firstPartName : PartName(n); }
    CString PartPath(int n) const { return m_folder + L"\\" + FileNameOf(n); }
    // Writes the order file (UTF-8 without a mark, with a declaration and a document type) for
    // the server that serves the folder: the parts under "<server>/root", the picture as the
    // title's thumbnail and the source's banner, the licence "road-licence".
    void WriteOrderFile(const CString& path, const HttpTestServer& server, const wchar_t* id,
                        const wchar_t* titleText) const;

    CString m_folder;
    CString m_firstPartName;
    // When set, the place the order file gives for the parts instead of "<server>/root", and
    // the size it gives part n (from 1) instead of the file's.
    CString m_partsUrl;
    std::vector<LONGLONG> m_announcedSizes;
};
