// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <map>

class CZentrelView;
class QKeyEvent;

// The camera keys (arrows, + and -) of the picture while the PTZ panels are
// shown: a press sends the move, its release the stop. Auto-repeats, a second
// key while one is held, and keys pressed while a camera request waited are
// dropped, and so are those pressed while a panel click's action waited. A focused list, edit or
// button keeps the keys it uses; what it leaves comes up to the view, where these are taken.
class CCameraKeys : public QObject
{
public:
    explicit CCameraKeys(QObject* parent) : QObject(parent) {}

    void Add(int key, unsigned message) { m_messages[key] = message; }
    void SetView(CZentrelView* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void WatchPanelClicks();
    bool OnKey(const QKeyEvent& key);
    bool ControlKeepsKey(const QKeyEvent& key) const;
    void Release(quint64 timestamp);
    bool PressedDuringWait(const QKeyEvent& key) const;
    void Send(unsigned message, bool pressed, quint64 timestamp);

    CZentrelView* m_pView = nullptr;
    std::map<int, unsigned> m_messages;
    int m_nHeldKey = 0;
    unsigned m_nHeldMessage = 0;
    bool m_bSending = false;
    bool m_bStopPending = false; // released while its move was still waiting
    // The stamp of the last input a panel button had: the click that starts its action.
    quint64 m_panelInput = 0;
    // The last camera request's wait, on the clock of the input events that started it.
    quint64 m_waitStart = 0;
    quint64 m_waitEnd = 0;
};
