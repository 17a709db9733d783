// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <filesystem>

class CMainFrame;
class CZentrelView;
class IMessageBox;
class IPasswordStore;
class QAction;

// Whether "Keep Passwords in Keyring" is on in the settings file (empty: the user's).
bool KeepsPasswordsInKeyring(const std::filesystem::path& settingsFile = {});

// "Keep Passwords in Keyring": on, the directory's saved logins move into the
// password store and Connect reads them there; off, they move back into the
// file. A move that fails is told, changes nothing, and leaves the item as it was.
class CKeyringSwitch : public QObject
{
public:
    CKeyringSwitch(CMainFrame& frame, CZentrelView& view, IMessageBox& messages,
                   IPasswordStore& store, std::filesystem::path settingsFile,
                   std::filesystem::path directoryFile);

private:
    void OnToggled(bool on);

    CZentrelView& m_view;
    IMessageBox& m_messages;
    IPasswordStore& m_store;
    const std::filesystem::path m_settingsFile;
    const std::filesystem::path m_directoryFile;
    QAction* m_pItem;
};
