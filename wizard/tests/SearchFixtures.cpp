#include "SearchFixtures.h"

#include "MarkupLabel.h"
#include "SuiteMessages.h"

namespace wizardtest {

namespace {

class CScriptedSearchThread : public CWinThread {
    DECLARE_DYNCREATE(CScriptedSearchThread)
public:
    std::function<void()> m_work;

protected:
    BOOL InitInstance() override
    {
        m_work();
        return FALSE;
    }
};
IMPLEMENT_DYNCREATE(CScriptedSearchThread, CWinThread)

}  // namespace

CWinThread* BeginScriptedSearchThread(std::function<void()> work)
{
    auto* thread = static_cast<CScriptedSearchThread*>(
        AfxBeginThread(RUNTIME_CLASS(CScriptedSearchThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    if (thread)
        thread->m_work = std::move(work);
    return thread;
}

void ReportSearchDone(const SearchJob& job) { SendMessageW(job.owner, WM_DEVICE_SEARCH_DONE, 0, 0); }

CString LabelText(const CWizardSheetBase& sheet, const CWnd* page, UINT itemId)
{
    CMarkupLabel* label = sheet.FindMarkupLabel(page, itemId);
    return label ? label->GetWindowText() : CString(L"<no label>");
}

}  // namespace wizardtest
