// The CD wizard's help topics: the pages of Emberquay.chm its windows open.
#pragma once

inline constexpr const wchar_t* kWelcomeHelpTopic = L"EmberquayWelcome.txt";
inline constexpr const wchar_t* kSearchHelpTopic = L"EmberquaySearch.txt";
inline constexpr const wchar_t* kConfirmHelpTopic = L"EmberquayConfirm.txt";
inline constexpr const wchar_t* kProgressHelpTopic = L"EmberquayProgress.txt";
inline constexpr const wchar_t* kSuccessHelpTopic = L"EmberquaySuccess.txt";
inline constexpr const wchar_t* kAboutHelpTopic = L"AboutDialog.txt";
inline constexpr const wchar_t* kOptionsHelpTopic = L"BurnOptionsDialog.txt";
inline constexpr const wchar_t* kTracksHelpTopic = L"ShowMarkerDialog.txt";
inline constexpr const wchar_t* kWizardHelpTopic = L"Wizard.txt";  // the wizard buttons, the shared sheet's
