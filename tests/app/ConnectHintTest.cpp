// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "app/CConnectHint.h"
#include "display/LogoResource.h"

#include <QAccessible>
#include <QLabel>

namespace
{
class ConnectHintTest : public ViewerFixture
{
protected:
    CConnectHint& Hint() { return View().GetConnectHint(); }
    QString SpokenLine()
    {
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(&Hint().Line());
        return spoken != nullptr ? spoken->text(QAccessible::Name) : QString();
    }
    QRect InView(const QWidget& child) { return {child.mapTo(&View(), QPoint()), child.size()}; }
    // A click on the line; `inDialog` acts in the Connect DVR dialog it opens.
    bool ClickTheLine(const std::function<void(CConnectDlg&)>& inDialog)
    {
        bool opened = false;
        m_driver.Then(
            [&](QWidget& modal)
            {
                auto* dialog = dynamic_cast<CConnectDlg*>(&modal);
                opened = dialog != nullptr;
                if (opened)
                {
                    inDialog(*dialog);
                }
                return opened;
            });
        QTest::mouseClick(&Hint().Line(), Qt::LeftButton);
        return ProcessEventsUntil([&] { return m_driver.Idle(); }) && opened;
    }
};
} // namespace

TEST_F(ConnectHintTest, AnEmptyViewShowsTheLogoAndWhatToDoUntilAPictureShows)
{
    StartViewer(u"");
    ASSERT_TRUE(Hint().isVisible());
    EXPECT_EQ(SpokenLine(), "Menu \u203a Connect \u203a Connect, then Add, to enter your DVR");
    // The logo as the display has it, at its own size, and the line beneath it, both painted.
    QImage logo;
    ASSERT_TRUE(logo.loadFromData(kLogoJpeg, static_cast<int>(kLogoJpegLength), "JPG"));
    const QImage painted = View().grab().toImage();
    QRect logoAt(QPoint(), logo.size());
    logoAt.moveCenter(InView(Hint().Logo()).center());
    const auto count = [&](const QRect& area, const auto& passes)
    {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
        {
            for (int x = area.left(); x <= area.right(); ++x)
            {
                n += passes(QPoint(x, y));
            }
        }
        return n;
    };
    EXPECT_GT(count(logoAt,
                    [&](QPoint at) {
                        return std::abs(qGray(painted.pixel(at)) -
                                        qGray(logo.pixel(at - logoAt.topLeft()))) < 24;
                    }),
              logo.width() * logo.height() * 9 / 10);
    EXPECT_GT(
        count(InView(Hint().Line()), [&](QPoint at) { return qGray(painted.pixel(at)) > 64; }), 50);
    EXPECT_TRUE(ClickTheLine([](CConnectDlg& dialog) { dialog.reject(); }));
    EXPECT_TRUE(Hint().isVisible());

    // A phone in portrait, 720 x 1440 pixels at a scale of 2: the line is whole on it.
    m_app.reset();
    StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    Frame().resize(360, 720);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Hint().Line().width() < 360; }));
    const QLabel& label = Hint().Line();
    EXPECT_EQ(SpokenLine(), "Menu \u203a Connect to watch a DVR");
    EXPECT_TRUE(label.contentsRect().contains(label.fontMetrics().boundingRect(
        label.contentsRect(), Qt::AlignCenter | Qt::TextWordWrap, label.text())));
    EXPECT_TRUE(View().rect().contains(InView(label)));
    EXPECT_TRUE(View().rect().contains(InView(Hint().Logo())));

    ASSERT_TRUE(ClickTheLine(
        [](CConnectDlg& dialog)
        {
            auto* list = FindControl<QTreeWidget>(dialog, IDC_CONNECT_LIST);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->topLevelItem(0)).center());
            QTest::mouseClick(FindControl<QPushButton>(dialog, IDC_CONNECT_CONNECT),
                              Qt::LeftButton);
        }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }));
    EXPECT_FALSE(Hint().isVisible());
    Item(ID_DISCONNECT).trigger();
    EXPECT_TRUE(Hint().isVisible());
    ConnectToRow(0);
    EXPECT_FALSE(Hint().isVisible());
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 1; }));
    // A DVR that goes away leaves the view empty again, once the box is answered.
    m_dvr.reset();
    EXPECT_TRUE(ProcessEventsUntil([&] { return Hint().isVisible() && m_driver.Idle(); }, 10000));
    EXPECT_EQ(m_driver.BoxTexts(), QStringList{"Can't connect the DVR."});
}
