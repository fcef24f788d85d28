// CAboutDlg: the plain About box with the program icon and the installed version.
#pragma once

#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

    // Called when the box is created: appends the installed version to "Kova Ver ".
    BOOL OnInitDialog() override;
};
