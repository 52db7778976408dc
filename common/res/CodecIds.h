// String-table ids of the codec functions' messages.
#pragma once

#define IDS_CODEC_NO_PROVIDER 4401
#define IDS_CODEC_NO_HASH 4402
#define IDS_CODEC_HASH_FAILED 4403
#define IDS_CODEC_NO_HASH_VALUE 4404
