// Resource ids of the web browser dialog.
#pragma once

#define IDD_WEB_BROWSER 213
#define IDC_BROWSER_MESSAGE 1957
// The placeholder the browser control replaces.
#define IDC_BROWSER 1956
