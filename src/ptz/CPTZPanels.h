// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/PictureRect.h"
#include "ptz/CPTZArrowDlg.h"
#include "ptz/CPTZDlg.h"

#include <QPointer>

class INotifyWindow;
class QWidget;

// The five PTZ panels of the view: an arrow panel at each edge of the picture
// and the bar along the bottom. They are child widgets of the view, above its
// own painting, so frames painted into the view never cover them. Their clicks
// go to `target` (the view) synchronously, as WM_PTZ_* with both parameters 0.
class CPTZPanels
{
public:
    // Creates the five panels hidden, in the order Left, Up, Right, Down, bar.
    CPTZPanels(QWidget& view, INotifyWindow& target);
    ~CPTZPanels();

    CPTZPanels(const CPTZPanels&) = delete;
    CPTZPanels& operator=(const CPTZPanels&) = delete;

    // Places the panels around the picture rectangle `P` of a cx × cy client area.
    void LayoutPanels(const PictureRect& P, int cx, int cy);
    // Lays the panels out, then shows them.
    void ShowPanels(const PictureRect& P, int cx, int cy);
    // Hides the panels and has the view repaint where they were.
    void HidePanels();
    // Destroys the five panels once the event loop is back; the set is then
    // empty and shows nothing.
    void DestroyPanels();

    // The bar's speed selection (0–3) and preset number (1–99), read now.
    int GetSpeed() const;
    int GetPreset() const;
    bool IsShown() const { return m_bShown; }

    // The panels, for tests; null once destroyed.
    CPTZLeftDlg* Left() const { return m_pLeft; }
    CPTZTopDlg* Up() const { return m_pUp; }
    CPTZRightDlg* Right() const { return m_pRight; }
    CPTZBottomDlg* Down() const { return m_pDown; }
    CPTZDlg* Bar() const { return m_pBar; }

private:
    QWidget& m_view;
    // Guarded pointers: the view deletes its children if it goes first.
    QPointer<CPTZLeftDlg> m_pLeft;
    QPointer<CPTZTopDlg> m_pUp;
    QPointer<CPTZRightDlg> m_pRight;
    QPointer<CPTZBottomDlg> m_pDown;
    QPointer<CPTZDlg> m_pBar;
    bool m_bShown = false;
};
