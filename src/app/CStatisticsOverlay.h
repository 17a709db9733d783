// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/CFrameStatistics.h"

#include <QLabel>
#include <QSize>
#include <QTimer>

class CPictureDisplay;

// A small box over the top-left corner of the view with what the stream
// delivers: frames and kilobits per second over the last second, the picture's
// size and the time since the last frame, and how far back the history reaches
// with the memory it takes. Refreshed while shown.
class CStatisticsOverlay : public QLabel
{
public:
    static constexpr int kRefreshMs = 250;

    CStatisticsOverlay(CPictureDisplay& display, QWidget& view);

    // Shows or hides the box; shown, it is refreshed at once and then every kRefreshMs.
    void SetShown(bool shown);
    // Reads the statistics now and puts them in the text.
    void Refresh();

    const CFrameStatistics::Rates& GetRates() const { return m_rates; }

private:
    CPictureDisplay& m_display;
    QTimer m_timer;
    CFrameStatistics::Rates m_rates;
};
