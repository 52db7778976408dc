// A title as the wizards read it from the two files the console leaves in the title's folder:
// the playlist (an ASX ".wax" file that names the part files) and the media order file with
// the same name and ".vpm" beside it, which adds the title text, pictures and the source.
//
//     CMediaObject title;  CSourceObject source;  TitleFileReading reading;
//     if (!LoadTitleFiles(L"C:\\M\\Book\\Book.wax", L"MP3 Audiobook", title, source, reading))
//         return;  // the user was told why
//
// Each entry's reference is trimmed and XML-decoded as the console writes it; a relative path
// is taken from the playlist's folder, and a path with a ".." step is refused. A part is named
// and numbered by the "-PartNN" before its extension; its duration and size come from the file
// when it exists (rounded to the nearest second).
#pragma once

#include "MediaObject.h"

struct TitleFileReading {
    CString artist;             // in: the default ("Unknown Artist"); out: the first part's author when it has one
    CString firstPartFileName;  // out: the order file's first part file name
    CString imagePath;          // out: the title's picture beside the playlist, when there is one
    CString coverPath;          // out: the picture's cover ("-Cover" before the extension)
};

// The duration text a part shows ("m:ss") for a length in 100-nanosecond units, rounded to
// the nearest second, as order files give it (44.999 s is "0:45"); the one text every page shows.
CString PartDurationText(ULONGLONG hundredNanoseconds);

// FALSE after the reason was shown (through the message-box funnel).
BOOL LoadTitleFiles(const CString& playlistPath, const CString& contentType, CMediaObject& title, CSourceObject& source,
                    TitleFileReading& reading);

// The playlist's parts into the title, from its parsed root. FALSE with a reason, or with an
// empty reason when the user was told already.
BOOL ParseWaxShortcut(const CXmlNode& root, const CString& contentType, const CString& playlistPath,
                      CMediaObject& title, TitleFileReading& reading, CString& reason);

// The part path an entry's inner text names ("\r\n\t\t<ref href="C:\a&amp;b.mp3"/>" gives
// C:\a&b.mp3); relative paths are taken from the folder given.
CString PartPathOfEntry(const CString& innerText, const CString& folder);
// TRUE when a path has a ".." step.
bool PathLeavesFolder(const CString& path);
// The part's name and number from its path: "Book-Part03.mp3" gives "Part 3" and 3; without a
// "-Name" piece, "Part <number>" with the number given.
void NamePartFromPath(const CString& path, int& number, CString& name);

// The order file's text beside the playlist, without its XML and DOCTYPE declarations; empty
// when it cannot be read.
CString ReadOrderFileText(const CString& playlistPath);
