// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/CDialog.h"

class INotifyWindow;

// One arrow panel at an edge of the picture: a single button whose click is
// sent to the view at once, with both parameters 0.
class CPTZArrowDlg : public CDialog
{
public:
    CPTZArrowDlg(unsigned templateId, unsigned buttonId, unsigned message, INotifyWindow& target,
                 QWidget* parent);

protected:
    // A panel has no OK or cancel of its own: Return and Escape must not hide it.
    void OnOK() override {}
    void OnCancel() override {}
};

class CPTZLeftDlg : public CPTZArrowDlg
{
public:
    CPTZLeftDlg(INotifyWindow& target, QWidget* parent);
};

class CPTZTopDlg : public CPTZArrowDlg
{
public:
    CPTZTopDlg(INotifyWindow& target, QWidget* parent);
};

class CPTZRightDlg : public CPTZArrowDlg
{
public:
    CPTZRightDlg(INotifyWindow& target, QWidget* parent);
};

class CPTZBottomDlg : public CPTZArrowDlg
{
public:
    CPTZBottomDlg(INotifyWindow& target, QWidget* parent);
};
