// The Get Media dialog's name for a new title's own folder, without the dialog (the
// download folder itself is checked by DownloadFolderCheck.h).
#pragma once

#include "BrenvaleDoc.h"

// The name of the title's folder in downloadFolder, made from its display title without
// subtitle: control characters and the characters : * ? < > | / \ " dropped, cut to 50
// characters (then at the last blank), trailing blanks and dots removed, a device name of
// Windows given a "_" (SafeFileNameComponent), and unique among the library's folders there.
// A title that leaves nothing takes its media id the same way, else "Title".
CString MakeTitleFolderName(CBrenvaleDoc& library, const CString& downloadFolder, const CMediaObject& title);
