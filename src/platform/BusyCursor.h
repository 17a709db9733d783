// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The busy cursor of the application. Begin and End may be called from the GUI
// thread only; the Qt side nests them.
class IBusyCursor
{
public:
    virtual ~IBusyCursor() = default;
    virtual void Begin() = 0;
    virtual void End() = 0;
};
