// The wizards' Search pages under test: searches that do what the test says on their job, in a
// thread of their own, instead of the product's; and the text a page shows through a markup
// label.
//
//     wizardtest::ScriptedSearches<DeviceSearchJob> searches(SetDeviceSearchStarter);
//     searches.Do([](DeviceSearchJob& job) { job.devices->Add(...); wizardtest::ReportSearchDone(job); });
#pragma once

#include "SearchWatch.h"
#include "WinThread.h"
#include "WizardSheet.h"

#include <functional>
#include <memory>

namespace wizardtest {

// Runs work on a suspended thread of the class library's (the page resumes it).
CWinThread* BeginScriptedSearchThread(std::function<void()> work);

// Tells the job's page its search is done, as the product's searches do.
void ReportSearchDone(const SearchJob& job);

// While it lives, every search the page starts runs the work given last (as it is when the
// search runs; none: the search ends at once, reporting nothing); then the starter before is back.
template <class Job>
class ScriptedSearches {
public:
    using Starter = std::function<CWinThread*(std::shared_ptr<Job>)>;
    using Work = std::function<void(Job&)>;

    explicit ScriptedSearches(Starter (*setStarter)(Starter)) : m_setStarter(setStarter)
    {
        // The threads share the work, so one that outlives this object still has it.
        std::shared_ptr<Work> work = m_work;
        m_before = m_setStarter([work](std::shared_ptr<Job> job) -> CWinThread* {
            return BeginScriptedSearchThread([work, job] {
                if (*work)
                    (*work)(*job);
            });
        });
    }
    ~ScriptedSearches() { m_setStarter(std::move(m_before)); }
    ScriptedSearches(const ScriptedSearches&) = delete;
    ScriptedSearches& operator=(const ScriptedSearches&) = delete;

    void Do(Work work) { *m_work = std::move(work); }

private:
    Starter (*m_setStarter)(Starter);
    Starter m_before;
    std::shared_ptr<Work> m_work = std::make_shared<Work>();
};

// The text of a page item's markup label; "<no label>" when it has none.
CString LabelText(const CWizardSheetBase& sheet, const CWnd* page, UINT itemId);

}  // namespace wizardtest
