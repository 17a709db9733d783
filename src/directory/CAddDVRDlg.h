// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrEntry.h"
#include "platform/CDialog.h"
#include "platform/MessageBox.h"

#include <QRect>

#include <string>

class QComboBox;

// "ADD DVR": the user enters a new directory entry. The caller adds the entry
// only when the dialog ends accepted through its own OK button.
class CAddDVRDlg : public CDialog
{
public:
    explicit CAddDVRDlg(IMessageBox& messages, QWidget* parent = nullptr);

    bool IsAccepted() const { return m_bAccepted; }
    DvrEntry Entry() const;

    // How far the contents are scrolled up, in pixels.
    int ScrollOffset() const { return m_nScrollOffset; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    void OnSize(int cx, int cy) override;
    void OnVScroll(ScrollCode code, int position) override;

private:
    void OnOKButton();
    void OnUserEditChange();
    void FollowScrollBar(int value);

    IMessageBox& m_messages;
    std::u16string m_name;
    std::u16string m_address;
    std::u16string m_port;
    int m_channel = 0;
    QComboBox* m_userBox = nullptr;
    QComboBox* m_channelBox = nullptr;
    std::u16string m_password;
    std::u16string m_user;
    bool m_bAccepted = false;
    QRect m_fullClient;
    int m_nScrollOffset = 0;
    int m_nClientHeight = 0;
};
