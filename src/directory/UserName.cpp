// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/UserName.h"

#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <algorithm>

bool IsUserNameChar(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
           c == u'_';
}

void FillUserNames(IUserBox& box)
{
    for (const char16_t* name : {u"ADMIN", u"USER_1", u"USER_2", u"USER_3", u"USER_4", u"USER_5"})
    {
        box.AddString(name);
    }
}

void CheckUserBoxEdit(IUserBox& box, std::u16string& user, IMessageBox& messages)
{
    box.LimitText(kMaxUserChars);
    user = box.GetText();
    const auto rejected =
        std::remove_if(user.begin(), user.end(), [](char16_t c) { return !IsUserNameChar(c); });
    if (rejected == user.end())
    {
        return;
    }
    user.erase(rejected, user.end());
    messages.Show(LoadString(IDS_USER_NAME_CHARACTERS), u"", MessageBoxIcon::Exclamation,
                  MessageBoxButtons::Ok);
    box.SetText(user);
    const int end = static_cast<int>(user.size());
    box.SetEditSel(end, end);
}
