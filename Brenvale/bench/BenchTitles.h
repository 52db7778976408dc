// The titles of the benchmark libraries: title n of 5 parts, one author, one source, in
// the download folder, with the description.
#pragma once

#include "BrenvaleDoc.h"

CMediaObject* MakeBenchTitle(int n, const CString& downloadFolder, const CString& description);

// A cover picture as shops send them, a 150 x 200 JPEG, written with GDI+ (started by the
// caller); false when it cannot be written.
bool WriteBenchThumbnail(const CString& path);
