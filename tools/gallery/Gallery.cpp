// The gallery: one dialog holding every control of the class library together with the
// check-box list and both labels, and a wizard-mode sheet of three pages. Each window is
// written as a picture (<VESPERLIN_SCREENSHOT_DIR>\Gallery.*.png) for people to look at.
//   gallery.exe           pictures, then the program ends (CTest runs it this way)
//   gallery.exe --show    the windows stay open to be tried by hand
#include "AfxWin.h"
#include "CheckedListCtrl.h"
#include "GalleryIds.h"
#include "MarkupLabel.h"
#include "TimeLabel.h"
#include "WindowTestSupport.h"

#include <cwchar>

namespace {

bool g_show = false;
constexpr UINT WM_GALLERY_CAPTURE = WM_APP + 1;

void FillCheckedList(CCheckedListCtrl& list)
{
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    list.InsertColumn(0, L"Part", LVCFMT_LEFT, 90);
    list.InsertColumn(1, L"Status", LVCFMT_LEFT, 120);
    const struct {
        const wchar_t* name;
        const wchar_t* status;
        int check;
    } rows[] = {{L"Part 1", L"not downloaded", 1}, {L"Part 2", L"not downloaded", 0}, {L"Part 3", L"downloaded", 3},
                {L"Part 4", L"downloaded", 3}};
    for (int i = 0; i < 4; ++i) {
        list.InsertItem(i, rows[i].name);
        list.SetItemText(i, 1, rows[i].status);
        list.SetCheck(i, rows[i].check);
    }
}

// A remaining-time label on a clock that has moved on a little.
class CShownTimeLabel : public CTimeLabel {
public:
    long long now = 0;
protected:
    long long Now() const override { return now; }
};

void ShowEstimate(CShownTimeLabel& label)
{
    label.SetPrefix(L"Time left: ");
    label.SetTotal(720700);
    label.Start();
    label.now += 2;
    label.Update(200);
}

class CGalleryDlg : public CDialog {
public:
    CGalleryDlg() : CDialog(IDD_GALLERY) {}

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        SetDlgItemText(IDC_EDIT, L"An edit control");
        CheckDlgButton(IDC_CHECK, BST_CHECKED);
        CheckRadioButton(IDC_RADIO1, IDC_RADIO2, IDC_RADIO1);
        m_combo.SubclassDlgItem(IDC_COMBO, this);
        m_combo.AddString(L"A combo box");
        m_combo.AddString(L"Second entry");
        m_combo.SetCurSel(0);
        m_listBox.SubclassDlgItem(IDC_LISTBOX, this);
        for (const wchar_t* entry : {L"A list box", L"Second line", L"Third line"})
            m_listBox.AddString(entry);
        m_listBox.SetCurSel(1);
        m_tree.SubclassDlgItem(IDC_TREE, this);
        HTREEITEM root = m_tree.InsertItem(L"A tree");
        m_tree.InsertItem(L"Branch", root);
        m_tree.InsertItem(L"Leaf", m_tree.InsertItem(L"Open branch", root));
        m_tree.Expand(root, TVE_EXPAND);
        m_list.SubclassDlgItem(IDC_LIST, this);
        m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        m_list.InsertColumn(0, L"List", LVCFMT_LEFT, 80);
        m_list.InsertColumn(1, L"With a header", LVCFMT_LEFT, 95);
        m_list.InsertItem(0, L"First row");
        m_list.SetItemText(0, 1, L"a sub-item");
        m_list.InsertItem(1, L"Second row");
        m_checked.SubclassDlgItem(IDC_CHECKED_LIST, this);
        FillCheckedList(m_checked);
        m_progress.SubclassDlgItem(IDC_PROGRESS, this);
        m_progress.SetRange32(0, 100);
        m_progress.SetPos(60);
        m_slider.SubclassDlgItem(IDC_SLIDER, this);
        m_slider.SetRange(0, 10);
        m_slider.SetTicFreq(1);
        m_slider.SetPos(3);
        m_animate.SubclassDlgItem(IDC_ANIMATE, this);
        m_animate.Open(IDR_GALLERY_CLIP);
        m_animate.Play(0, static_cast<UINT>(-1), static_cast<UINT>(-1));
        m_tips.Create(this);
        m_tips.AddTool(GetDlgItem(IDC_EDIT), L"A tooltip");
        m_time.SubclassDlgItem(IDC_TIME_LABEL, this);
        ShowEstimate(m_time);
        m_markup.SubclassDlgItem(IDC_MARKUP_LABEL, this);
        m_markup.SetText(
            L"<B>A markup label</B>: <I>italic</I>, <U>underlined</U>, <STRIKE>struck</STRIKE>, <BIG>big</BIG>, "
            L"<SMALL>small</SMALL>, H<SUB>2</SUB>O, E=mc<SUP>2</SUP>, <FONT COLOR=\"Crimson\">crimson</FONT>, "
            L"<FONT BGCOLOR=\"255, 255, 0\">marked</FONT>, <CODE>code</CODE>, <A HREF=\"x\">a link</A>."
            L"<HR SIZE=2>&copy; &reg; &trade; &euro; &pound; &lt;entities&gt; &amp; a long sentence that wraps "
            L"at the edge of the label when it does not fit on one line.");
        if (!g_show)
            PostMessage(WM_GALLERY_CAPTURE);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (m_tips.m_hWnd)
            m_tips.RelayEvent(msg);
        return CDialog::PreTranslateMessage(msg);
    }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_GALLERY_CAPTURE) {
            testsupport::CaptureWindow(m_hWnd, L"Gallery.Controls");
            EndDialog(IDOK);
            return TRUE;
        }
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }

private:
    CComboBox m_combo;
    CListBox m_listBox;
    CTreeCtrl m_tree;
    CListCtrl m_list;
    CCheckedListCtrl m_checked;
    CProgressCtrl m_progress;
    CSliderCtrl m_slider;
    CAnimateCtrl m_animate;
    CToolTipCtrl m_tips;
    CShownTimeLabel m_time;
    CMarkupLabel m_markup;
};

// A wizard page that, unless shown by hand, takes its picture once active and moves on.
class CGalleryPage : public CPropertyPage {
public:
    CGalleryPage(UINT id, const wchar_t* picture, DWORD buttons, int advance)
        : CPropertyPage(id), m_picture(picture), m_buttons(buttons), m_advance(advance) {}

protected:
    BOOL OnSetActive() override
    {
        GetSheet()->SetWizardButtons(m_buttons);
        if (!g_show)
            PostMessage(WM_GALLERY_CAPTURE);
        return CPropertyPage::OnSetActive();
    }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_GALLERY_CAPTURE) {
            testsupport::CaptureWindow(GetSheet()->m_hWnd, m_picture);
            GetSheet()->PressButton(m_advance);
            return TRUE;
        }
        return CPropertyPage::OnWndMsg(message, wParam, lParam, result);
    }

private:
    const wchar_t* m_picture;
    DWORD m_buttons;
    int m_advance;
};

class CWelcomePage : public CGalleryPage {
public:
    CWelcomePage() : CGalleryPage(IDD_GALLERY_PAGE1, L"Gallery.Wizard1", PSWIZB_NEXT, PSBTN_NEXT) {}
protected:
    BOOL OnInitDialog() override
    {
        m_label.SubclassDlgItem(IDC_PAGE_LABEL, this);
        m_label.SetText(L"<BIG><B>Welcome</B></BIG><BR><BR>This wizard copies the parts of a title to a "
                        L"player.<BR>Click <B>Next</B> to choose the parts.");
        return CGalleryPage::OnInitDialog();
    }
private:
    CMarkupLabel m_label;
};

class CPartsPage : public CGalleryPage {
public:
    CPartsPage() : CGalleryPage(IDD_GALLERY_PAGE2, L"Gallery.Wizard2", PSWIZB_BACK | PSWIZB_NEXT, PSBTN_NEXT) {}
protected:
    BOOL OnInitDialog() override
    {
        m_parts.SubclassDlgItem(IDC_PAGE_CHECKED, this);
        FillCheckedList(m_parts);
        return CGalleryPage::OnInitDialog();
    }
private:
    CCheckedListCtrl m_parts;
};

class CCopyPage : public CGalleryPage {
public:
    CCopyPage() : CGalleryPage(IDD_GALLERY_PAGE3, L"Gallery.Wizard3", PSWIZB_BACK | PSWIZB_FINISH, PSBTN_FINISH) {}
protected:
    BOOL OnInitDialog() override
    {
        m_progress.SubclassDlgItem(IDC_PROGRESS, this);
        m_progress.SetPos(40);
        m_time.SubclassDlgItem(IDC_TIME_LABEL, this);
        ShowEstimate(m_time);
        return CGalleryPage::OnInitDialog();
    }
private:
    CProgressCtrl m_progress;
    CShownTimeLabel m_time;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i)
        g_show = g_show || wcscmp(argv[i], L"--show") == 0;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp app(L"Gallery");
    CGalleryDlg dialog;
    if (dialog.DoModal() == -1)
        return 1;
    CWelcomePage welcome;
    CPartsPage parts;
    CCopyPage copy;
    CPropertySheet sheet(L"Gallery wizard");
    sheet.AddPage(&welcome);
    sheet.AddPage(&parts);
    sheet.AddPage(&copy);
    sheet.SetWizardMode();
    return sheet.DoModal() == -1 ? 1 : 0;
}
