// CDialog: a dialog from a template of the program's resources, modal through the class
// library's own modal loop (so PreTranslateMessage and accelerators see every key) or
// modeless; with data exchange between members and controls.
//
//     class CFolderDlg : public CDialog {
//     public:
//         explicit CFolderDlg(CWnd* parent) : CDialog(IDD_FOLDER, parent) { m_helpTopic = L"FolderDialog.txt"; }
//         CString m_folder;
//     protected:
//         void DoDataExchange(CDataExchange* dx) override { DDX_Text(dx, IDC_FOLDER, m_folder); }
//     };
//     CFolderDlg dialog(this);  if (dialog.DoModal() == IDOK) use(dialog.m_folder);
//
// Help: WM_HELP (F1 on a control, the caption's "?") goes to the program's help hook
// CWinApp::ShowHelpTopic with m_helpTopic; the Help command (ID_HELP, a Help button)
// calls OnHelp, which asks HTML Help for the dialog's context (0x20000 + template id).
#pragma once

#include "Wnd.h"

class CDialog;

// The state of one data exchange: the direction and the dialog.
class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    // The control with this id (its handle); a missing control fails the exchange.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id) { m_bEditLastControl = TRUE; return PrepareCtrl(id); }
    // Ends the exchange as failed: focus goes back to the last control, CUserException.
    [[noreturn]] void Fail();

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;  // TRUE: controls -> members
    BOOL m_bEditLastControl = FALSE;
    HWND m_hWndLastControl = nullptr;
};

// Binds a control object to the dialog item (subclassing it) the first time.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Text(CDataExchange* dx, int id, CString& value);
// Whole numbers: a text that is not one fails with a box (through the funnel).
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
// A check box: BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
void DDX_Check(CDataExchange* dx, int id, int& value);
// A group of radio buttons starting at id (WS_GROUP up to the next WS_GROUP): the index of
// the checked one, -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
// Combo box and list box selection by index.
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
void DDX_LBIndex(CDataExchange* dx, int id, int& index);
// Validation of an exchanged text's length (saving only): too long fails with a box.
void DDV_MaxChars(CDataExchange* dx, const CString& value, int maxChars);

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDHelp(templateId), m_templateId(templateId), m_pParentWnd(parent) {}
    ~CDialog() override;

    // Modal: returns the code given to EndDialog, or -1 when the dialog cannot be made.
    virtual INT_PTR DoModal();
    // Modal from a template in memory (kept by the caller while the dialog lives).
    BOOL InitModalIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent = nullptr);
    // Modeless; the window lives until DestroyWindow (or EndDialog).
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    BOOL CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent = nullptr);
    // Ends a modal dialog with any code (a modeless one is destroyed).
    void EndDialog(int result);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    BOOL IsModal() const { return m_modal; }
    void NextDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
    void GotoDlgCtrl(CWnd* control) { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control->m_hWnd), TRUE); }
    void SetDefID(UINT id) { ::SendMessageW(m_hWnd, DM_SETDEFID, id, 0); }

    // Keys for the dialog manager (tab, arrows, Enter, Esc); derived dialogs add accelerators.
    BOOL PreTranslateMessage(MSG* msg) override;

    UINT m_nIDHelp = 0;
    CString m_helpTopic;  // the topic WM_HELP hands to the help hook

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK();
    virtual void OnCancel();
    // The Help command: HTML Help with the dialog's context id.
    virtual void OnHelp();
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCmdMsg(UINT id, UINT code) override;
    BOOL OnHelpInfo(HELPINFO* info) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    BOOL CreateFromTemplate(const DLGTEMPLATE* dialogTemplate, HWND parent);

    UINT m_templateId = 0;
    const DLGTEMPLATE* m_indirectTemplate = nullptr;
    CWnd* m_pParentWnd = nullptr;

private:
    bool m_modal = false;
};

// The dialog procedure of class-library dialogs: the subclassed window procedure handles
// everything, the dialog manager's defaults follow.
INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
// A dialog template of the resource module (null when missing).
const DLGTEMPLATE* AfxLoadDialogTemplate(UINT templateId);
