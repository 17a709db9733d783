#include "app/WindowPlacement.h"
#include "app/CMainFrame.h"
#include "app/CZentrelApp.h"
#include "support/QtTestApplication.h"
#include "support/TempFolder.h"

#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace
{
class WindowPlacementTest : public ::testing::Test
{
protected:
    void SetUp() override { TestApplication(); }

    CMainFrame& Start(AppSettings settings = {})
    {
        settings.directoryFile = m_folder.Path() / "IPList.db";
        settings.settingsFile = SettingsFile();
        m_app = std::make_unique<CZentrelApp>(settings);
        EXPECT_TRUE(m_app->InitInstance());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_app->GetMainFrame()));
        return *m_app->GetMainFrame();
    }
    std::filesystem::path SettingsFile() const { return m_folder.Path() / "quillon.conf"; }
    static QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    TempFolder m_folder;
    std::unique_ptr<CZentrelApp> m_app;
};
} // namespace

TEST_F(WindowPlacementTest, ASizeLargerThanTheScreenIsShrunkOntoIt)
{
    const QSize larger = Available().size() + QSize(256, 120);
    for (const QSize& size : {QSize(1280, 720), larger, QSize(640, 400)})
    {
        AppSettings settings;
        settings.windowSize = size;
        const CMainFrame& frame = Start(settings);
        const QRect placed = frame.frameGeometry();
        EXPECT_TRUE(Available().contains(placed))
            << size.width() << "x" << size.height() << " at " << placed.x() << "," << placed.y()
            << " " << placed.width() << "x" << placed.height();
        if (size == QSize(640, 400))
        {
            EXPECT_EQ(frame.size(), size);
        }
        m_app.reset();
    }
}

TEST_F(WindowPlacementTest, APlaceOffEveryScreenComesBackOnOne)
{
    {
        QMainWindow elsewhere;
        elsewhere.setGeometry(Available().right() + 2000, Available().bottom() + 1500, 400, 300);
        QSettings settings(QString::fromStdString(SettingsFile().string()), QSettings::IniFormat);
        SaveWindowPlacement(elsewhere, settings);
    }
    const CMainFrame& frame = Start();
    EXPECT_TRUE(Available().contains(frame.frameGeometry()))
        << frame.frameGeometry().x() << "," << frame.frameGeometry().y();
    EXPECT_EQ(frame.size(), QSize(400, 300));
}
