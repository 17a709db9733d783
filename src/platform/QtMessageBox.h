// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBox.h"

#include <string>

// The program's one message box. An empty caption gives "Quillon". Asked from
// another thread, the box is shown on the GUI thread while the caller waits.
// Tests see and answer every box through MessageBoxSeam.
class QtMessageBox final : public IMessageBox
{
public:
    MessageBoxAnswer Show(const std::u16string& text, const std::u16string& caption = u"",
                          MessageBoxIcon icon = MessageBoxIcon::Exclamation,
                          MessageBoxButtons buttons = MessageBoxButtons::Ok) override;
};
