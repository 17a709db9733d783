// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/CDialog.h"

// "About Quillon": the icon and the version, the texts under the icon while the
// main window is taller than wide and beside it otherwise; it follows the
// window as the phone turns.
class CAboutDlg : public CDialog
{
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    unsigned CurrentTemplate() const { return m_nTemplate; }

protected:
    void OnSize(int cx, int cy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayoutForOrientation();

    unsigned m_nTemplate;
};
