// Resource ids the shared Search page uses: each wizard's Search dialog and texts carry them.
#pragma once

#define IDR_SEARCH_ANIMATION 1002
#define IDC_SEARCH_MESSAGE 1002
#define IDC_SEARCH_ANIMATION 1003
#define IDS_NO_DEVICES_FOUND 8001
