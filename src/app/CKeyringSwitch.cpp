// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CKeyringSwitch.h"

#include "app/CMainFrame.h"
#include "app/CZentrelView.h"
#include "directory/StoredPasswords.h"
#include "platform/MessageBox.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "view/ViewerSettings.h"

#include <QAction>
#include <QSignalBlocker>

namespace
{
const QString kKeyringKey = QStringLiteral("KeepPasswordsInKeyring");
} // namespace

bool KeepsPasswordsInKeyring(const std::filesystem::path& settingsFile)
{
    return OpenViewerSettings(settingsFile)->value(kKeyringKey, false).toBool();
}

CKeyringSwitch::CKeyringSwitch(CMainFrame& frame, CZentrelView& view, IMessageBox& messages,
                               IPasswordStore& store, std::filesystem::path settingsFile,
                               std::filesystem::path directoryFile)
    : QObject(&frame), m_view(view), m_messages(messages), m_store(store),
      m_settingsFile(std::move(settingsFile)), m_directoryFile(std::move(directoryFile)),
      m_pItem(frame.FindAction(ID_KEEP_PASSWORDS_IN_KEYRING))
{
    const bool on = KeepsPasswordsInKeyring(m_settingsFile);
    m_pItem->setCheckable(true);
    m_pItem->setChecked(on);
    m_view.SetPasswordStore(on ? &m_store : nullptr);
    connect(m_pItem, &QAction::toggled, this, [this](bool on) { OnToggled(on); });
}

void CKeyringSwitch::OnToggled(bool on)
{
    std::u16string error;
    const bool moved = on ? MoveFileLoginsIntoStore(m_directoryFile, m_store, error)
                          : MoveFileLoginsOutOfStore(m_directoryFile, m_store, error);
    if (!moved)
    {
        const QSignalBlocker quiet(m_pItem);
        m_pItem->setChecked(!on);
        m_messages.Show(LoadString(on ? IDS_KEYRING_MOVE_IN_FAILED : IDS_KEYRING_MOVE_OUT_FAILED) +
                            u"\n" + error,
                        u"", MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
        return;
    }
    OpenViewerSettings(m_settingsFile)->setValue(kKeyringKey, on);
    m_view.SetPasswordStore(on ? &m_store : nullptr);
}
