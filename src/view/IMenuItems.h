// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAction;

// The frame's menu items by their command ids, for the parts below the program
// that add their own handlers to them.
class IMenuItems
{
public:
    // Null for an id the menu does not have.
    virtual QAction* FindAction(unsigned id) const = 0;

protected:
    ~IMenuItems() = default;
};
