// The device wizard's help topics: the pages of Carrowind.chm its windows open.
#pragma once

inline constexpr const wchar_t* kWelcomeHelpTopic = L"QuillmereWizardWelcome.txt";
inline constexpr const wchar_t* kSearchHelpTopic = L"QuillmereWizardSearch.txt";
inline constexpr const wchar_t* kConfirmHelpTopic = L"QuillmereWizardConfirm.txt";
inline constexpr const wchar_t* kProgressHelpTopic = L"QuillmereWizardProgress.txt";
inline constexpr const wchar_t* kSuccessHelpTopic = L"QuillmereWizardSuccess.txt";
inline constexpr const wchar_t* kAboutHelpTopic = L"AboutDialog.txt";
inline constexpr const wchar_t* kWizardHelpTopic = L"Wizard.txt";
inline constexpr const wchar_t* kBrowseFolderHelpTopic = L"BrowseFolderDialog.txt";
inline constexpr const wchar_t* kAdvancedOptionsHelpTopic = L"AdvancedOptions.txt";
inline constexpr const wchar_t* kSettingsHelpTopic = L"QuillmereWizardSettings.txt";
inline constexpr const wchar_t* kBrowseiPodHelpTopic = L"BrowseiPod.txt";
