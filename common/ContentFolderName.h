// The folder name of a content kind, as the device wizard and the console name their
// per-kind folders.
#pragma once

#include "afx.h"

// Every "Audiobook" becomes "Audiobooks", then every "Video" becomes "Videos" (exact case);
// other texts come back unchanged: "MP3 Audiobook" gives "MP3 Audiobooks".
CString PluralizeFolderName(const CString& name);
