// Resource, control, command and string ids of the player window ("Vesperlin Media
// Explorer") and its panes.
#pragma once

#define IDD_MEDIA_EXPLORER 206

// Menus (each a menu with one pop-up) and the window's keys.
#define IDR_PLAY_SPEED_MENU 106
#define IDR_VIDEO_SIZE_MENU 107
#define IDR_BOOKMARKS_MENU 108
#define IDR_PLAYER_KEYS 109
#define IDR_SKIP_TO_MENU 110

// Pictures: the banner's stand-in, the cover's stand-in, the buttons' strip (34 pictures
// of 31 x 30 on magenta).
#define IDB_NO_COVER 306
#define IDB_PLAYER_BUTTONS 309

// Controls.
#define IDC_PARTS_LIST 1301
#define IDC_PLAYER_CONTROL 1700
#define IDC_MARKERS_LIST 1701
#define IDC_PLAY 1702
#define IDC_MUTE 1703
#define IDC_STOP 1704
#define IDC_PREVIOUS_PART 1705
#define IDC_PREVIOUS_MARKER 1706
#define IDC_NEXT_MARKER 1707
#define IDC_NEXT_PART 1708
#define IDC_PLAY_SPEED 1709
#define IDC_VIDEO_SIZE 1710
#define IDC_SKIP_BACK 1711
#define IDC_SKIP_TO 1712
#define IDC_BOOKMARKS 1713
#define IDC_OPEN_IN_PLAYER 1714
#define IDC_VOLUME_SLIDER 1715
#define IDC_POSITION_SLIDER 1716
#define IDC_ELAPSED_TIME 1717
#define IDC_VOLUME_UP 1718
#define IDC_VOLUME_DOWN 1719
#define IDC_REMAINING_TIME 1720

// Commands of the menus.
#define ID_SKIP_TO_RECENT 33450
#define ID_SKIP_TO_FURTHEST 33451
#define ID_SPEED_SLOW 33500
#define ID_SPEED_NORMAL 33501
#define ID_SPEED_FAST 33502
#define ID_SPEED_FASTER 33503
#define ID_SPEED_DOUBLE 33504
#define ID_SPEED_FAST_FORWARD 33505
#define ID_VIDEO_SMALL 33550
#define ID_VIDEO_NORMAL 33551
#define ID_VIDEO_LARGE 33552
#define ID_VIDEO_FULL_SCREEN 33553
#define ID_ADD_BOOKMARK 33600
#define ID_MANAGE_BOOKMARKS 33601
#define ID_BOOKMARK_FIRST 35000
#define ID_BOOKMARK_LAST 35100

// Strings.
#define IDS_PARTS_COLUMN 2007
#define IDS_MARKERS_COLUMN 2008
#define IDS_PLAY 2009
#define IDS_PAUSE 2010
#define IDS_MUTE 2011
#define IDS_SOUND 2012
#define IDS_POSITION_SLIDER 2013
#define IDS_VOLUME_SLIDER 2014
#define IDS_SPEED_NOT_AVAILABLE 4048
#define IDS_SCREEN_TOO_SMALL 4050
#define IDS_VIDEO_SIZE_TOO_LARGE 4051
#define IDS_NO_SOUND_OUTPUT 4057
