// The console's data folder (its library MediaDB.dat, thumbnails, covers and banners),
// computed the same way by the console and the device wizard.
#pragma once

#include "afx.h"

// "<application data>\Vesperlin\Brenvale" (IDS_DATA_FOLDER_FORMAT): under the user's roaming
// application-data folder, created there when missing; only when it cannot be created
// there, the same name under the local application-data folder (not created).
CString GetConsoleDataFolder();
