// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

class QLabel;

// What the empty view shows: the logo and one line that says how to begin. A
// click or a tap on either does what the line says. The line is a real label, so
// screen readers read it.
class CConnectHint final : public QWidget
{
public:
    CConnectHint(QWidget& view, std::function<void()> onClick);

    // The line for a directory with entries, or for an empty one.
    void SetDirectoryEmpty(bool empty);
    QLabel& Logo() const { return *m_pLogo; }
    QLabel& Line() const { return *m_pLine; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_onClick;
    QLabel* m_pLogo; // children
    QLabel* m_pLine;
};
