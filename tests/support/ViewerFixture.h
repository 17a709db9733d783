// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DvrSimulator.h"
#include "app/CMainFrame.h"
#include "app/CZentrelApp.h"
#include "app/CZentrelView.h"
#include "directory/CConnectDlg.h"
#include "res/ResourceIds.h"
#include "support/ModalDriver.h"
#include "support/QtTestApplication.h"
#include "support/TempFolder.h"
#include "wall/CWallSwitcher.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>

inline bool IsLogout(const DvrRequestRecord& request)
{
    return request.method == "POST" && request.body.find("&OP=5") != std::string::npos;
}

inline bool IsLogin(const DvrRequestRecord& request)
{
    return request.method == "Get";
}

// The whole program against the simulator, driven through its menus and dialogs.
class ViewerFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        DvrSimSettings settings;
        settings.channelCount = 4;
        settings.videoLossMask = 1u << 2; // CH-03
        settings.framesPerSecond = 25;
        StartDvr(settings);
    }

    void StartDvr(const DvrSimSettings& settings)
    {
        m_dvr = std::make_unique<DvrSimulator>(settings);
        ASSERT_TRUE(m_dvr->Start());
    }

    void TearDown() override { m_app.reset(); }

    std::u16string Port() const { return FromNumber(m_dvr->GetPort()); }
    static std::u16string FromNumber(unsigned n)
    {
        const std::string text = std::to_string(n);
        return std::u16string(text.begin(), text.end());
    }

    void StartViewer(const std::u16string& directory, AppSettings settings = {})
    {
        WriteBytes(DirectoryFile(), Utf16Le(directory));
        settings.directoryFile = DirectoryFile();
        settings.timeouts = m_timeouts;
        if (settings.settingsFile.empty())
        {
            settings.settingsFile = SettingsFile();
        }
        m_app = std::make_unique<CZentrelApp>(settings);
        ASSERT_TRUE(m_app->InitInstance());
        Frame().resize(320, 260);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
    }

    std::filesystem::path DirectoryFile() const { return m_folder.Path() / "IPList.db"; }
    // Apart from the directory's folder, whose files some tests count.
    std::filesystem::path SettingsFile() const { return m_configFolder.Path() / "quillon.conf"; }
    CMainFrame& Frame() { return *m_app->GetMainFrame(); }
    CZentrelView& View() { return *m_app->GetView(); }
    QAction& Item(unsigned id) { return *Frame().FindAction(id); }
    QAction& Channel(int channel) { return Item(ID_CHANNEL_FIRST + channel); }

    // Menu > Connect, then a click on the row and on "Connect" in the real dialog;
    // `then` acts on what opens next.
    void ConnectToRow(int row, ModalDriver::Step then = {})
    {
        m_driver.Then(
            [row](QWidget& modal)
            {
                auto* dialog = dynamic_cast<CConnectDlg*>(&modal);
                if (dialog == nullptr)
                {
                    return false;
                }
                auto* list = FindControl<QTreeWidget>(*dialog, IDC_CONNECT_LIST);
                const QRect rect = list->visualItemRect(list->topLevelItem(row));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
                QTest::mouseClick(FindControl<QPushButton>(*dialog, IDC_CONNECT_CONNECT),
                                  Qt::LeftButton);
                return true;
            });
        if (then)
        {
            m_driver.Then(std::move(then));
        }
        Item(ID_CONNECT).trigger();
    }

    // A directory of one DVR on the simulator, connected through the dialog and painting,
    // the window active so that keys reach it.
    void ConnectAndWatch(const std::u16string& name = u"Gate", AppSettings settings = {})
    {
        StartViewer(name + u",127.0.0.1," + Port() + u",0,ADMIN,1234\n", std::move(settings));
        ConnectToRow(0);
        ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }));
        Frame().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    }

    // The DVR's first four channels on a 2 x 2 wall in a window of 640 x 520; a DVR that
    // does not answer its logout holds a change of tiles for a second at most.
    void WatchTwoByTwoWall(AppSettings settings = {})
    {
        settings.wall.logoutWait = std::chrono::seconds(1);
        ConnectAndWatch(u"Gate", std::move(settings));
        Frame().resize(640, 520);
        Item(ID_LAYOUT_2X2).trigger();
        ASSERT_EQ(m_app->GetWallSwitcher()->GetWall().GetTileCount(), 4);
    }

    // The view as the user sees it: how much of it is not the black background.
    double PictureShare()
    {
        const QImage image = View().grab().toImage();
        int lit = 0;
        for (int y = 0; y < image.height(); y += 4)
        {
            for (int x = 0; x < image.width(); x += 4)
            {
                lit += qGray(image.pixel(x, y)) > 16 ? 1 : 0;
            }
        }
        return double(lit) / ((image.height() / 4 + 1) * (image.width() / 4 + 1));
    }

    QSize CommittedPictureSize()
    {
        QSize size;
        View().GetClient().GetPictureDisplay().PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect&)
            { size = QSize(picture.GetWidth(), picture.GetHeight()); });
        return size;
    }

    size_t Count(bool (*match)(const DvrRequestRecord&))
    {
        const auto requests = m_dvr->GetRequests();
        return std::count_if(requests.begin(), requests.end(), match);
    }

    DvrClientTimeouts m_timeouts{std::chrono::seconds(5), std::chrono::seconds(5)};
    TempFolder m_folder;
    TempFolder m_configFolder;
    std::unique_ptr<DvrSimulator> m_dvr;
    ModalDriver m_driver;
    std::unique_ptr<CZentrelApp> m_app;
};
