// The console's player window ("Vesperlin Media Explorer"): one title of the library,
// played part by part. The frame's Play command opens it through OpenMediaExplorer.
#pragma once

#include "AfxWin.h"

class CMediaObject;
class CSourceObject;

// Creates the player window for a library title as a modeless window owned by parent.
// The title and the source are the library's records (borrowed); dataFolder is the
// console's data folder. Returns the window, or nullptr when it could not be opened.
CWnd* OpenMediaExplorer(CMediaObject* title, CSourceObject* source, const CString& dataFolder,
                        CWnd* parent);
