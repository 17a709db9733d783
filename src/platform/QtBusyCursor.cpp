// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtBusyCursor.h"

#include <QApplication>
#include <QCursor>

void QtBusyCursor::Begin()
{
    ++m_nDepth;
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void QtBusyCursor::End()
{
    if (m_nDepth == 0)
    {
        return;
    }
    --m_nDepth;
    QApplication::restoreOverrideCursor();
}
