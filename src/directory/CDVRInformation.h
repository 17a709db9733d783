// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrConnectInfo.h"
#include "platform/CDialog.h"

// "DVR Information": the connection in use, read-only; the password is never shown.
class CDVRInformation : public CDialog
{
public:
    explicit CDVRInformation(QWidget* parent = nullptr);

    // Copies the whole record; call before the dialog runs.
    void SetInfo(const DvrConnectInfo& info);

protected:
    bool OnInitDialog() override;

private:
    DvrConnectInfo m_info{};
};
