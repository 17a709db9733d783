// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The editable User combo box of the directory dialogs, as the user-name rules
// see it; the Qt layer adapts its combo box to this.
class IUserBox
{
public:
    virtual ~IUserBox() = default;
    virtual void LimitText(int maxChars) = 0;
    virtual std::u16string GetText() const = 0;
    virtual void SetText(const std::u16string& text) = 0;
    virtual void SetEditSel(int start, int end) = 0;
    virtual void AddString(const std::u16string& text) = 0;
};
