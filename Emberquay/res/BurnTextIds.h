// Texts of the burn thread and the burn engine (string table of res/BurnTexts.rc, which the
// program and the engine's tests link).
#pragma once

#define IDS_UNABLE_TO 5001
#define IDS_NO_MEDIA 9032
#define IDS_INSERT_BLANK 9045
#define IDS_INSUFFICIENT_SPACE 9047
#define IDS_NOTHING_PROCESSED 9048
#define IDS_NEXT_DISC 9049
#define IDS_NOT_READY 9050
#define IDS_NEXT_TEST_DISC 9064
#define IDS_TEST_DONE 9067
#define IDS_POWER_CALIBRATION 9075
#define IDS_TRACK_FAILED 9076
#define IDS_NO_CD_AUDIO_FORMAT 9090
#define IDS_DISC_NOT_BLANK 9091
#define IDS_PART_NOT_BURNED 9092
#define IDS_PART_ENDS_EARLY 9093
#define IDS_TRACK_PAST_END 9094
#define IDS_WRITE_STEP 9095
#define IDS_TEMP_FOLDER_IS_FILE 9096
#define IDS_TEMP_FOLDER_MISSING 9097
#define IDS_TEMP_FOLDER_STEP 9098
