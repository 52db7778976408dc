// The help topics the console's windows open in its HTML help file (Larkmoor.chm beside
// the program): each a page named after its window. A window's WM_HELP handler passes
// its topic to ShowHelpTopic, which opens "<help file>::/<topic>".
//
//     ShowHelpTopic(helpInfo, kHelpTopicOptionsDialog);
//
// Brenvale/help holds the pages; the build checks that every topic listed in
// kHelpTopics is in the compiled file.
#pragma once

inline constexpr wchar_t kHelpTopicAboutDialog[] = L"AboutDialog.txt";
inline constexpr wchar_t kHelpTopicAuthenticationRequired[] = L"AuthenticationRequired.txt";
inline constexpr wchar_t kHelpTopicDownloadPartsDialog[] = L"DownloadPartsDialog.txt";
inline constexpr wchar_t kHelpTopicGetMediaDialog[] = L"GetMediaDialog.txt";
inline constexpr wchar_t kHelpTopicPropertiesDialog[] = L"PropertiesDialog.txt";
inline constexpr wchar_t kHelpTopicPropertiesDialogGeneral[] = L"PropertiesDialog-General.txt";
inline constexpr wchar_t kHelpTopicPropertiesDialogDescription[] = L"PropertiesDialog-Description.txt";
inline constexpr wchar_t kHelpTopicPropertiesDialogSource[] = L"PropertiesDialog-Source.txt";
inline constexpr wchar_t kHelpTopicOptionsDialog[] = L"OptionsDialog.txt";
inline constexpr wchar_t kHelpTopicMediaExplorerDialog[] = L"MediaExplorerDialog.txt";
inline constexpr wchar_t kHelpTopicDefineBookmarkDialog[] = L"DefineBookmarkDialog.txt";
inline constexpr wchar_t kHelpTopicManageBookmarksDialog[] = L"ManageBookmarksDialog.txt";

// Every topic above, for checks of the help file.
inline constexpr const wchar_t* kHelpTopics[] = {
    kHelpTopicAboutDialog,
    kHelpTopicAuthenticationRequired,
    kHelpTopicDownloadPartsDialog,
    kHelpTopicGetMediaDialog,
    kHelpTopicPropertiesDialog,
    kHelpTopicPropertiesDialogGeneral,
    kHelpTopicPropertiesDialogDescription,
    kHelpTopicPropertiesDialogSource,
    kHelpTopicOptionsDialog,
    kHelpTopicMediaExplorerDialog,
    kHelpTopicDefineBookmarkDialog,
    kHelpTopicManageBookmarksDialog,
};
