// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/BusyCursor.h"

// The application's wait cursor. Begins nest; an End without a Begin does nothing.
class QtBusyCursor final : public IBusyCursor
{
public:
    void Begin() override;
    void End() override;
    int Depth() const { return m_nDepth; }

private:
    int m_nDepth = 0; // GUI thread only
};
