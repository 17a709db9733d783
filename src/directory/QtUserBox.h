// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/UserBox.h"

class QComboBox;

// A User combo box as the user-name rules see it.
class QtUserBox final : public IUserBox
{
public:
    explicit QtUserBox(QComboBox& box);

    void LimitText(int maxChars) override;
    std::u16string GetText() const override;
    void SetText(const std::u16string& text) override;
    void SetEditSel(int start, int end) override;
    void AddString(const std::u16string& text) override;

private:
    QComboBox& m_box;
};
