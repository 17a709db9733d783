// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/CHistoryBudget.h"

#include <algorithm>

size_t CHistoryBudget::GetShare() const
{
    return m_nTotal / std::max<size_t>(m_nHistories, 1);
}
