// Ids of the test templates of the hosted-control tests.
#pragma once

#define IDD_TEST_PLAYER 900
#define IDC_TEST_PLAYER 1700
#define IDC_TEST_LIST 1301
