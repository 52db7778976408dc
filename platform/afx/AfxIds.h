// Ids the class library itself uses: string-table ids it reads and the commands it handles. Every program's string table holds
// its own texts under them (resource scripts include this header as well).
#pragma once

// The program's title: the application's name and the caption of its message boxes.
#define AFX_IDS_APP_TITLE 57344

// The Help command: Help buttons of dialogs and sheets, F1 in frames.
#define ID_HELP 57670
