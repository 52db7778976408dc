// String-table id of the console's data folder name, which the console and the device
// wizard both carry.
#pragma once

#define IDS_DATA_FOLDER_FORMAT 2102
