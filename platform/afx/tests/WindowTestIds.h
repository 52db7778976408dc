// Resource ids of the window tests.
#pragma once

#define IDD_TEST_DIALOG 100
#define IDD_WIZARD_PAGE1 101
#define IDD_WIZARD_PAGE2 102
#define IDD_WIZARD_PAGE3 103
#define IDR_TEST_ACCELERATORS 110

#define IDC_NAME 1001
#define IDC_AGREE 1002
#define IDC_RADIO_A 1003
#define IDC_RADIO_B 1004
#define IDC_RADIO_C 1005
#define IDC_COUNT 1006
#define IDC_END_THREE 1007
#define IDC_PAGE_TEXT 1010

#define ID_TEST_ACCELERATOR 40001
