// String-table ids of the class-library tests.
#pragma once

#define IDS_TEST_FORMAT 100
#define IDS_TEST_WIDE 101
