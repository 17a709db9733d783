// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CReceiverMessageBox.h"

#include "net/CStreamReceiver.h"

MessageBoxAnswer CReceiverMessageBox::Show(const std::u16string& text,
                                           const std::u16string& caption, MessageBoxIcon icon,
                                           MessageBoxButtons buttons)
{
    if (CStreamReceiver* receiver = CStreamReceiver::OnThisThread())
    {
        return receiver->ShowBox(m_box, text, caption, icon, buttons);
    }
    return m_box.Show(text, caption, icon, buttons);
}
