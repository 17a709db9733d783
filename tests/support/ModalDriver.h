// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

// Acts on the modal dialogs and boxes the program opens, from inside their own
// event loops, as a person at the screen would. Steps run in order, each on the
// modal widget on top, until it says it is done; boxes that no step takes are
// answered OK at once unless told to stay open.
class ModalDriver : public QObject
{
public:
    using Step = std::function<bool(QWidget& modal)>;

    ModalDriver()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(2);
    }

    void Then(Step step) { m_steps.push_back(std::move(step)); }
    bool Idle() const { return m_steps.empty(); }
    QStringList BoxTexts() const { return m_boxTexts; }
    int BoxCount(const QString& text) const { return static_cast<int>(m_boxTexts.count(text)); }
    void ClearBoxTexts() { m_boxTexts.clear(); }

    bool answerBoxes = true;

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || m_bBusy)
        {
            return;
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box != nullptr && !box->property("seenByDriver").toBool())
        {
            box->setProperty("seenByDriver", true);
            m_boxTexts << box->text();
        }
        // A step may open a dialog of its own; its loop polls again meanwhile.
        m_bBusy = true;
        if (!m_steps.empty())
        {
            if (m_steps.front()(*modal))
            {
                m_steps.pop_front();
            }
        }
        else if (box != nullptr && answerBoxes)
        {
            box->button(QMessageBox::Ok)->click();
        }
        m_bBusy = false;
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    QStringList m_boxTexts;
    bool m_bBusy = false;
};
