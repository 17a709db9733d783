// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/CDVRInformation.h"

#include "directory/DvrEntry.h"
#include "res/ResourceIds.h"

#include <QLineEdit>

namespace
{
// "CH-01" for the lowest of bits 0 to 15 set in the mask, or empty for none.
QString ChannelText(uint32_t channelMask)
{
    for (int n = 0; n < 16; ++n)
    {
        if ((channelMask & (1u << n)) != 0)
        {
            return QString::fromStdU16String(ChannelLabel(n));
        }
    }
    return {};
}
} // namespace

CDVRInformation::CDVRInformation(QWidget* parent) : CDialog(IDD_DVR_INFORMATION, parent)
{
    OnCommand(IDC_INFO_OK, [this] { OnOK(); });
}

void CDVRInformation::SetInfo(const DvrConnectInfo& info)
{
    m_info = info;
}

bool CDVRInformation::OnInitDialog()
{
    CDialog::OnInitDialog();
    const auto setText = [this](unsigned id, const QString& text)
    {
        if (auto* edit = DlgItem<QLineEdit>(id))
        {
            edit->setText(text);
        }
    };
    setText(IDC_INFO_NAME, QString::fromStdU16String(FieldText(m_info.Name)));
    setText(IDC_INFO_ADDRESS, QString::fromStdU16String(FieldText(m_info.Address)));
    setText(IDC_INFO_PORT, QString::number(m_info.Port));
    setText(IDC_INFO_USER, QString::fromStdU16String(FieldText(m_info.User)));
    setText(IDC_INFO_CHANNEL, ChannelText(m_info.ChannelMask));
    return true;
}
