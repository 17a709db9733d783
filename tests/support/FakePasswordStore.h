// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/PasswordStore.h"

#include <map>
#include <string>

// A keyring that holds what it is given until told to refuse, then refuses
// everything from the given write on.
class FakePasswordStore final : public IPasswordStore
{
public:
    ReadResult Read(const std::u16string& key, std::u16string& secret,
                    std::u16string& error) override
    {
        error = u"refused";
        const auto it = items.find(key);
        return refuse              ? ReadResult::Failed
               : it == items.end() ? ReadResult::Missing
                                   : (secret = it->second, ReadResult::Found);
    }
    bool Write(const std::u16string& key, const std::u16string& secret,
               std::u16string& error) override
    {
        error = u"refused";
        return !refuse && writesLeft-- > 0 && (items[key] = secret, true);
    }
    bool Remove(const std::u16string& key, std::u16string&) override
    {
        items.erase(key);
        return true;
    }

    std::map<std::u16string, std::u16string> items;
    int writesLeft = 1000;
    bool refuse = false;
};
