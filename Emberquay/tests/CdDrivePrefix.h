// A CD drive letter for a test: Wine types a drive "cdrom" only from its registry value and a
// dosdevices link read when its mount manager starts, so the test program runs itself again in
// a private prefix made for it, with the letter linked to an empty folder and typed "cdrom"
// (GetDriveType gives DRIVE_CDROM, QueryDosDevice "\Device\CdRom0").
//
//     TEST(Suite, Case) {
//         if (!cdprefix::InCdDrivePrefix()) {               // the outer run
//             EXPECT_EQ(0, cdprefix::RunInCdDrivePrefix("Suite.Case"));
//             return;
//         }
//         ...                                               // inside, with cdprefix::Letter()
//     }
#pragma once

#include <string>

namespace cdprefix {

// TRUE inside the private prefix.
bool InCdDrivePrefix();
// The CD drive's letter there ("Q:").
const char* Letter();
// Runs this test program's tests matching the filter in a new prefix with the CD drive; the
// program's exit code (0: they passed), -1 when the prefix could not be made. Its output goes
// to *output when given.
int RunInCdDrivePrefix(const std::string& gtestFilter, std::string* output = nullptr);

}  // namespace cdprefix
