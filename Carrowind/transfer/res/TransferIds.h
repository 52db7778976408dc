// String-table ids of the texts the device wizard's workers store in their jobs.
#pragma once

#define IDS_TRANSFER_UNABLE_TO 5001
#define IDS_TRANSFER_PATH_MISSING 5006
