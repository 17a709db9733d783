// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/PasswordStore.h"

#include <QString>

// The desktop's keyring (the Secret Service) through QtKeychain. Each call waits
// for the keyring's answer, handling events meanwhile, as a modal box would.
class QtKeychainStore final : public IPasswordStore
{
public:
    explicit QtKeychainStore(QString service = QStringLiteral("quillon"));

    ReadResult Read(const std::u16string& key, std::u16string& secret,
                    std::u16string& error) override;
    bool Write(const std::u16string& key, const std::u16string& secret,
               std::u16string& error) override;
    bool Remove(const std::u16string& key, std::u16string& error) override;

private:
    QString m_service;
};
