// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptz/CPTZArrowDlg.h"

#include "platform/NotifyWindow.h"
#include "platform/WindowMessages.h"
#include "res/ResourceIds.h"

CPTZArrowDlg::CPTZArrowDlg(unsigned templateId, unsigned buttonId, unsigned message,
                           INotifyWindow& target, QWidget* parent)
    : CDialog(templateId, parent)
{
    OnCommand(buttonId, [&target, message] { target.SendMessage(message, 0, 0); });
}

CPTZLeftDlg::CPTZLeftDlg(INotifyWindow& target, QWidget* parent)
    : CPTZArrowDlg(IDD_PTZ_LEFT, IDC_PTZ_LEFT, WM_PTZ_LEFT, target, parent)
{
}

CPTZTopDlg::CPTZTopDlg(INotifyWindow& target, QWidget* parent)
    : CPTZArrowDlg(IDD_PTZ_TOP, IDC_PTZ_UP, WM_PTZ_UP, target, parent)
{
}

CPTZRightDlg::CPTZRightDlg(INotifyWindow& target, QWidget* parent)
    : CPTZArrowDlg(IDD_PTZ_RIGHT, IDC_PTZ_RIGHT, WM_PTZ_RIGHT, target, parent)
{
}

CPTZBottomDlg::CPTZBottomDlg(INotifyWindow& target, QWidget* parent)
    : CPTZArrowDlg(IDD_PTZ_BOTTOM, IDC_PTZ_DOWN, WM_PTZ_DOWN, target, parent)
{
}
