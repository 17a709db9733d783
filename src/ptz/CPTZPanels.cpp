// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptz/CPTZPanels.h"

#include <QWidget>

#include <array>

namespace
{
constexpr int kArrowWidth = 42;
constexpr int kRowHeight = 19;
constexpr int kInitialSpeed = 2;  // "Fast"
constexpr int kInitialPreset = 1; // "Preset 1"

void Place(QWidget* panel, int x, int y, int cx, int cy)
{
    if (panel != nullptr)
    {
        panel->setGeometry(x, y, cx, cy);
        panel->update();
    }
}
} // namespace

CPTZPanels::CPTZPanels(QWidget& view, INotifyWindow& target) : m_view(view)
{
    m_pLeft = new CPTZLeftDlg(target, &view);
    m_pUp = new CPTZTopDlg(target, &view);
    m_pRight = new CPTZRightDlg(target, &view);
    m_pDown = new CPTZBottomDlg(target, &view);
    m_pBar = new CPTZDlg(target, &view);
    for (CDialog* panel : std::array<CDialog*, 5>{m_pLeft, m_pUp, m_pRight, m_pDown, m_pBar})
    {
        panel->Create();
    }
}

CPTZPanels::~CPTZPanels()
{
    DestroyPanels();
}

void CPTZPanels::LayoutPanels(const PictureRect& P, int cx, int cy)
{
    const int pictureWidth = P.right - P.left;
    const int middleY = P.top + (P.bottom - P.top - kRowHeight) / 2;
    const int centreX = (pictureWidth - kArrowWidth) / 2;
    // A portrait view has room for a two-row bar below the picture; in a landscape
    // or square view the one-row bar covers the picture's bottom row.
    const int barHeight = cx < cy ? 2 * kRowHeight : kRowHeight;
    const int downY = cx > cy ? P.bottom - 2 * kRowHeight : P.bottom - kRowHeight;
    Place(m_pLeft, P.left, middleY, kArrowWidth, kRowHeight);
    Place(m_pUp, centreX, P.top, kArrowWidth, kRowHeight);
    Place(m_pRight, P.right - kArrowWidth, middleY, kArrowWidth, kRowHeight);
    Place(m_pDown, centreX, downY, kArrowWidth, kRowHeight);
    Place(m_pBar, 0, cy - barHeight, cx, barHeight);
}

void CPTZPanels::ShowPanels(const PictureRect& P, int cx, int cy)
{
    LayoutPanels(P, cx, cy);
    for (QWidget* panel : std::array<QWidget*, 5>{m_pLeft, m_pUp, m_pRight, m_pDown, m_pBar})
    {
        if (panel != nullptr)
        {
            panel->raise();
            panel->show();
        }
    }
    m_bShown = true;
}

void CPTZPanels::HidePanels()
{
    for (QWidget* panel : std::array<QWidget*, 5>{m_pLeft, m_pUp, m_pRight, m_pDown, m_pBar})
    {
        if (panel != nullptr)
        {
            panel->hide();
        }
    }
    m_view.update();
    m_bShown = false;
}

// Deleted later: the call may come from inside a panel's own click.
void CPTZPanels::DestroyPanels()
{
    for (QWidget* panel : std::array<QWidget*, 5>{m_pLeft, m_pUp, m_pRight, m_pDown, m_pBar})
    {
        if (panel != nullptr)
        {
            panel->hide();
            panel->deleteLater();
        }
    }
    m_pLeft = nullptr;
    m_pUp = nullptr;
    m_pRight = nullptr;
    m_pDown = nullptr;
    m_pBar = nullptr;
    m_bShown = false;
}

int CPTZPanels::GetSpeed() const
{
    return m_pBar != nullptr ? m_pBar->GetSpeed() : kInitialSpeed;
}

int CPTZPanels::GetPreset() const
{
    return m_pBar != nullptr ? m_pBar->GetPreset() : kInitialPreset;
}
