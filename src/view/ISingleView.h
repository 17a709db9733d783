// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrConnectInfo.h"
#include "directory/DvrEntry.h"

class CDVRClient;
class CLookBackControl;
class CPictureConnection;
class IPasswordStore;
class QWidget;

// The single view as the wall sees it: the one connection a tile opens in. The
// wall sits below the program, so it reaches the program's view only through this.
class ISingleView
{
public:
    virtual QWidget& GetWidget() = 0;
    virtual CDVRClient& GetClient() = 0;
    // Its picture: the client's display, and the marks painted over it.
    virtual CPictureConnection& GetPictureConnection() = 0;
    virtual const DvrConnectInfo& GetConnectInfo() const = 0;
    // Where the saved logins are kept when not in the directory file; none: in the file.
    virtual IPasswordStore* GetPasswordStore() const = 0;
    virtual void ConnectTo(const DvrEntry& entry) = 0;
    // Where the view looks back to; a tile opened while the wall looks back goes on from its moment.
    virtual CLookBackControl& GetLookBack() = 0;

protected:
    ~ISingleView() = default;
};
