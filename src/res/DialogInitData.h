// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

// Strings a dialog's list controls receive when the dialog is created, before
// its own initialisation runs, in the order given.
struct DialogInitString
{
    unsigned controlId;
    const char16_t* text;
};

// The initialisation strings of the template with the given id; empty when it has none.
std::span<const DialogInitString> FindDialogInitData(unsigned templateId);
