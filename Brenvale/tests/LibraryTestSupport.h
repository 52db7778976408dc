// Helpers for the tests of the console's library: archive bytes written by hand from
// the stored layout, sample titles and pictures, and checks of written XML by Python's
// parser.
#pragma once

#include "BrenvaleDoc.h"
#include "TitleDescription.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace librarytest {

// Builds archive bytes field by field, little-endian, as the stored layout gives them.
class ArchiveBytes {
public:
    ArchiveBytes& Word(WORD value);
    ArchiveBytes& Long(LONG value);
    ArchiveBytes& Double(double value);
    // The Unicode text form: FF FE FF, the length, UTF-16 characters.
    ArchiveBytes& Text(const std::wstring& text);
    // A date: its status and its value.
    ArchiveBytes& Date(LONG status, double value);
    // The tag of an object whose class is new in the archive: FFFF, schema 0, the name.
    ArchiveBytes& NewClass(const char* name);
    // The tag of an object of a class written before (by its index).
    ArchiveBytes& OldClass(WORD classIndex);
    ArchiveBytes& Count(WORD count) { return Word(count); }
    const std::vector<BYTE>& Data() const { return m_data; }
    size_t Size() const { return m_data.size(); }

private:
    std::vector<BYTE> m_data;
};

// Fills in the fields of the library that the archive holds, for comparing two libraries.
std::string Describe(const CBrenvaleDoc& library);
std::string Describe(const CMediaObject& title);

// A title with metadata, a creator, a subject, a language, a protocol and parts.
CMediaObject* MakeTitle(const wchar_t* id, const wchar_t* sourceId, int parts = 2);
CSourceObject* MakeSource(const wchar_t* id, const wchar_t* name);
CCollectionObject* MakeCollection(const wchar_t* name, std::initializer_list<const wchar_t*> members);

// Writes a grey picture as a 24-bit BMP file.
void WriteBitmap(const CString& path, int width, int height);

// Reads a text file in the encoding of its byte-order mark (UTF-16LE, UTF-8, else ANSI).
CString ReadTextFile(const CString& path);


// Runs Python's XML parser over a file; the expectations are lines of
// "path<TAB>attribute<TAB>value" (see check_xml.py). Returns the exit status.
int CheckXmlWithPython(const CString& file, const std::wstring& expectations, const CString& scratch);

// A library document that looks for its files in a given folder (message boxes are
// answered by a testsupport::MessageBoxRecorder of the test's own).
class TestLibrary : public CBrenvaleDoc {
public:
    explicit TestLibrary(const CString& dataFolder) { SetDataFolder(dataFolder); }

    // When set, loads and saves go through a file of this kind (made unopened) instead
    // of a plain CFile.
    std::function<CFile*()> makeFile;
    CFile* GetFile(const wchar_t* path, UINT flags, CFileException* error) override;
};

}  // namespace librarytest
