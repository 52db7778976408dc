// String-table ids that the class library itself reads. Every program's string table holds
// its own texts under them (resource scripts include this header as well).
#pragma once

// The program's title: the application's name and the caption of its message boxes.
#define AFX_IDS_APP_TITLE 57344
