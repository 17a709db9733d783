// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/CDialog.h"

class INotifyWindow;
class QComboBox;

// The PTZ bar along the bottom of the view: zoom and focus buttons, the speed
// and preset lists, and the preset recall and set buttons. One row of controls
// when the bar is 19 pixels high, two rows when it is taller.
class CPTZDlg : public CDialog
{
public:
    CPTZDlg(INotifyWindow& target, QWidget* parent);

    // The speed list's selection, 0 ("Slow") to 3 ("Very Fast").
    int GetSpeed() const;
    // The preset list's selection plus one, 1 to 99.
    int GetPreset() const;

    QComboBox* SpeedList() const { return m_speedList; }
    QComboBox* PresetList() const { return m_presetList; }

protected:
    bool OnInitDialog() override;
    void OnSize(int cx, int cy) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    QComboBox* m_speedList = nullptr;
    QComboBox* m_presetList = nullptr;
};
