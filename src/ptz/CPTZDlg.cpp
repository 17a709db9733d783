// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptz/CPTZDlg.h"

#include "platform/ComboBoxItems.h"
#include "platform/NotifyWindow.h"
#include "platform/WindowMessages.h"
#include "ptz/PTZCommand.h"
#include "res/ResourceIds.h"

#include <QComboBox>

namespace
{
constexpr int kRowHeight = 19;
constexpr int kButtonWidth = 20;
constexpr int kListWidth = 70;
constexpr int kInitialSpeed = 2; // "Fast"

struct BarPlace
{
    unsigned id;
    int width;
    int oneRowX;
    int twoRowsX;
    int twoRowsY;
};

// Pixels in the bar's client area; the second row holds the lists and the preset buttons.
constexpr BarPlace kPlaces[] = {
    {IDC_PTZ_ZOOM_IN, kButtonWidth, 0, 0, 0},
    {IDC_PTZ_ZOOM_OUT, kButtonWidth, 21, 21, 0},
    {IDC_PTZ_FOCUS_FAR, kButtonWidth, 43, 43, 0},
    {IDC_PTZ_FOCUS_NEAR, kButtonWidth, 64, 64, 0},
    {IDC_PTZ_SPEED, kListWidth, 86, 0, 20},
    {IDC_PTZ_PRESET, kListWidth, 157, 71, 20},
    {IDC_PTZ_PRESET_RECALL, kButtonWidth, 228, 143, 20},
    {IDC_PTZ_PRESET_SET, kButtonWidth, 249, 164, 20},
};

struct BarButton
{
    unsigned id;
    unsigned message;
};

constexpr BarButton kButtons[] = {
    {IDC_PTZ_ZOOM_IN, WM_PTZ_ZOOM_IN},
    {IDC_PTZ_ZOOM_OUT, WM_PTZ_ZOOM_OUT},
    {IDC_PTZ_FOCUS_FAR, WM_PTZ_FOCUS_FAR},
    {IDC_PTZ_FOCUS_NEAR, WM_PTZ_FOCUS_NEAR},
    {IDC_PTZ_PRESET_RECALL, WM_PTZ_PRESET_RECALL},
    {IDC_PTZ_PRESET_SET, WM_PTZ_PRESET_SET},
};
} // namespace

CPTZDlg::CPTZDlg(INotifyWindow& target, QWidget* parent) : CDialog(IDD_PTZ_DLG, parent)
{
    m_speedList = DlgItem<QComboBox>(IDC_PTZ_SPEED);
    m_presetList = DlgItem<QComboBox>(IDC_PTZ_PRESET);
    for (const BarButton& button : kButtons)
    {
        OnCommand(button.id,
                  [&target, message = button.message] { target.SendMessage(message, 0, 0); });
    }
}

bool CPTZDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int preset = PTZ_FIRST_PRESET; preset <= PTZ_LAST_PRESET; ++preset)
    {
        AddComboString(*m_presetList, QStringLiteral("Preset %1").arg(preset));
    }
    m_presetList->setCurrentIndex(0);
    m_speedList->setCurrentIndex(kInitialSpeed);
    return true;
}

void CPTZDlg::OnSize(int, int cy)
{
    const bool twoRows = cy > kRowHeight;
    for (const BarPlace& place : kPlaces)
    {
        MoveDlgItem(place.id, twoRows ? place.twoRowsX : place.oneRowX,
                    twoRows ? place.twoRowsY : 0, place.width, kRowHeight);
    }
}

int CPTZDlg::GetSpeed() const
{
    return m_speedList->currentIndex();
}

int CPTZDlg::GetPreset() const
{
    return m_presetList->currentIndex() + 1;
}
