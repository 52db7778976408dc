// String-table ids of the part download thread's messages.
#pragma once

#define IDS_DOWNLOAD_BAD_URL 4100
#define IDS_DOWNLOAD_NO_SESSION 4101
#define IDS_DOWNLOAD_NO_CONNECTION 4102
#define IDS_DOWNLOAD_NO_REQUEST 4103
#define IDS_DOWNLOAD_BAD_STATUS 4104
#define IDS_DOWNLOAD_NOT_CONNECTED 4106
#define IDS_DOWNLOAD_NO_FOLDER 4107
#define IDS_DOWNLOAD_NO_LOCAL_FILE 4108
#define IDS_DOWNLOAD_CONNECTION_LOST 4109
#define IDS_DOWNLOAD_WRITE_FAILED 4110
// What happened, in the "(%s)" of a question, when the server gave no library error.
#define IDS_DOWNLOAD_TIMED_OUT 4111
#define IDS_DOWNLOAD_NO_ANSWER 4112
// The response's Content-Length is no count of bytes, or it gives two different ones.
#define IDS_DOWNLOAD_BAD_LENGTH 4113

// The program's title (the download's user agent); every program's string table holds its
// own text under this id.
#include "AfxIds.h"
