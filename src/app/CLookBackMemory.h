// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <filesystem>

class CHistoryBudget;
class IMenuItems;

// The Look-Back Memory items: one of them checked, the program's history
// budget set to it, and the choice kept in the viewer's settings.
class CLookBackMemory : public QObject
{
public:
    CLookBackMemory(QObject& parent, const IMenuItems& items, CHistoryBudget& budget,
                    std::filesystem::path settingsFile);
};
