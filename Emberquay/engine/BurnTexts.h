// The texts the burn thread and the burn engine show or leave for the Progress page.
#pragma once

namespace burntext {

inline constexpr wchar_t kUnableTo[] = L"Unable to %s.\n%s";  // 5001
inline constexpr wchar_t kNoMedia[] = L"No recordable CD media could be found.";  // 9032
inline constexpr wchar_t kInsertBlank[] =  // 9045
    L"%s\nPlease make sure a blank recordable CD is properly inserted into the selected recordable CD drive \"%s\".";
inline constexpr wchar_t kInsufficientSpace[] = L"there is insufficient free space for the content.";  // 9047
inline constexpr wchar_t kNothingProcessed[] = L"No files has been processed.\n\nDo you want to try again?";  // 9048
inline constexpr wchar_t kNextDisc[] =  // 9049
    L"The burning of CD %d of %d has completed.  Please insert another blank recordable CD into the selected "
    L"recordable CD drive on this computer to continue with the burning of CD %d.";
inline constexpr wchar_t kNotReady[] =  // 9050
    L"The selected recordable CD drive is not ready.\n%s\n\nYou may want to check the recordable CD drive and make "
    L"sure that a recordable CD is inserted and that the drive door is closed.";
inline constexpr wchar_t kNextTestDisc[] =  // 9064
    L"Emberquay has completed the burning of CD %d of %d in Test mode.  Please insert another blank recordable CD "
    L"(or close the recordable CD drive) to complete a Test mode burn for CD %d.";
inline constexpr wchar_t kTestDone[] =  // 9067
    L"The Emberquay has completed burning in Test mode without errors.  Click 'OK' to close this window.  If you want "
    L"to burn content to CD, at the 'Options' window uncheck option 'Test mode (simulate burning)' and follow the "
    L"steps as presented by this Emberquay.";
inline constexpr wchar_t kPowerCalibration[] =  // 9075
    L"Power Calibration error.\nError details: %s\n\nWarning: Emberquay has detected that the burn environment is "
    L"not optimal and that this burn may fail.  You may want to insert a different brand of recordable CD and/or "
    L"lower the burn speed (via 'Options').  If you take these steps and still receive this warning, please check "
    L"the website of the manufacturer of your recordable CD drive to see if there is a driver update available.  "
    L"Installing the latest driver may resolve the issue.\n\nDo you want to cancel this attempt to make the "
    L"recommended adjustments?\n\nSelect \"Yes\" to cancel this attempt.\nSelect \"No\" to ignore this warning and "
    L"attempt this burn.";
inline constexpr wchar_t kTrackFailed[] =  // 9076
    L"Unable to %s.\n%s\n\nThe CD burn attempt has failed, possibly because the burn environment is not optimal.  "
    L"You may want to insert a different brand of recordable CD and/or lower the burn speed (via 'Options') and try "
    L"the burn again.  If you take these steps and still receive this error, please check the website of the "
    L"manufacturer of your recordable CD drive to see if there is a driver update available.  Installing the latest "
    L"driver may resolve the issue.";
inline constexpr wchar_t kNo44kFormat[] = L"No 44 kHz output format available for burning to CD";

}  // namespace burntext
