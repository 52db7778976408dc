// The About box: the installed console version, the Windows Media Player version and the
// platform version text, as the detect object ("Vesperlin.ZKYDetectObject") reports them.
#pragma once

#include "ConsoleDialog.h"

#include <functional>
#include <memory>

// The detect object's version texts (its methods 1 to 3): the object itself by default;
// tests may give a fake.
class IVersionSource {
public:
    virtual ~IVersionSource() = default;
    // FALSE when the method cannot be called.
    virtual BOOL GetVersionText(int dispid, CString& text) = 0;
};
// Makes the detect object; null when it cannot be created.
using VersionSourceFactory = std::function<std::unique_ptr<IVersionSource>()>;
// The factory the About box uses (the detect object when never set; an empty one: the
// texts stay "<error>").
void SetVersionSourceFactory(VersionSourceFactory factory);
// The detect object "Vesperlin.ZKYDetectObject" (null when it cannot be created).
std::unique_ptr<IVersionSource> CreateDetectObject();

// The three texts the box shows; "<error>" for what cannot be read. The console version
// gets " BETA" when it begins with "0.".
struct AboutVersionTexts {
    CString console = L"<error>";
    CString player = L"<error>";
    CString platform = L"<error>";
};
AboutVersionTexts ReadAboutVersionTexts(IVersionSource* source);

class CAboutDlg : public CConsoleDialog {
public:
    explicit CAboutDlg(CWnd* parent);

protected:
    BOOL OnInitDialog() override;
};
