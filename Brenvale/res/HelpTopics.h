// The console's help topics: the page of the help file each window opens.
#pragma once

constexpr const wchar_t* kHelpTopicAboutDialog = L"AboutDialog.txt";
constexpr const wchar_t* kHelpTopicOptionsDialog = L"OptionsDialog.txt";
constexpr const wchar_t* kHelpTopicDownloadPartsDialog = L"DownloadPartsDialog.txt";
constexpr const wchar_t* kHelpTopicAuthenticationRequired = L"AuthenticationRequired.txt";
constexpr const wchar_t* kHelpTopicPropertiesDialog = L"PropertiesDialog.txt";
constexpr const wchar_t* kHelpTopicPropertiesDialogGeneral = L"PropertiesDialog-General.txt";
constexpr const wchar_t* kHelpTopicPropertiesDialogSource = L"PropertiesDialog-Source.txt";
constexpr const wchar_t* kHelpTopicPropertiesDialogDescription = L"PropertiesDialog-Description.txt";
