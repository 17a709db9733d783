// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/UserBox.h"
#include "platform/MessageBox.h"

#include <string>

constexpr int kMaxUserChars = 9;

// "0"-"9", "A"-"Z", "a"-"z" and "_"; nothing else.
bool IsUserNameChar(char16_t c);

// ADMIN, USER_1 ... USER_5, in this order.
void FillUserNames(IUserBox& box);

// Runs on every edit of a User box. The whole text is checked, so pasted text
// and characters typed in the middle obey the rule too: every rejected
// character is removed with one message, and the caret goes to the end.
// `user` is the dialog's text that mirrors the box.
void CheckUserBoxEdit(IUserBox& box, std::u16string& user, IMessageBox& messages);
