// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/CAddDVRDlg.h"

#include "directory/DvrEntryRules.h"
#include "directory/QtUserBox.h"
#include "directory/UserName.h"
#include "platform/CDataExchange.h"
#include "platform/ComboBoxItems.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>

#include <algorithm>

CAddDVRDlg::CAddDVRDlg(IMessageBox& messages, QWidget* parent)
    : CDialog(IDD_ADD_DVR_DLG, parent), m_messages(messages)
{
    m_userBox = DlgItem<QComboBox>(IDC_ADDDVR_USER);
    m_channelBox = DlgItem<QComboBox>(IDC_ADDDVR_CHANNEL);
    for (const unsigned id :
         {IDC_ADDDVR_NAME, IDC_ADDDVR_ADDRESS, IDC_ADDDVR_PORT, IDC_ADDDVR_PASSWORD})
    {
        if (auto* edit = DlgItem<QLineEdit>(id))
        {
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[^,\\r\\n]*")), edit));
        }
    }
    // The contents follow the bar however it moves: arrows, pages, thumb, wheel, keys.
    connect(VerticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { FollowScrollBar(value); });
    OnCommand(IDC_ADDDVR_OK, [this] { OnOKButton(); });
    OnCommand(IDC_ADDDVR_CANCEL, [this] { OnCancel(); });
    OnEditChange(IDC_ADDDVR_USER, [this] { OnUserEditChange(); });
}

DvrEntry CAddDVRDlg::Entry() const
{
    return DvrEntry{m_name, m_address, m_port, m_channel, m_user, m_password};
}

void CAddDVRDlg::DoDataExchange(CDataExchange& dx)
{
    dx.Text(IDC_ADDDVR_NAME, m_name, kMaxNameChars);
    dx.Text(IDC_ADDDVR_ADDRESS, m_address, kMaxAddressChars);
    dx.Text(IDC_ADDDVR_PORT, m_port, kMaxPortChars);
    dx.ComboIndex(IDC_ADDDVR_CHANNEL, m_channel);
    dx.ComboString(IDC_ADDDVR_USER, m_user);
    dx.Text(IDC_ADDDVR_PASSWORD, m_password, kMaxPasswordChars);
}

bool CAddDVRDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int n = 1; n <= kChannelCount; ++n)
    {
        AddComboString(*m_channelBox, QString::fromStdU16String(ChannelLabel(n - 1)));
    }
    m_channelBox->setCurrentIndex(0);
    QtUserBox userBox(*m_userBox);
    userBox.SetText(u"ADMIN");
    FillUserNames(userBox);
    m_userBox->setCurrentIndex(0);
    m_fullClient = QRect(0, 0, ClientArea()->width(), height());
    m_nScrollOffset = 0;
    return true;
}

void CAddDVRDlg::OnOKButton()
{
    UpdateData(true);
    // Text set without the keyboard passes the validators, so every stored field is checked again.
    const DvrEntry entry{m_name,
                         m_address,
                         m_port,
                         m_channelBox->currentIndex(),
                         m_userBox->currentText().toStdU16String(),
                         m_password};
    if (FindRefusedField(entry) == DvrEntryField::None)
    {
        m_channel = entry.Channel;
        m_user = entry.User;
        m_bAccepted = true;
        OnOK();
        return;
    }
    m_messages.Show(LoadString(IDS_VERIFY_REQUIRED_FIELDS), u"", MessageBoxIcon::Exclamation,
                    MessageBoxButtons::Ok);
}

void CAddDVRDlg::OnUserEditChange()
{
    QtUserBox userBox(*m_userBox);
    CheckUserBoxEdit(userBox, m_user, m_messages);
}

void CAddDVRDlg::OnSize(int, int cy)
{
    m_nClientHeight = cy;
    const int range = std::max(0, m_fullClient.height() - cy);
    QScrollBar* bar = VerticalScrollBar();
    // A shorter range pulls the bar back, and the contents with it, so a taller
    // window never leaves the top of the contents out of reach.
    bar->setRange(0, range);
    bar->setPageStep(range / 10);
    // The wheel moves by the bar's own step; at least a pixel, so it always scrolls.
    bar->setSingleStep(std::max(1, range / 20));
    bar->setEnabled(range > 0);
}

void CAddDVRDlg::OnVScroll(ScrollCode code, int position)
{
    const int range = m_fullClient.height() - m_nClientHeight;
    const int line = range / 20;
    const int page = range / 10;
    int move = 0;
    switch (code)
    {
    case ScrollCode::LineUp:
    case ScrollCode::PageUp:
        if (m_nScrollOffset <= 0)
        {
            return;
        }
        move = -std::min(code == ScrollCode::LineUp ? line : page, m_nScrollOffset);
        break;
    case ScrollCode::LineDown:
    case ScrollCode::PageDown:
        if (m_nScrollOffset >= range)
        {
            return;
        }
        move = std::min(code == ScrollCode::LineDown ? line : page, range - m_nScrollOffset);
        break;
    case ScrollCode::ThumbPosition:
        move = position - m_nScrollOffset;
        break;
    default:
        return;
    }
    VerticalScrollBar()->setValue(m_nScrollOffset + move);
}

void CAddDVRDlg::FollowScrollBar(int value)
{
    const int move = value - m_nScrollOffset;
    m_nScrollOffset = value;
    if (move != 0)
    {
        ClientArea()->scroll(0, -move);
    }
}
