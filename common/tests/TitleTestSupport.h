// Helpers for tests of titles: reading order files and describing a title as text,
// so two titles can be compared field by field.
#pragma once

#include "MediaObject.h"
#include "TitleDescription.h"

#include <string>
#include <vector>

namespace titletest {

// Reads a whole UTF-8 file into text.
CString ReadUtf8File(const CString& path);
// The archive bytes of one object written through the archive's object writer.
std::vector<BYTE> StoreObject(const CObject& object);

// Every field of a title (and its elements) as one text, a line each.
std::string Describe(const CMediaObject& title);

}  // namespace titletest
