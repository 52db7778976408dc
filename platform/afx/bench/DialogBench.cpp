// What a dialog of 200 controls costs to open: created from a template in memory, shown and
// painted once, with and without the class library (and with every control bound to an
// object, as data exchange does). Prints the median of several openings in milliseconds.
#include "AfxWin.h"

#include "../../../common/bench/BenchClock.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kControls = 200;

// A DLGTEMPLATE with kControls controls in rows: a label, an edit box, a check box, a button.
std::vector<WORD> BuildTemplate()
{
    std::vector<WORD> t;
    auto align = [&] { if (t.size() % 2) t.push_back(0); };  // DWORD alignment (WORD units)
    auto text = [&](const wchar_t* s) { for (; *s; ++s) t.push_back(*s); t.push_back(0); };
    auto dword = [&](DWORD v) { t.push_back(LOWORD(v)); t.push_back(HIWORD(v)); };
    dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_MODALFRAME);
    dword(0);
    t.push_back(kControls);
    t.push_back(0); t.push_back(0); t.push_back(600); t.push_back(400);  // x, y, cx, cy
    t.push_back(0); t.push_back(0);                                      // no menu, default class
    text(L"Two hundred controls");
    t.push_back(8);
    text(L"MS Shell Dlg");
    static const WORD classes[4] = {0x0082, 0x0081, 0x0080, 0x0080};  // static, edit, button, button
    static const DWORD styles[4] = {SS_LEFT, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
                                    BS_AUTOCHECKBOX | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP};
    for (int i = 0; i < kControls; ++i) {
        align();
        const int kind = i % 4;
        dword(WS_CHILD | WS_VISIBLE | styles[kind]);
        dword(0);
        const int row = i / 8, column = i % 8;
        t.push_back(static_cast<WORD>(4 + column * 74)); t.push_back(static_cast<WORD>(4 + row * 15));
        t.push_back(70); t.push_back(12);
        t.push_back(static_cast<WORD>(1000 + i));
        t.push_back(0xFFFF); t.push_back(classes[kind]);
        text(kind == 1 ? L"" : L"Control");
        t.push_back(0);  // no creation data
    }
    return t;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class CBoundDialog : public CDialog {
public:
    CWnd m_controls[kControls];
protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        for (int i = 0; i < kControls; ++i)
            DDX_Control(dx, 1000 + i, m_controls[i]);
    }
};

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

template <class Open>
double Median(Open open, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        HWND dialog = open();
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
        Pump();
        times.push_back((Now() - start) * 1000.0);
        DestroyWindow(dialog);
        Pump();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const std::vector<WORD> words = BuildTemplate();
    const auto* dialogTemplate = reinterpret_cast<const DLGTEMPLATE*>(words.data());
    const int runs = 15;
    const double plain = Median([&] { return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, nullptr, PlainDialogProc, 0); }, runs);
    std::vector<CDialog*> keep;
    const double library = Median([&] {
        auto* dialog = new CDialog;
        keep.push_back(dialog);
        dialog->CreateIndirect(dialogTemplate);
        return dialog->m_hWnd;
    }, runs);
    const double bound = Median([&] {
        auto* dialog = new CBoundDialog;
        keep.push_back(dialog);
        dialog->CreateIndirect(dialogTemplate);
        return dialog->m_hWnd;
    }, runs);
    for (CDialog* dialog : keep)
        delete dialog;
    std::printf("dialog of %d controls, opened, shown and painted (median of %d):\n", kControls, runs);
    std::printf("  plain Win32 dialog:            %7.1f ms\n", plain);
    std::printf("  class-library CDialog:         %7.1f ms\n", library);
    std::printf("  CDialog, every control bound:  %7.1f ms\n", bound);
    return 0;
}
