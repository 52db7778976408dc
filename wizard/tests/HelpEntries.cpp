#include "HelpEntries.h"

#include "Dialog.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace wizardtest {

std::vector<AfxHtmlHelpCall> HelpRequests(const testsupport::HtmlHelpRecorder& recorder)
{
    std::vector<AfxHtmlHelpCall> calls;
    for (const AfxHtmlHelpCall& call : recorder.Calls())
        if (call.command != HH_INITIALIZE && call.command != HH_UNINITIALIZE)
            calls.push_back(call);
    return calls;
}

namespace {

void SendHelp(HWND control)
{
    RECT rect{};
    ::GetWindowRect(control, &rect);
    HELPINFO info{};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = ::GetDlgCtrlID(control);
    info.hItemHandle = control;
    info.dwContextId = ::GetWindowContextHelpId(control);
    info.MousePos = {rect.left + 2, rect.top + 2};
    ::SendMessageW(control, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

// The keys down while the WM_HELP is handled (the handler reads them with GetKeyState).
class KeysDown {
public:
    KeysDown(bool f1, bool shift)
    {
        ::GetKeyboardState(m_before);
        BYTE keys[256];
        memcpy(keys, m_before, sizeof(keys));
        keys[VK_F1] = f1 ? 0x80 : 0;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        ::SetKeyboardState(keys);
    }
    ~KeysDown() { ::SetKeyboardState(m_before); }
    KeysDown(const KeysDown&) = delete;
    KeysDown& operator=(const KeysDown&) = delete;

private:
    BYTE m_before[256];
};

}  // namespace

void ContextHelpOn(HWND control)
{
    KeysDown keys(false, false);
    SendHelp(control);
}

void PressF1On(HWND control, bool shift)
{
    KeysDown keys(true, shift);
    SendHelp(control);
}

std::vector<ControlHelp> ControlsOf(HWND dialog, bool visibleOnly)
{
    std::vector<ControlHelp> controls;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int id = ::GetDlgCtrlID(child);
        if (id == -1 || id == 0 || id == 0xFFFF || (visibleOnly && !::IsWindowVisible(child)))
            continue;
        controls.push_back({id, child, ::GetWindowContextHelpId(child)});
    }
    return controls;
}

std::set<DWORD> PopupIdsOf(const CString& sourcePath)
{
    std::set<DWORD> ids;
    std::istringstream lines(testsupport::ReadAllBytes(sourcePath));
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(".topic 0x", 0) == 0)
            ids.insert(static_cast<DWORD>(std::strtoul(line.c_str() + 7, nullptr, 16)));
    return ids;
}

void ExpectControlHelp(HWND dialog, const testsupport::HtmlHelpRecorder& recorder, const DialogHelp& help)
{
    const std::set<DWORD> popups = PopupIdsOf(help.topicSource);
    ASSERT_FALSE(popups.empty()) << help.topicSource.ToNarrow();
    const CString page = help.helpFile + L"::/" + help.topic;
    const std::vector<ControlHelp> controls = ControlsOf(dialog, true);
    ASSERT_FALSE(controls.empty());
    for (const ControlHelp& c : controls) {
        SCOPED_TRACE("control " + std::to_string(c.id));
        EXPECT_NE(0u, c.helpId);
        EXPECT_EQ(1u, popups.count(c.helpId)) << std::hex << c.helpId << " is not a pop-up of " << help.topicSource.ToNarrow();
        if (!c.helpId)
            continue;
        RECT rect{};
        ::GetWindowRect(c.control, &rect);
        struct Entry {
            const char* name;
            bool f1, shift;
        };
        for (const Entry& entry : {Entry{"?", false, false}, Entry{"F1", true, false}, Entry{"Shift+F1", true, true}}) {
            SCOPED_TRACE(entry.name);
            const size_t before = HelpRequests(recorder).size();
            if (entry.f1)
                PressF1On(c.control, entry.shift);
            else
                ContextHelpOn(c.control);
            const std::vector<AfxHtmlHelpCall> calls = HelpRequests(recorder);
            ASSERT_EQ(before + 1, calls.size());
            const AfxHtmlHelpCall& call = calls.back();
            if (entry.f1 && !entry.shift) {
                EXPECT_EQ(static_cast<UINT>(HH_HELP_CONTEXT), call.command);
                EXPECT_EQ(help.context, call.data);
                EXPECT_EQ(help.helpFile, call.file);
                continue;
            }
            EXPECT_EQ(static_cast<UINT>(HH_DISPLAY_TEXT_POPUP), call.command);
            EXPECT_EQ(page, call.file);
            ASSERT_TRUE(call.hasPopup);
            EXPECT_EQ(c.helpId, call.popup.idString);
            EXPECT_EQ(sizeof(HH_POPUP), static_cast<size_t>(call.popup.cbStruct));
            if (entry.shift) {
                EXPECT_EQ((rect.left + rect.right) / 2, call.popup.pt.x);
                EXPECT_EQ((rect.top + rect.bottom) / 2, call.popup.pt.y);
            } else {
                EXPECT_EQ(rect.left + 2, call.popup.pt.x);
                EXPECT_EQ(rect.top + 2, call.popup.pt.y);
            }
        }
    }
}

std::vector<ControlHelp> TemplateControls(UINT templateId)
{
    // Pages are child windows: they need a parent.
    CWnd parent;
    if (!parent.CreateEx(0, nullptr, L"", WS_POPUP, CRect(0, 0, 600, 400), nullptr, 0))
        return {};
    std::vector<ControlHelp> controls;
    CDialog dialog(templateId, &parent);
    if (dialog.Create(templateId, &parent))
        controls = ControlsOf(dialog.m_hWnd, false);
    dialog.DestroyWindow();
    parent.DestroyWindow();
    for (ControlHelp& c : controls)
        c.control = nullptr;
    return controls;
}

void ExpectTemplateHelp(const TemplateHelp& dialog)
{
    SCOPED_TRACE(dialog.name);
    const std::set<DWORD> popups = PopupIdsOf(dialog.topicSource);
    EXPECT_FALSE(popups.empty()) << dialog.topicSource.ToNarrow();
    const std::vector<ControlHelp> controls = TemplateControls(dialog.templateId);
    ASSERT_FALSE(controls.empty()) << "no template " << dialog.templateId;
    for (const ControlHelp& c : controls) {
        SCOPED_TRACE("control " + std::to_string(c.id));
        if (dialog.internal.count(c.id)) {
            EXPECT_EQ(0u, c.helpId);
            continue;
        }
        const auto other = dialog.otherIds.find(c.id);
        const DWORD expected = other != dialog.otherIds.end()
                                   ? other->second
                                   : static_cast<DWORD>(HID_CONTROL(dialog.templateId, static_cast<DWORD>(c.id)));
        EXPECT_EQ(expected, c.helpId) << std::hex << c.helpId;
        EXPECT_EQ(1u, popups.count(c.helpId)) << std::hex << c.helpId << " is not a pop-up of "
                                              << dialog.topicSource.ToNarrow();
    }
}

}  // namespace wizardtest
