// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/DialogInitData.h"

#include "res/ResourceIds.h"

namespace
{
constexpr DialogInitString kPTZBarInit[] = {
    {IDC_PTZ_SPEED, u"Slow"},
    {IDC_PTZ_SPEED, u"Normal"},
    {IDC_PTZ_SPEED, u"Fast"},
    {IDC_PTZ_SPEED, u"Very Fast"},
};
} // namespace

std::span<const DialogInitString> FindDialogInitData(unsigned templateId)
{
    if (templateId == IDD_PTZ_DLG)
    {
        return kPTZBarInit;
    }
    return {};
}
