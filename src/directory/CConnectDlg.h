// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/CAddDVRDlg.h"
#include "directory/DvrEntry.h"
#include "directory/DvrRowList.h"
#include "directory/PasswordStore.h"
#include "platform/CDialog.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QTreeWidget;

// "Connect DVR": the directory as a list; the user picks, adds or deletes DVRs
// and asks to connect. The file is read when the dialog opens and written when
// it ends through Connect, Cancel or the close request.
class CConnectDlg : public CDialog
{
public:
    // Runs the Add DVR dialog and returns its modal result; DoModal by default.
    using AddDialogRunner = std::function<int(CAddDVRDlg&)>;

    // With a password store, the saved logins live there instead of in the file.
    CConnectDlg(std::filesystem::path directoryFile, IMessageBox& messages,
                QWidget* parent = nullptr, AddDialogRunner runAddDialog = {},
                IPasswordStore* passwords = nullptr);

    // Set only when the dialog ended through Connect; then Result() is the entry to connect to.
    bool IsConnectRequested() const { return m_bConnect; }
    const DvrEntry& Result() const { return m_result; }
    int CurrentRow() const { return m_nCurrentRow; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    void OnSize(int cx, int cy) override;
    void OnClose() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitListColumns();
    void RefreshList();
    void SelectRow(int row);
    void CopyCurrentRow();
    bool HasRow(int row) const;
    bool Save();

    void FollowList();
    void OnListClick(int row);
    void OnAdd();
    void OnDelete();
    void OnConnect();
    void OnCancelButton();
    void OnUserEditChange();

    std::filesystem::path m_directoryFile;
    IMessageBox& m_messages;
    AddDialogRunner m_runAddDialog;
    IPasswordStore* m_pPasswords;
    std::vector<std::u16string> m_loadedKeys; // the store's keys of the rows as loaded
    QComboBox* m_userBox = nullptr;
    QTreeWidget* m_list = nullptr;
    DvrRowList m_rows;
    DvrEntry m_result;
    int m_nCurrentRow = 0;
    bool m_bConnect = false;
    bool m_bUpdatingList = false; // the program, not the user, is changing the list
};
