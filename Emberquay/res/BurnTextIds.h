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
