#include "ConfirmPage.h"

#include "AfxMessageBox.h"
#include "CarrowindSheet.h"
#include "ContentFolderName.h"
#include "MediaElements.h"
#include "PlayerRecord.h"
#include "WizardApp.h"
#include "WizardServices.h"
#include "WizardSettings.h"
#include "WmdmServices.h"
#include "ZuneClient.h"
#include "iTunesAutomation.h"
#include "res/AppleStringIds.h"
#include "res/CarrowindIds.h"
#include "res/ConfirmPageIds.h"
#include "res/DeviceStringIds.h"
#include "res/HelpTopics.h"
#include "res/ProgressPageIds.h"
#include "res/SettingsPageIds.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CConfirmPage, CWizardPage)

namespace {

constexpr DWORD kFormatWmv = 0xB981;
constexpr DWORD kWmdmFolderBit = 0x8;
constexpr DWORD kMobileFolderBit = FILE_ATTRIBUTE_DIRECTORY;

CString WithCommas(ULONGLONG value)
{
    CString digits;
    digits.Format(L"%I64u", value);
    for (int at = digits.GetLength() - 3; at > 0; at -= 3)
        digits.Insert(at, L",");
    return digits;
}

const wchar_t* YesNo(BOOL value) { return value ? L"Yes" : L"No"; }

ConfirmAppleServices& AppleServices()
{
    static ConfirmAppleServices services;
    return services;
}

BOOL LoadiTunes()
{
    IiTunes* iTunes = nullptr;
    if (FAILED(ConnectToiTunes(&iTunes, TRUE)) || !iTunes)
        return FALSE;
    HideiTunesWindow();
    iTunes->Release();
    return TRUE;
}

CString InstalledVersion()
{
    CString version;
    if (!IsLocalServerInstalled(kITunesApplicationClass, &version))
        return CString();
    return version.Left(128);
}

int ReadTessalineBitRate(DWORD* bitRate)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Vesperlin, Inc.\\Tessaline", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD value = 0, size = sizeof(value), type = 0;
    const LONG read = RegQueryValueExW(key, L"BitRate", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_DWORD)
        return 0;
    *bitRate = value;
    return 1;
}

void FindExistingPart(const CString& title, int number, const CString& playerName, BOOL audiobook,
                      CString* trackName, LONG* trackId)
{
    CiTunesHelper helper;
    helper.FindExistingParts(title, number, playerName, audiobook, trackName, trackId);
}

}  // namespace

ConfirmAppleServices SetConfirmAppleServices(ConfirmAppleServices services)
{
    ConfirmAppleServices before = AppleServices();
    AppleServices() = std::move(services);
    return before;
}

void CConfirmPage::ReadImportMode(const CString& installedVersion, int contentKind,
                                  const std::function<int(iTunesImportSettings*)>& readSettings,
                                  const std::function<int(DWORD*)>& readBitRate, int* mode,
                                  iTunesImportSettings* settings, std::vector<CString>* log)
{
    CString line;
    if (contentKind & (KindAudiobook | KindMusic)) {
        CString version = installedVersion;
        version.Trim();
        const int dot = version.Find(L'.');
        const CString majorText = dot >= 0 ? version.Left(dot) : version;
        const int major = majorText.IsEmpty() ? 12 : _wtoi(majorText);
        if (version.IsEmpty())
            version = L"Unknown";
        if (installedVersion.IsEmpty() || major >= 12) {
            *mode = iTunesImportState::kModeAsTheyAre;
            line.Format(L"Confirm: Skip Checking xPod iTunes=%s", version.GetString());
            log->push_back(line);
        } else {
            line.Format(L"Confirm: Checking xPod iTunes=%s", version.GetString());
            log->push_back(line);
            try {
                *mode = readSettings(settings);
            } catch (const CException& e) {
                line.Format(L"Confirm: Exception: %s", e.GetErrorMessage().GetString());
                log->push_back(line);
            }
            line.Format(L"Confirm: DoesXPodUseITunes=%d, Encoder=%s, AACEncoderSettings=%s (%d)", *mode,
                        settings->encoder.GetString(), settings->preset.GetString(),
                        static_cast<int>(settings->bitRate));
            log->push_back(line);
        }
    }
    // Without a rate from iTunes (not read, or an iTunes that keeps its settings elsewhere) the
    // estimate still needs one: the chapter server's.
    if (*mode == iTunesImportState::kModeNotRead || settings->bitRate == 0) {
        DWORD value = 0;
        const int read = readBitRate(&value);
        if (read > 0)
            settings->bitRate = value;
        else if (read == 0)
            settings->bitRate = 42;
        else if (settings->bitRate == 0)
            settings->bitRate = 64;
        if (contentKind == KindMusic)
            settings->bitRate *= 2;
        line.Format(L"Confirm: nUseITunes==0, Read HCU\\SOFTWARE\\Vesperlin, Inc.\\Tessaline dwBitRateVal=%d",
                    static_cast<int>(settings->bitRate));
        log->push_back(line);
    }
}

ULONGLONG CConfirmPage::EstimateAacBytes(LONGLONG fileSize, const CString& duration, DWORD bitRate)
{
    double estimate = static_cast<double>(std::max<LONGLONG>(fileSize, 0)) * 1.35;
    const int colon = duration.Find(L':');
    if (!duration.IsEmpty() && colon >= 0) {
        const long long seconds = _wtoi(duration.Left(colon)) * 60LL + _wtoi(duration.Mid(colon + 1));
        if (seconds + 1 > 0)
            estimate = static_cast<double>(bitRate) * static_cast<double>(seconds + 1) * 128.0;
    }
    return static_cast<ULONGLONG>(estimate);
}

UINT LockedApplePlayerTextId(const PlayerRecord& player)
{
    return player.isShuffle                 ? IDS_CONFIRM_SHUFFLE_NEEDS_ITUNES
           : player.iTunesSourceFlag == 1   ? IDS_CONFIRM_MANUALLY_MANAGE
                                            : IDS_CONFIRM_ITUNES_AND_MANUALLY_MANAGE;
}

BOOL CConfirmPage::CheckApplePlayer(PlayerRecord* player, int kind, const CString& incompatible)
{
    const ConfirmAppleServices& services = AppleServices();
    const BOOL running = services.iTunesRunning ? services.iTunesRunning() : IsiTunesRunning();
    if (!running) {
        Log(L"Confirm: Loading iTunes");
        if (!(services.loadiTunes ? services.loadiTunes() : LoadiTunes())) {
            Log(L"LoadiTunes=FALSE");
            return FALSE;
        }
        m_sheet->m_iTunesStarted = TRUE;
    }
    m_sheet->m_iTunesCompatible = services.checkVersion ? services.checkVersion() : CheckiTunesVersion();
    const BOOL shuffle = player->IsApple() >= static_cast<int>(kAppleIPodShuffle);
    CString line;
    line.Format(L"Confirm: bTransferShuffle=%s bIsShuffle=%s", YesNo(m_sheet->m_iTunesCompatible), YesNo(shuffle));
    Log(line);
    if (kind & (KindVideo | KindMobileVideo)) {
        Refuse(incompatible, MB_OK | MB_ICONSTOP);
        return FALSE;
    }
    iTunesImportState& state = TheiTunesImportState();
    m_iTunesSettings = iTunesImportSettings();
    std::vector<CString> lines;
    ReadImportMode(services.installedVersion ? services.installedVersion() : InstalledVersion(), kind,
                   services.readSettings ? services.readSettings
                                         : [](iTunesImportSettings* settings) { return ReadiTunesEncoderSettings(TRUE, settings); },
                   services.readBitRate ? services.readBitRate : ReadTessalineBitRate, &state.mode, &m_iTunesSettings,
                   &lines);
    for (const CString& text : lines)
        Log(text);
    // The settings the user has before anything changes them, kept for the reminder at the end.
    if (kind & (KindAudiobook | KindMusic))
        state.Remember(m_iTunesSettings);
    return TRUE;
}

CString CConfirmPage::FindPartsIniTunes(PlayerRecord* player, CString* hits)
{
    const ConfirmAppleServices& services = AppleServices();
    const auto find = services.findExistingPart ? services.findExistingPart : FindExistingPart;
    const CString library = AfxLoadString(IDS_ITUNES_LIBRARY_NAME);
    const CString& display = player->GetDisplayName();
    const CString own = ExtractParenthesized(display);
    const BOOL audiobook = (m_sheet->m_media.GetMetadata().GetContentKind() & (KindAudiobook | KindMp3Audiobook)) != 0;
    const CObArray& parts = m_sheet->m_media.m_parts;
    BOOL inLibrary = FALSE, onPlayer = FALSE;
    for (INT_PTR i = 0; i < m_sheet->m_selectedParts.GetSize(); ++i) {
        const auto* part = static_cast<const CPartObject*>(parts[m_sheet->m_selectedParts[i]]);
        CString name;
        LONG id = 0;
        if (!inLibrary && display.Find(library) >= 0) {
            find(m_sheet->m_baseFileName, part->m_number, library, audiobook, &name, &id);
            inLibrary = !name.IsEmpty();
        }
        if (name.IsEmpty() && own.CompareNoCase(library) != 0) {
            find(m_sheet->m_baseFileName, part->m_number, own, audiobook, &name, &id);
            onPlayer = onPlayer || !name.IsEmpty();
        }
        if (name.IsEmpty())
            continue;
        player->AddFormatCode(m_sheet->m_selectedParts[i]);
        CString hit;
        hit.Format(L"%s|%d", name.GetString(), part->m_number);
        *hits += (hits->IsEmpty() ? L"" : L"|") + hit;
    }
    if (inLibrary)
        return onPlayer ? display : library;
    if (!onPlayer)
        return CString();
    const int at = display.Find(library);
    if (at >= 0 && display.GetLength() - at - library.GetLength() > 5) {
        CString rest = display.Mid(at + library.GetLength() + 5);
        rest.Trim();
        return rest;
    }
    return display;
}

CConfirmPage::CConfirmPage(CWizardSheet* sheet) : CWizardPage(sheet, IDD_CONFIRM_PAGE), m_sheet(sheet)
{
    m_helpTopic = kConfirmHelpTopic;
}

CString CConfirmPage::FormatKilobytes(ULONGLONG bytes) { return WithCommas(bytes / 1024) + L" KB"; }

CString CConfirmPage::PartPathSuffix(const CString& path)
{
    const int dash = path.ReverseFind(L'-');
    if (dash >= 1)
        return path.Mid(dash);
    const int dot = path.ReverseFind(L'.');
    return dot >= 0 ? path.Mid(dot) : CString();
}

CString CConfirmPage::JoinPartPath(const CString& folder, const CString& baseName, const CString& suffix)
{
    CString path;
    if (folder.IsEmpty())
        path.Format(L"\\%s%s", baseName.GetString(), suffix.GetString());
    else if (folder.Right(1) == L"\\")
        path.Format(L"%s%s%s", folder.GetString(), baseName.GetString(), suffix.GetString());
    else
        path.Format(L"%s\\%s%s", folder.GetString(), baseName.GetString(), suffix.GetString());
    return path;
}

CString CConfirmPage::DefaultFolderFor(const CString& format, const CString& creator, const CString& titleFolder)
{
    if (format.CompareNoCase(L"wmv") == 0)
        return AfxLoadString(IDS_CONFIRM_VIDEO_FOLDER);
    if (format.CompareNoCase(L"wma") == 0 || format.CompareNoCase(L"mp3") == 0) {
        const CString music = AfxLoadString(IDS_CONFIRM_MUSIC_FOLDER);
        if (creator.IsEmpty() || titleFolder.IsEmpty())
            return music;
        CString folder;
        folder.Format(L"%s\\%s\\%s", music.GetString(), creator.GetString(), titleFolder.GetString());
        return folder;
    }
    return L"\\";
}

CString CConfirmPage::MobileFolderFor(const CString& kindName, const CString& baseName)
{
    CString folder;
    const CString media = AfxLoadString(IDS_CONFIRM_MY_MEDIA);
    if (kindName.IsEmpty())
        folder.Format(L"\\%s", media.GetString());
    else
        folder.Format(L"\\%s\\%s", media.GetString(), PluralizeFolderName(kindName).GetString());
    if (!baseName.IsEmpty())
        folder += L"\\" + baseName;
    return folder;
}

BOOL CConfirmPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    SetMarkupText(IDC_CONFIRM_ONE_PLAYER, L"Message1", this);
    SetMarkupText(IDC_CONFIRM_MANY_PLAYERS, L"Message2", this);
    SetMarkupText(IDC_CONFIRM_TITLE, L"Message1", this);
    SetMarkupText(IDC_CONFIRM_PROMPT, L"Prompt", this);
    SetMarkupText(IDC_CONFIRM_PLAYER_LABEL, L"DeviceLabel");
    SetMarkupText(IDC_CONFIRM_PARTS_LABEL, L"PartLabel");
    if (!m_sheet || m_sheet->m_media.m_parts.GetSize() == 0) {
        if (m_ownerSheet)
            m_ownerSheet->EndDialog(3);
        return FALSE;
    }
    m_parts.SubclassDlgItem(IDC_CONFIRM_PARTS, this);
    m_parts.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_parts.InsertColumn(0, L"Part", LVCFMT_LEFT, 80);
    m_parts.InsertColumn(1, L"Size", LVCFMT_RIGHT, 80);
    m_parts.InsertColumn(2, L"Duration", LVCFMT_RIGHT, 80);
    m_parts.InsertColumn(3, L"Path", LVCFMT_LEFT, 100);
    FillParts();
    m_strTitleFolder = m_sheet->m_media.m_titleFolder;
    m_strBaseName = m_sheet->m_baseFileName;
    return TRUE;
}

void CConfirmPage::FillParts()
{
    const CObArray& parts = m_sheet->m_media.m_parts;
    for (INT_PTR i = 0; i < parts.GetSize(); ++i) {
        const auto* part = static_cast<const CPartObject*>(parts[i]);
        if (!part) {
            m_ownerSheet->EndDialog(3);
            return;
        }
        const int row = m_parts.InsertItem(static_cast<int>(i), part->GetName());
        const CString format = part->m_fileName.Right(3);
        if (part->m_fileSize < 1) {
            m_parts.SetItemText(row, 1, L"-");
            m_parts.SetItemText(row, 3, L"-");
            m_parts.SetCheck(row, CCheckedListCtrl::kUncheckedDisabled);
        } else {
            m_parts.SetItemText(row, 1, FormatKilobytes(static_cast<ULONGLONG>(part->m_fileSize)));
            CString suffix;
            suffix.Format(L"-Part%.2d.%s", part->m_number, format.GetString());
            m_parts.SetItemText(row, 3, JoinPartPath(CString(), m_sheet->m_baseFileName, suffix));
            m_parts.SetCheck(row, CCheckedListCtrl::kChecked);
        }
        m_parts.SetItemText(row, 2, part->GetDuration());
        if (m_strFormat.IsEmpty() && !format.IsEmpty())
            m_strFormat = format;
    }
    m_parts.FitColumnsToContents();
}

BOOL CConfirmPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    if (!m_sheet || m_sheet->m_devices.GetSize() == 0) {
        if (m_ownerSheet)
            m_ownerSheet->EndDialog(3);
        return active;
    }
    FillPlayers();
    if (m_ownerSheet)
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_NEXT);
    return active;
}

LRESULT CConfirmPage::OnWizardBack() { return IDD_WELCOME_PAGE; }

BOOL CConfirmPage::OnCmdMsg(UINT id, UINT code)
{
    switch (id) {
    case IDC_CONFIRM_ADVANCED:
    case ID_CONFIRM_ADVANCED_OPTIONS:
        if (code == BN_CLICKED) {
            OnAdvancedOptions();
            return TRUE;
        }
        break;
    case IDC_CONFIRM_SELECT_ALL:
    case IDC_CONFIRM_DESELECT_ALL:
        if (code == BN_CLICKED) {
            CheckAllParts(id == IDC_CONFIRM_SELECT_ALL);
            return TRUE;
        }
        break;
    case IDC_CONFIRM_PLAYERS:
        if (code == CBN_SELENDOK) {
            OnPlayerChanged();
            return TRUE;
        }
        break;
    default:
        break;
    }
    return CWizardPage::OnCmdMsg(id, code);
}

void CConfirmPage::ShowPlayerChoice(INT_PTR playerCount)
{
    const BOOL one = playerCount == 1;
    ShowItem(IDC_CONFIRM_ONLY_PLAYER, one);
    ShowItem(IDC_CONFIRM_PLAYERS, !one);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_CONFIRM_ONLY_PLAYER), one);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_CONFIRM_PLAYERS), !one);
    ShowItem(IDC_CONFIRM_ONE_PLAYER, one);
    ShowItem(IDC_CONFIRM_MANY_PLAYERS, !one);
}

void CConfirmPage::SetPlayerFolders(PlayerRecord* player)
{
    if (player->IsZune() > 0) {
        player->SetFolderPath(L"\\" + AfxLoadString(IDS_MAKER_FOLDER));
    } else if (player->GetStorageLayout() == 1) {
        if (player->GetFolderPath().IsEmpty())
            player->SetFolderPath(DefaultFolderFor(m_strFormat, m_sheet->m_artist, m_strTitleFolder));
        player->albumReady = 0;
    } else if (player->mobileDevice) {
        player->SetFolderPath(player->mobileAppFound || player->IsMobileStorageCard() == 0
                                  ? MobileFolderFor(m_sheet->m_media.GetContentKindName(), m_sheet->m_baseFileName)
                                  : CString(L"\\"));
    } else if (player->massStorage && !player->targetFolder.IsEmpty()) {
        // A profile's "[title]" is the title's own folder: the title folder's name, or the
        // parts' base name when the title has no folder of its own.
        CString target = player->GetTargetPath(m_strTitleFolder.IsEmpty() ? m_strBaseName : m_strTitleFolder);
        if (target.GetLength() >= 2 && target[1] == L':')
            target = target.Mid(2);
        player->SetFolderPath(target);
        CString id = m_sheet->m_media.m_mediaId;
        id.Trim(L"{}");
        const int dash = id.ReverseFind(L'-');
        if (dash >= 36) {
            player->baseFileName.Format(L"{%s}Fmt%s", id.Left(dash).GetString(), id.Mid(dash + 1).GetString());
        }
    } else if (player->IsApple() > 0 || player->IsMp3Only() > 0) {
        player->SetFolderPath(L"\\");
    }
}

void CConfirmPage::FillPlayers()
{
    const CObArray& devices = m_sheet->m_devices;
    HWND list = ::GetDlgItem(m_hWnd, IDC_CONFIRM_PLAYERS);
    ShowPlayerChoice(devices.GetSize());
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    const CString remembered = ReadLastSelDevice();
    for (INT_PTR i = 0; i < devices.GetSize(); ++i) {
        PlayerRecord* player = PlayerAt(devices, i);
        if (!player)
            continue;
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(player->GetDisplayName().GetString()));
        if (m_selectedPlayer == -1 && !remembered.IsEmpty() && player->GetDisplayName().CompareNoCase(remembered) == 0)
            m_selectedPlayer = static_cast<int>(i);
        if (i == 0)
            SetDlgItemText(IDC_CONFIRM_ONLY_PLAYER, player->GetDisplayName());
        SetPlayerFolders(player);
    }
    // The player confirmed before stays chosen while the array still has it.
    int chosen = m_sheet->m_confirmedIndex;
    if (chosen < 0 || chosen >= devices.GetSize())
        chosen = m_selectedPlayer < 0 || m_selectedPlayer >= devices.GetSize() ? 0 : m_selectedPlayer;
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    m_selectedPlayer = chosen;
    PlayerRecord* player = PlayerAt(devices, chosen);
    ShowAdvancedButton(player);
    if (!player)
        return;
    BOOL update = m_sheet->m_lastTransferredPart != -1;
    if (!player->GetFolderPath().IsEmpty() && player->GetFolderPath().CompareNoCase(m_strFolder) != 0) {
        m_strFolder = player->GetFolderPath();
        update = TRUE;
    }
    if (!player->GetBaseFileName().IsEmpty() && player->GetBaseFileName() != m_strBaseName) {
        m_strBaseName = player->GetBaseFileName();
        update = TRUE;
    }
    if (update)
        UpdatePartPaths(m_strFolder, m_strBaseName);
}

void CConfirmPage::ShowAdvancedButton(PlayerRecord* player)
{
    ShowItem(IDC_CONFIRM_ADVANCED, player && player->IsApple() <= 0 && !player->massStorage);
}

void CConfirmPage::OnPlayerChanged()
{
    PlayerRecord* player = GetSelectedPlayer();
    if (!player)
        return;
    m_strBaseName = player->GetBaseFileName().IsEmpty() ? m_sheet->m_baseFileName : player->GetBaseFileName();
    m_strFolder = player->GetFolderPath().IsEmpty() ? CString(L"\\") : player->GetFolderPath();
    ShowAdvancedButton(player);
    UpdatePartPaths(m_strFolder, m_strBaseName);
}

void CConfirmPage::CheckAllParts(BOOL check)
{
    for (int row = 0; row < m_parts.GetItemCount(); ++row) {
        if (m_parts.GetCheck(row) != CCheckedListCtrl::kUncheckedDisabled)
            m_parts.SetCheck(row, check ? CCheckedListCtrl::kChecked : CCheckedListCtrl::kUnchecked);
    }
}

void CConfirmPage::UpdatePartPaths(const CString& folder, const CString& baseName)
{
    for (int row = 0; row < m_parts.GetItemCount(); ++row) {
        if (m_parts.GetCheck(row) == CCheckedListCtrl::kUncheckedDisabled)
            continue;
        m_parts.SetItemText(row, 3, JoinPartPath(folder, baseName, PartPathSuffix(m_parts.GetItemText(row, 3))));
        if (row < m_sheet->m_lastTransferredPart)
            m_parts.SetCheck(row, CCheckedListCtrl::kUnchecked);
    }
    m_parts.FitColumnsToContents();
}

PlayerRecord* CConfirmPage::GetSelectedPlayer()
{
    if (m_sheet->m_devices.GetSize() != 1)
        m_selectedPlayer = static_cast<int>(::SendMessageW(::GetDlgItem(m_hWnd, IDC_CONFIRM_PLAYERS), CB_GETCURSEL, 0, 0));
    return PlayerAt(m_sheet->m_devices, m_selectedPlayer);
}

void CConfirmPage::Log(const CString& line) const
{
    if (m_app && m_app->m_verbose)
        m_app->WriteVerboseLog(line);
}

int CConfirmPage::Refuse(const CString& text, UINT type)
{
    Log(text);
    return AfxMessageBox(text, type);
}


BOOL CConfirmPage::CheckFreeSpace(PlayerRecord* player, ULONGLONG needed, BOOL* endWizard)
{
    *endWizard = FALSE;
    CString line;
    line.Format(L"Confirm: Checking space for %d parts", static_cast<int>(m_sheet->m_selectedParts.GetSize()));
    Log(line);
    const BOOL zune = player->IsZune() > 0;
    while (needed > 0) {
        ULONGLONG freeBytes = 0;
        BOOL locked = FALSE;
        const BOOL gotSpace = player->GetFreeSpace(&freeBytes, &locked);
        const BOOL apple = player->IsApple() > 0;
        if (gotSpace && locked && apple &&
            (!m_sheet->m_iTunesCompatible || player->IsApple() < static_cast<int>(kAppleIPodShuffle))) {
            // iTunes does not let us change this iPod.
            CString text = AfxLoadString(LockedApplePlayerTextId(*player));
            if (m_sheet->m_media.GetMetadata().GetContentKind() & (KindMp3Audiobook | KindMp3Music)) {
                CString more;
                more.Format(AfxLoadString(IDS_CONFIRM_USE_ITUNES_LIBRARY), player->GetDisplayName().GetString());
                text += more;
            }
            Refuse(text, MB_OK | MB_ICONSTOP);
            return FALSE;
        }
        if (!gotSpace) {
            CString text;
            if (zune)
                text.Format(AfxLoadString(IDS_CONFIRM_ZUNE_LOST), player->GetName().GetString());
            else
                text.Format(LoadPageText(IDS_PLAYER_NOT_FOUND, L"ERROR_DEVICE_NOT_FOUND"),
                            player->GetDisplayName().GetString());
            Refuse(text, MB_OK | MB_ICONERROR);
            *endWizard = TRUE;
            return FALSE;
        }
        if (needed <= freeBytes)
            return TRUE;
        const CString neededText = FormatKilobytes(needed);
        CString freeText = FormatKilobytes(freeBytes);
        while (freeText.GetLength() < neededText.GetLength())
            freeText.Insert(0, L" ");
        CMapStringToString extra;
        extra.SetAt(L"%%SPACE_NEEDED%%", neededText);
        extra.SetAt(L"%%SPACE_AVAIL%%", freeText);
        extra.SetAt(L"%%DEVICE_NAME%%", player->GetDisplayName());
        CString text = LoadPageText(IDS_CONFIRM_NOT_ENOUGH_SPACE, L"ERROR_INSUFFICENT_SPACE", &extra);
        if (apple) {
            Refuse(text, MB_OK);
            return FALSE;
        }
        text += AfxLoadString(zune ? IDS_CONFIRM_BROWSE_ZUNE : IDS_CONFIRM_BROWSE_TO_DELETE);
        if (Refuse(text, MB_YESNO) != IDYES) {
            Log(L"[IDNO]");
            return FALSE;
        }
        CString start = L"\\";
        if (player->GetStorageLayout() == 1) {
            if (m_strFormat.CompareNoCase(L"wma") == 0 || m_strFormat.CompareNoCase(L"mp3") == 0)
                start = AfxLoadString(IDS_CONFIRM_MUSIC_FOLDER);
            else if (m_strFormat.CompareNoCase(L"wmv") == 0)
                start = AfxLoadString(IDS_CONFIRM_VIDEO_FOLDER);
        }
        if (!BrowsePlayerToFreeSpace(player, start, needed))
            return FALSE;
    }
    return TRUE;
}

LRESULT CConfirmPage::OnWizardNext()
{
    if (!m_sheet || m_sheet->m_devices.GetSize() == 0 || m_sheet->m_media.m_parts.GetSize() == 0)
        return -1;
    PlayerRecord* player = GetSelectedPlayer();
    if (!player)
        return -1;
    auto endWizard = [this] {
        m_ownerSheet->EndDialog(3);
        return static_cast<LRESULT>(-1);
    };
    Log(L"Confirm: Found Selected Device");
    const int kind = m_sheet->m_media.GetMetadata().GetContentKind();
    const CString& display = player->GetDisplayName();
    CString incompatible;
    incompatible.Format(AfxLoadString(IDS_CONFIRM_FORMAT_NOT_COMPATIBLE), m_sheet->m_contentType.GetString(),
                        display.GetString());
    const BOOL mp3Only = display.Find(AfxLoadString(IDS_MP3_ONLY)) >= 0;
    if (mp3Only && !(kind & (KindMp3Audiobook | KindMp3Music))) {
        Refuse(incompatible, MB_OK | MB_ICONSTOP);
        return -1;
    }
    const BOOL zune = display.Find(AfxLoadString(IDS_ZUNE_NAME)) >= 0;
    if (zune && ((kind & (KindVideo | KindMobileVideo)) || kind == KindMp3Music || kind == KindMusic)) {
        Refuse(incompatible, MB_OK | MB_ICONSTOP);
        return -1;
    }
    CString line;
    line.Format(L"Confirm: bIsMP3Only=%s bIsZune=%s", YesNo(mp3Only), YesNo(zune));
    Log(line);
    CString gone;
    gone.Format(LoadPageText(IDS_PLAYER_NOT_FOUND, L"ERROR_DEVICE_NOT_FOUND"), display.GetString());
    const BOOL apple = player->IsApple() > 0;
    if (apple) {
        if (!CheckApplePlayer(player, kind, incompatible))
            return -1;
    } else if (zune) {
        if (!ConnectZuneDevice(m_hWnd, player->name)) {
            CString text;
            text.Format(AfxLoadString(IDS_CONFIRM_ZUNE_LOST), player->name.GetString());
            Refuse(text, MB_OK | MB_ICONERROR);
            return endWizard();
        }
    } else {
        IWMDMDevice* device = player->GetDeviceInterface();
        if (!device)
            return -1;
        if (m_sheet->m_media.GetContentKindName().Find(L"Video") >= 0 &&
            !IsFormatSupportedByDevice(device, kFormatWmv, m_app && m_app->m_verbose)) {
            Refuse(incompatible, MB_OK | MB_ICONSTOP);
            return -1;
        }
        if (!mp3Only && !MatchDeviceSerialNumber(device, player->serialNumber)) {
            Refuse(gone, MB_OK | MB_ICONERROR);
            return endWizard();
        }
    }

    m_sheet->m_selectedParts.RemoveAll();
    const BOOL wmaToApple = apple && (kind & (KindAudiobook | KindMusic)) != 0;
    line.Format(L"Confirm: Adding SelPartIndices bIsIPod=%s bAllowWMAxPod=%s", YesNo(apple), YesNo(wmaToApple));
    Log(line);
    ULONGLONG total = 0;
    const CObArray& parts = m_sheet->m_media.m_parts;
    for (int row = 0; row < m_parts.GetItemCount() && row < parts.GetSize(); ++row) {
        const auto* part = static_cast<const CPartObject*>(parts[row]);
        if (m_parts.GetCheck(row) != CCheckedListCtrl::kChecked || !part)
            continue;
        m_sheet->m_selectedParts.Add(static_cast<UINT>(row));
        if (wmaToApple) {
            const ULONGLONG estimate = EstimateAacBytes(part->m_fileSize, part->GetDuration(), m_iTunesSettings.bitRate);
            total += estimate;
            line.Format(L"Confirm: dwTotalSize=%I64u (dEstimateSize=%I64u)", total, estimate);
            Log(line);
        } else {
            total += static_cast<ULONGLONG>(std::max<LONGLONG>(part->m_fileSize, 0));
        }
    }
    if (m_sheet->m_selectedParts.GetSize() == 0) {
        Refuse(LoadPageText(IDS_CONFIRM_NO_PARTS, L"ERROR_NO_PARTS_SELECTED"), MB_OK);
        return -1;
    }
    BOOL lost = FALSE;
    if (!CheckFreeSpace(player, total, &lost))
        return lost ? endWizard() : -1;

    if (!m_strFolder.IsEmpty() && m_strFolder != L"\\") {
        player->SetFolderPath(m_strFolder);
        m_strFolder = player->GetFolderPath();
    }
    Log(L"Confirm: Checking folder");
    DWORD attributes = 0;
    BOOL folderExists = FALSE;
    if (apple) {
        // iTunes keeps an Apple player's tracks: there is no folder to look for or make.
        folderExists = TRUE;
        attributes = kWmdmFolderBit;
    } else if (player->mobileDevice) {
        folderExists = player->QueryMobilePath(m_strFolder, &attributes) == 1;
        attributes &= kMobileFolderBit;
    } else {
        folderExists = player->FolderExists(m_strFolder, &attributes);
        attributes &= kWmdmFolderBit;
    }
    if (folderExists && !attributes && player->IsApple() <= 0 && !zune) {
        CString text;
        text.Format(AfxLoadString(IDS_CONFIRM_NOT_A_FOLDER), m_strFolder.GetString());
        Refuse(text, MB_OK | MB_ICONSTOP);
        return -1;
    }
    if (player->GetBaseFileName().IsEmpty()) {
        if (!m_strBaseName.IsEmpty())
            player->baseFileName = m_strBaseName;
    } else {
        m_strBaseName = player->GetBaseFileName();
    }
    if (!m_strBaseName.IsEmpty() && m_strBaseName.CompareNoCase(m_sheet->m_baseFileName) != 0)
        m_sheet->SetBaseFileName(m_strBaseName);

    CString hits;
    if (apple) {
        Log(L"Confirm: Checking existing parts");
        const CString where = FindPartsIniTunes(player, &hits);
        if (!where.IsEmpty()) {
            CString question = AfxLoadString(IDS_CONFIRM_PARTS_EXIST);
            if (where.Compare(AfxLoadString(IDS_ITUNES_LIBRARY_NAME)) == 0)
                question.Replace(L" on the %s", L" in the %s");
            CString text;
            text.Format(question, where.GetString(), where.GetString());
            if (Refuse(text, MB_YESNO) != IDYES) {
                Log(L"[IDNO]");
                return -1;
            }
        }
    } else if (folderExists) {
        Log(L"Confirm: Checking existing parts");
        for (INT_PTR i = 0; i < m_sheet->m_selectedParts.GetSize(); ++i) {
            const auto* part = static_cast<const CPartObject*>(parts[m_sheet->m_selectedParts[i]]);
            m_strFormat = part->m_fileName.Right(3);
            const CString name = m_sheet->FormatPartFileName(part->m_number, m_strFormat);
            CString objectId;
            const BOOL there = zune ? player->FindZuneFile(name, &objectId) : player->FileExists(name, m_strFolder);
            if (there) {
                player->AddFormatCode(m_sheet->m_selectedParts[i]);
                hits += (hits.IsEmpty() ? L"" : L"|") + name;
            }
        }
        if (!hits.IsEmpty()) {
            CString text;
            text.Format(AfxLoadString(IDS_CONFIRM_PARTS_EXIST), display.GetString(), display.GetString());
            if (Refuse(text, MB_YESNO) != IDYES) {
                Log(L"[IDNO]");
                return -1;
            }
        }
    } else if (!zune) {
        const DWORD made = player->EditDevicePath(m_strFolder, nullptr, FALSE);
        if (made != 0 && made != ERROR_ALREADY_EXISTS) {
            CString text;
            text.Format(AfxLoadString(IDS_CANNOT_DELETE_ON_PLAYER), L"create folder", display.GetString());
            player->folderCreationFailed = 1;
            Refuse(text, MB_OK | MB_ICONSTOP);
            return -1;
        }
    }

    Log(L"Confirm: Setting variables");
    m_sheet->m_confirmedIndex = m_selectedPlayer;
    CMapStringToString& placeholders = m_sheet->GetPlaceholders();
    placeholders.SetAt(L"%%DEVICE_NAME%%", display);
    CString count;
    count.Format(L"%d", static_cast<int>(m_sheet->m_selectedParts.GetSize()));
    placeholders.SetAt(L"%%PART_COUNT%%", count);
    if (player->mobileDevice) {
        CString prefix;
        if (player->IsMobileStorageCard() == 1)
            prefix.Format(L"\\%s", player->name.GetString());
        else
            prefix = AfxLoadString(IDS_CONFIRM_MY_DOCUMENTS);
        placeholders.SetAt(L"%%DEVICE_FOLDER%%", prefix + m_strFolder);
    } else {
        placeholders.SetAt(L"%%DEVICE_FOLDER%%", m_strFolder);
    }
    WriteLastSelDevice(display);
    // What the Settings page shows.
    const BOOL spoken = kind == KindAudiobook;
    placeholders.SetAt(L"%%ENCODER_NAME%%", L"AAC Encoder");
    placeholders.SetAt(L"%%ENCODER_SETTING%%", m_iTunesSettings.preset);
    placeholders.SetAt(L"%%RECOMMEND_SETTING%%", spoken ? L"Spoken Podcast (64 kbps)" : L"High Quality (128 kbps)");
    placeholders.SetAt(L"%%RECOMMEND_MINUTE%%", spoken ? L"1 minute" : L"2.5 minutes");
    placeholders.SetAt(L"%%ESTIMATED_MINUTE%%", EstimatedConversionTime(m_iTunesSettings.bitRate));
    // Only Windows Media audio for an Apple player may need iTunes' import setting changed.
    const LRESULT next = wmaToApple ? m_sheet->PageAfterConfirm() : static_cast<LRESULT>(IDD_PROGRESS_PAGE);
    line.Format(L"Confirm: %s (%s) [%s|AAC: %s|%s]->%s [Msg:%s]", display.GetString(),
                FormatKilobytes(total).GetString(), m_iTunesSettings.encoder.GetString(),
                m_iTunesSettings.preset.GetString(), spoken ? L"Spoken Podcast (64 kbps)" : L"High Quality (128 kbps)",
                next == IDD_SETTINGS_PAGE ? L"Setting" : L"Progress", hits.GetString());
    Log(line);
    return next;
}
