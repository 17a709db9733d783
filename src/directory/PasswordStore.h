// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// A place for saved logins outside the directory file (the desktop's keyring):
// one secret per directory entry, under a key of the entry's own.
class IPasswordStore
{
public:
    enum class ReadResult
    {
        Found,
        Missing,
        Failed,
    };

    virtual ~IPasswordStore() = default;
    virtual ReadResult Read(const std::u16string& key, std::u16string& secret,
                            std::u16string& error) = 0;
    virtual bool Write(const std::u16string& key, const std::u16string& secret,
                       std::u16string& error) = 0;
    virtual bool Remove(const std::u16string& key, std::u16string& error) = 0;
};
