// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CLookBackMemory.h"

#include "history/CHistoryBudget.h"
#include "res/ResourceIds.h"
#include "view/IMenuItems.h"
#include "view/ViewerSettings.h"

#include <QAction>
#include <QActionGroup>

#include <iterator>

CLookBackMemory::CLookBackMemory(QObject& parent, const IMenuItems& items,
                                 CHistoryBudget& budget, std::filesystem::path settingsFile)
    : QObject(&parent)
{
    const size_t kept = LoadLookBackMemory(*OpenViewerSettings(settingsFile));
    budget.SetTotal(kept);
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    for (size_t i = 0; i < std::size(kLookBackMemoryChoices); ++i)
    {
        QAction* item = items.FindAction(ID_LOOKBACK_MEMORY_FIRST + static_cast<unsigned>(i));
        const size_t bytes = kLookBackMemoryChoices[i];
        item->setCheckable(true);
        item->setChecked(bytes == kept);
        group->addAction(item);
        connect(item, &QAction::triggered, this,
                [&budget, bytes, settingsFile]
                {
                    budget.SetTotal(bytes);
                    SaveLookBackMemory(*OpenViewerSettings(settingsFile), bytes);
                });
    }
}
