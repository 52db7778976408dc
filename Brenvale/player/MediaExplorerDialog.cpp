#include "MediaExplorerDialog.h"

CWnd* OpenMediaExplorer(CMediaObject*, CSourceObject*, const CString&, CWnd*)
{
    return nullptr;
}
