// String ids of the console's download road: the order-file hand-over, the connection probe,
// the download queue and the Play command.
#pragma once

// The probe's image on the service's image host.
#define IDS_PROBE_URL 2202

// Status line.
#define IDS_DOWNLOAD_PAUSED_TEXT 2005
#define IDS_DOWNLOADING_TEXT 2006

// The queue's question about a failed part.
#define IDS_ASK_RETRY_PART 4080
#define IDS_DOWNLOAD_PART_FAILED 4081
#define IDS_ASK_RETRY_OR_SKIP_PART 4082
#define IDS_ASK_SKIP_PART 4083

// The order file handed over.
#define IDS_ORDER_FILE_OPEN_FAILED 4084
#define IDS_ORDER_FILE_NOT_VALID 4086
#define IDS_ORDER_FILE_NO_SOURCE 4208

// The connection probe.
#define IDS_PROBE_FAILED 4350
#define IDS_PROBE_NO_SESSION 4351
#define IDS_PROBE_NO_CONNECTION 4352
#define IDS_PROBE_NO_REQUEST 4353
#define IDS_PROBE_NOT_CONNECTED 4354
#define IDS_PURPOSE_GET_MEDIA 4355
#define IDS_PURPOSE_CONTINUE 4358
