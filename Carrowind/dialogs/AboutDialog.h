// The device wizard's About dialog (dialog 100): the application title in its caption and its
// first line, whatever the template says.
#pragma once

#include "Dialog.h"

class CAboutDialog : public CDialog {
    DECLARE_DYNAMIC(CAboutDialog)
public:
    explicit CAboutDialog(CWnd* parent);

protected:
    BOOL OnInitDialog() override;
};
