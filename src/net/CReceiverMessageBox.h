// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBox.h"

// The box the client's decoder is given. Asked for on a receiver thread, a box
// is handed over as the receiver's notifications are, so that none opens inside
// a command's wait; asked for on any other thread, it goes straight through.
class CReceiverMessageBox : public IMessageBox
{
public:
    explicit CReceiverMessageBox(IMessageBox& box) : m_box(box) {}

    MessageBoxAnswer Show(const std::u16string& text, const std::u16string& caption,
                          MessageBoxIcon icon, MessageBoxButtons buttons) override;

private:
    IMessageBox& m_box;
};
