// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/CConnectDlg.h"

#include "directory/DvrDirectory.h"
#include "directory/QtUserBox.h"
#include "directory/StoredPasswords.h"
#include "directory/UserName.h"
#include "platform/CDataExchange.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QTreeWidget>

#include <algorithm>

namespace
{
struct ListColumn
{
    const char* header;
    int width;
};

constexpr ListColumn kListColumns[kColumnCount] = {
    {"Name", 70}, {"Address", 100}, {"Port", 50}, {"CH", 20}, {"User", 50},
};

struct Placement
{
    unsigned id;
    int right;  // x = width - right
    int bottom; // y = height - bottom
    int cx;
    int cy;
};

// Every control keeps its distance from the bottom-right corner, in portrait and landscape alike.
constexpr Placement kPlacements[] = {
    {IDC_CONNECT_CONNECT, 133, 25, 60, 20},
    {IDC_CONNECT_CANCEL, 65, 25, 60, 20},
    {IDC_CONNECT_PASSWORD_LABEL, 208, 54, 100, 26},
    {IDC_CONNECT_PASSWORD, 108, 54, 100, 26},
    {IDC_CONNECT_USER_LABEL, 208, 83, 100, 26},
    {IDC_CONNECT_USER, 108, 83, 100, 156},
    {IDC_CONNECT_ADD, 133, 106, 60, 20},
    {IDC_CONNECT_DELETE, 65, 106, 60, 20},
};

void ShowOk(IMessageBox& messages, unsigned id)
{
    messages.Show(LoadString(id), u"", MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
}
} // namespace

CConnectDlg::CConnectDlg(std::filesystem::path directoryFile, IMessageBox& messages,
                         QWidget* parent, AddDialogRunner runAddDialog, IPasswordStore* passwords)
    : CDialog(IDD_CONNECT_DLG, parent), m_directoryFile(std::move(directoryFile)),
      m_messages(messages),
      m_runAddDialog(runAddDialog ? std::move(runAddDialog)
                                  : [](CAddDVRDlg& dlg) { return dlg.DoModal(); }),
      m_pPasswords(passwords)
{
    m_userBox = DlgItem<QComboBox>(IDC_CONNECT_USER);
    m_list = DlgItem<QTreeWidget>(IDC_CONNECT_LIST);
    m_list->viewport()->installEventFilter(this);
    // Whatever moves the view's highlight or its current item (any button, the
    // keyboard, a drag), the current row follows, so Connect and Delete act on
    // the row shown; whatever would leave no row shown puts the current one back.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { FollowList(); });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { FollowList(); });
    OnCommand(IDC_CONNECT_CONNECT, [this] { OnConnect(); });
    OnCommand(IDC_CONNECT_CANCEL, [this] { OnCancelButton(); });
    OnCommand(IDC_CONNECT_ADD, [this] { OnAdd(); });
    OnCommand(IDC_CONNECT_DELETE, [this] { OnDelete(); });
    OnEditChange(IDC_CONNECT_USER, [this] { OnUserEditChange(); });
}

void CConnectDlg::DoDataExchange(CDataExchange& dx)
{
    dx.Text(IDC_CONNECT_PASSWORD, m_result.Password, kMaxPasswordChars);
    dx.ComboString(IDC_CONNECT_USER, m_result.User);
}

bool CConnectDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    QtUserBox userBox(*m_userBox);
    FillUserNames(userBox);
    m_userBox->setCurrentIndex(0);
    InitListColumns();
    LoadDirectory(m_rows, m_directoryFile, m_messages);
    std::u16string error;
    if (m_pPasswords != nullptr)
    {
        m_loadedKeys = StoredPasswordKeys(m_rows);
        if (!FillFromStore(m_rows, *m_pPasswords, error))
        {
            m_messages.Show(LoadString(IDS_KEYRING_READ_FAILED) + u"\n" + error, u"",
                            MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
        }
    }
    RefreshList();
    SelectRow(m_nCurrentRow);
    return true;
}

void CConnectDlg::InitListColumns()
{
    m_list->setColumnCount(kColumnCount);
    auto* header = new QTreeWidgetItem();
    for (int column = 0; column < kColumnCount; ++column)
    {
        header->setText(column, QString::fromLatin1(kListColumns[column].header));
        header->setTextAlignment(column, Qt::AlignCenter);
    }
    m_list->setHeaderItem(header);
    // The style's minimum would widen the narrow "CH" column.
    m_list->header()->setMinimumSectionSize(1);
    for (int column = 0; column < kColumnCount; ++column)
    {
        m_list->setColumnWidth(column, kListColumns[column].width);
    }
    m_list->header()->setStretchLastSection(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
}

void CConnectDlg::RefreshList()
{
    const QScopedValueRollback updating(m_bUpdatingList, true);
    m_list->clear();
    for (const DvrRow& row : m_rows.Rows)
    {
        auto* item = new QTreeWidgetItem(m_list);
        for (int column = 0; column < kColumnCount; ++column)
        {
            item->setText(column, QString::fromStdU16String(row.Columns[column]));
            item->setTextAlignment(column, Qt::AlignCenter);
        }
    }
}

bool CConnectDlg::HasRow(int row) const
{
    return row >= 0 && row < static_cast<int>(m_rows.Rows.size());
}

void CConnectDlg::SelectRow(int row)
{
    const QScopedValueRollback updating(m_bUpdatingList, true);
    m_list->clearSelection();
    if (HasRow(row))
    {
        QTreeWidgetItem* item = m_list->topLevelItem(row);
        m_list->setCurrentItem(item);
        item->setSelected(true);
    }
}

void CConnectDlg::CopyCurrentRow()
{
    SelectRow(m_nCurrentRow);
    if (!HasRow(m_nCurrentRow))
    {
        return;
    }
    const DvrRow& row = m_rows.Rows[m_nCurrentRow];
    m_result.Name = row.Columns[kColumnName];
    m_result.Address = row.Columns[kColumnAddress];
    m_result.Port = row.Columns[kColumnPort];
    m_result.Channel = RowChannel(row);
    if (!row.Columns[kColumnUser].empty())
    {
        m_result.User = row.Columns[kColumnUser];
        m_result.Password = row.Password;
        m_userBox->setEditText(QString::fromStdU16String(m_result.User));
        if (auto* password = DlgItem<QLineEdit>(IDC_CONNECT_PASSWORD))
        {
            password->setText(QString::fromStdU16String(m_result.Password));
        }
    }
}

bool CConnectDlg::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched != m_list->viewport() ||
        (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
         type != QEvent::MouseButtonRelease))
    {
        return CDialog::eventFilter(watched, event);
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
    if (type == QEvent::MouseButtonRelease)
    {
        if (index.isValid())
        {
            OnListClick(index.row());
        }
        return CDialog::eventFilter(watched, event);
    }
    // A press beside the rows must not let the view clear the selection.
    return !index.isValid() || CDialog::eventFilter(watched, event);
}

void CConnectDlg::FollowList()
{
    if (m_bUpdatingList)
    {
        return;
    }
    const auto rowOf = [this](QTreeWidgetItem* item)
    { return item != nullptr ? m_list->indexOfTopLevelItem(item) : -1; };
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    const int selectedRow = selected.size() == 1 ? rowOf(selected.front()) : -1;
    const int viewCurrent = rowOf(m_list->currentItem());
    if (HasRow(selectedRow) && selectedRow != m_nCurrentRow)
    {
        OnListClick(selectedRow);
    }
    else if (HasRow(viewCurrent) && viewCurrent != m_nCurrentRow)
    {
        OnListClick(viewCurrent);
    }
    else if (selectedRow != m_nCurrentRow || viewCurrent != m_nCurrentRow)
    {
        SelectRow(m_nCurrentRow);
    }
}

void CConnectDlg::OnListClick(int row)
{
    m_nCurrentRow = row;
    CopyCurrentRow();
}

void CConnectDlg::OnAdd()
{
    CAddDVRDlg dlg(m_messages, this);
    if (m_runAddDialog(dlg) != QDialog::Accepted || !dlg.IsAccepted())
    {
        return;
    }
    const DvrEntry entry = dlg.Entry();
    AddEntry(m_rows, entry, m_messages);
    m_result.Address = entry.Address;
    m_result.Port = entry.Port;
    m_result.Channel = entry.Channel;
    m_result.User = entry.User;
    m_result.Password = entry.Password;
    RefreshList();
    m_nCurrentRow = static_cast<int>(m_rows.Rows.size()) - 1;
    SelectRow(m_nCurrentRow);
}

void CConnectDlg::OnDelete()
{
    if (m_rows.Rows.empty())
    {
        return;
    }
    if (m_messages.Show(LoadString(IDS_CONFIRM_DELETE_DVR), u"", MessageBoxIcon::Exclamation,
                        MessageBoxButtons::YesNo) != MessageBoxAnswer::Yes)
    {
        return;
    }
    if (HasRow(m_nCurrentRow))
    {
        m_rows.Rows.erase(m_rows.Rows.begin() + m_nCurrentRow);
    }
    m_result.Password.clear();
    UpdateData(false);
    if (m_nCurrentRow > 0)
    {
        --m_nCurrentRow;
    }
    else if (!m_rows.Rows.empty())
    {
        m_nCurrentRow = 0;
    }
    RefreshList();
    SelectRow(m_nCurrentRow);
}

void CConnectDlg::OnUserEditChange()
{
    QtUserBox userBox(*m_userBox);
    CheckUserBoxEdit(userBox, m_result.User, m_messages);
}

void CConnectDlg::OnConnect()
{
    UpdateData(true);
    if (m_rows.Rows.empty())
    {
        ShowOk(m_messages, IDS_NO_DVR_CONNECTION);
        return;
    }
    if (m_result.Password.empty())
    {
        ShowOk(m_messages, IDS_VERIFY_REQUIRED_FIELDS);
        return;
    }
    CopyCurrentRow();
    if (!Save())
    {
        return;
    }
    m_bConnect = true;
    OnOK();
}

void CConnectDlg::OnCancelButton()
{
    if (Save())
    {
        EndDialog(QDialog::Rejected);
    }
}

void CConnectDlg::OnClose()
{
    if (Save())
    {
        CDialog::OnClose();
    }
}

bool CConnectDlg::Save()
{
    // Nothing of an unreadable file is in the rows: the dialog ends as asked, saving nothing.
    if (!m_rows.ReadFailure.empty())
    {
        m_messages.Show(m_rows.ReadFailure, u"", MessageBoxIcon::Exclamation,
                        MessageBoxButtons::Ok);
        return true;
    }
    // Every login goes where the switch says or nowhere new: a keyring that refuses
    // leaves the file and the keyring as they were, and the dialog open.
    std::u16string error;
    const DvrRowList withLogins = m_rows;
    StoreSnapshot before;
    if (m_pPasswords != nullptr && !MoveIntoStore(m_rows, *m_pPasswords, error, &before))
    {
        m_messages.Show(LoadString(IDS_FILE_WRITE_ERROR) + u"\n" + error, u"",
                        MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
        return false;
    }
    // A deleted entry takes its login along, once the file no longer has the entry;
    // an entry added again later must not find the old login waiting.
    std::vector<std::u16string> gone = m_loadedKeys;
    std::erase_if(gone, [kept = StoredPasswordKeys(m_rows)](const std::u16string& key)
                  { return std::find(kept.begin(), kept.end(), key) != kept.end(); });
    if (SaveDirectory(m_rows, m_directoryFile))
    {
        for (const std::u16string& key : gone)
        {
            m_pPasswords->Remove(key, error);
        }
        return true;
    }
    // The rows stay, logins and all, so the user can try again or leave without saving.
    if (m_pPasswords != nullptr)
    {
        RestoreStore(before, *m_pPasswords, error);
        m_rows = withLogins;
    }
    ShowOk(m_messages, IDS_FILE_WRITE_ERROR);
    return false;
}

void CConnectDlg::OnSize(int cx, int cy)
{
    for (const Placement& p : kPlacements)
    {
        MoveDlgItem(p.id, cx - p.right, cy - p.bottom, p.cx, p.cy);
    }
    MoveDlgItem(IDC_CONNECT_LIST, 5, 0, cx - 10, cy - 109);
}
