// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CAboutDlg.h"

#include "res/ResourceIds.h"

#include <QEvent>

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(IDD_ABOUTBOX, parent), m_nTemplate(IDD_ABOUTBOX)
{
    if (parent != nullptr)
    {
        parent->window()->installEventFilter(this);
    }
    LayoutForOrientation();
}

void CAboutDlg::OnSize(int, int)
{
    LayoutForOrientation();
}

bool CAboutDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
    {
        LayoutForOrientation();
    }
    return CDialog::eventFilter(watched, event);
}

// The main window stands for the screen: on a phone it fills it and turns with
// it, and on a desktop it is what the user turns.
void CAboutDlg::LayoutForOrientation()
{
    const QWidget* reference = parentWidget() != nullptr ? parentWidget()->window() : this;
    const unsigned wanted =
        reference->width() < reference->height() ? IDD_ABOUTBOX : IDD_ABOUTBOX_WIDE;
    if (wanted != m_nTemplate)
    {
        m_nTemplate = wanted;
        RelayoutFromTemplate(wanted);
        const DialogTemplate* layout = FindDialogTemplate(wanted);
        resize(Units().ToPixelsX(layout->cx), Units().ToPixelsY(layout->cy));
    }
}
