// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/CAddDVRDlg.h"

#include "platform/MessageBoxSeam.h"
#include "platform/QtMessageBox.h"
#include "res/ResourceIds.h"
#include "support/QtTestApplication.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace
{
const std::u16string kRequired = u"Please verify all the required fields!!";

class AddDVRDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        m_dlg = std::make_unique<CAddDVRDlg>(m_messages);
        m_dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
        m_fullHeight = m_dlg->height();
    }

    QLineEdit* Edit(unsigned id) { return FindControl<QLineEdit>(*m_dlg, id); }
    QComboBox* Combo(unsigned id) { return FindControl<QComboBox>(*m_dlg, id); }
    QScrollBar* Bar() { return m_dlg->VerticalScrollBar(); }
    void ClickOk()
    {
        QTest::mouseClick(FindControl<QPushButton>(*m_dlg, IDC_ADDDVR_OK), Qt::LeftButton);
    }

    void Type(const QString& name, const QString& address, const QString& port)
    {
        QTest::keyClicks(Edit(IDC_ADDDVR_NAME), name);
        QTest::keyClicks(Edit(IDC_ADDDVR_ADDRESS), address);
        QTest::keyClicks(Edit(IDC_ADDDVR_PORT), port);
    }

    void ResizeToHeight(int height)
    {
        m_dlg->resize(m_dlg->width(), height);
        ASSERT_TRUE(ProcessEventsUntil([&] { return m_dlg->ClientArea()->height() == height; }));
    }

    int NameEditTop() { return Edit(IDC_ADDDVR_NAME)->y(); }

    MessageBoxSeam m_seam;
    QtMessageBox m_messages;
    std::unique_ptr<CAddDVRDlg> m_dlg;
    int m_fullHeight = 0;
};
} // namespace

TEST_F(AddDVRDlgTest, OpensEmptyOnChannelOneAndTheAdminUser)
{
    for (const unsigned id :
         {IDC_ADDDVR_NAME, IDC_ADDDVR_ADDRESS, IDC_ADDDVR_PORT, IDC_ADDDVR_PASSWORD})
    {
        EXPECT_EQ(Edit(id)->text(), "") << id;
    }
    QComboBox* channel = Combo(IDC_ADDDVR_CHANNEL);
    ASSERT_EQ(channel->count(), 16);
    EXPECT_EQ(channel->itemText(0), "CH-01");
    EXPECT_EQ(channel->itemText(9), "CH-10");
    EXPECT_EQ(channel->itemText(15), "CH-16");
    EXPECT_EQ(channel->currentText(), "CH-01");
    EXPECT_FALSE(channel->isEditable());
    EXPECT_EQ(Combo(IDC_ADDDVR_USER)->currentText(), "ADMIN");
    EXPECT_EQ(Edit(IDC_ADDDVR_PASSWORD)->echoMode(), QLineEdit::Password);
}

TEST_F(AddDVRDlgTest, OkWithTheRequiredFieldsGivesTheEntry)
{
    Type("Shop", "10.0.0.5", "http");
    Combo(IDC_ADDDVR_CHANNEL)->setCurrentIndex(4);
    ClickOk();
    EXPECT_TRUE(m_seam.ShownTexts().empty());
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), QDialog::Accepted);
    ASSERT_TRUE(m_dlg->IsAccepted());
    const DvrEntry entry = m_dlg->Entry();
    EXPECT_EQ(entry.Name, u"Shop");
    EXPECT_EQ(entry.Address, u"10.0.0.5");
    EXPECT_EQ(entry.Port, u"http");
    EXPECT_EQ(entry.Channel, 4);
    EXPECT_EQ(entry.User, u"ADMIN");
    EXPECT_EQ(entry.Password, u"");
}

TEST_F(AddDVRDlgTest, OkWithARequiredFieldMissingOrAnAddressThatIsNoHostKeepsTheDialogOpen)
{
    const struct
    {
        QString name, address, port;
    } cases[] = {{"", "10.0.0.5", "80"},        {"Shop", "", "80"},
                 {"Shop", "10.0.0.5", ""},      {"Shop", "u@10.0.0.5", "80"},
                 {"Shop", "10.0.0.5/x", "80"},  {"Shop", "host?y", "80"},
                 {"Shop", "10.0.0.5:81", "80"}, {"Shop", "[::1", "80"},
                 {"Shop", "10.0.0.5", "70000"}}; // a port past the last would wrap to 4464
    for (const auto& c : cases)
    {
        for (const unsigned id : {IDC_ADDDVR_NAME, IDC_ADDDVR_ADDRESS, IDC_ADDDVR_PORT})
        {
            Edit(id)->clear();
        }
        m_seam.Clear();
        Type(c.name, c.address, c.port);
        ClickOk();
        EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{kRequired});
        EXPECT_TRUE(m_dlg->isVisible());
        EXPECT_FALSE(m_dlg->IsAccepted());
    }
}

TEST_F(AddDVRDlgTest, FieldsRefuseCommasAndLineBreaksAndStopAtTheirMaximumLengths)
{
    Type("Sh,op", "10.0.0.5,x", "8,0");
    QTest::keyClicks(Edit(IDC_ADDDVR_PASSWORD), "a,b");
    EXPECT_EQ(Edit(IDC_ADDDVR_NAME)->text(), "Shop");
    EXPECT_EQ(Edit(IDC_ADDDVR_ADDRESS)->text(), "10.0.0.5x");
    EXPECT_EQ(Edit(IDC_ADDDVR_PORT)->text(), "80");
    EXPECT_EQ(Edit(IDC_ADDDVR_PASSWORD)->text(), "ab");

    for (const unsigned id : {IDC_ADDDVR_NAME, IDC_ADDDVR_PASSWORD})
    {
        const QString before = Edit(id)->text();
        Edit(id)->setText("a\rb");
        m_seam.Clear();
        ClickOk();
        EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{kRequired})
            << id << ": a line break would split the file line";
        EXPECT_FALSE(m_dlg->IsAccepted());
        Edit(id)->setText(before);
    }

    Edit(IDC_ADDDVR_NAME)->clear();
    Edit(IDC_ADDDVR_PASSWORD)->clear();
    Edit(IDC_ADDDVR_PORT)->clear();
    QTest::keyClicks(Edit(IDC_ADDDVR_NAME), QString(60, 'n'));
    QTest::keyClicks(Edit(IDC_ADDDVR_PORT), "1234567");
    QTest::keyClicks(Edit(IDC_ADDDVR_PASSWORD), "12345678");
    EXPECT_EQ(Edit(IDC_ADDDVR_NAME)->text().size(), 50);
    EXPECT_EQ(Edit(IDC_ADDDVR_PORT)->text(), "12345");
    EXPECT_EQ(Edit(IDC_ADDDVR_PASSWORD)->text(), "123456");
}

TEST_F(AddDVRDlgTest, ScrollStepsFollowTheScrollRange)
{
    const struct
    {
        int range;
        int line;
        int page;
    } cases[] = {{8, 0, 0}, {15, 0, 1}, {60, 3, 6}, {0, 0, 0}};
    const int top = NameEditTop();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.range);
        ResizeToHeight(m_fullHeight - c.range);
        EXPECT_EQ(Bar()->isEnabled(), c.range > 0);
        EXPECT_EQ(Bar()->maximum(), c.range);
        EXPECT_EQ(Bar()->pageStep(), c.page);
        ASSERT_EQ(m_dlg->ScrollOffset(), 0);

        Bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(m_dlg->ScrollOffset(), c.line);
        Bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_EQ(m_dlg->ScrollOffset(), c.line + c.page);
        EXPECT_EQ(NameEditTop(), top - m_dlg->ScrollOffset())
            << "the controls move with the contents";
        EXPECT_EQ(Bar()->value(), m_dlg->ScrollOffset());

        // Dragging the thumb moves the contents only when it is let go.
        Bar()->setSliderDown(true);
        Bar()->setSliderPosition(c.range / 2);
        EXPECT_EQ(m_dlg->ScrollOffset(), c.line + c.page);
        Bar()->setSliderDown(false);
        EXPECT_EQ(m_dlg->ScrollOffset(), c.range / 2);

        Bar()->triggerAction(QAbstractSlider::SliderToMinimum);
        EXPECT_EQ(m_dlg->ScrollOffset(), c.range / 2) << "top, bottom and tracking do not scroll";

        Bar()->setSliderDown(true);
        Bar()->setSliderPosition(0);
        Bar()->setSliderDown(false);
        EXPECT_EQ(NameEditTop(), top);
    }
}

TEST_F(AddDVRDlgTest, LineAndPageScrollingStopExactlyAtBothEnds)
{
    const int top = NameEditTop();
    ResizeToHeight(m_fullHeight - 47); // line 2, page 4: neither divides 47
    for (int i = 0; i < 30; ++i)
    {
        Bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    EXPECT_EQ(m_dlg->ScrollOffset(), 47);
    EXPECT_EQ(NameEditTop(), top - 47);
    for (int i = 0; i < 15; ++i)
    {
        Bar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    }
    EXPECT_EQ(m_dlg->ScrollOffset(), 0);
    EXPECT_EQ(NameEditTop(), top);
}

TEST_F(AddDVRDlgTest, GrowingTallerBringsScrolledContentsBackIntoReach)
{
    const int top = NameEditTop();
    ResizeToHeight(m_fullHeight - 60);
    Bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    Bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_EQ(m_dlg->ScrollOffset(), 12);
    ResizeToHeight(m_fullHeight - 5);
    EXPECT_EQ(m_dlg->ScrollOffset(), 5);
    ResizeToHeight(m_fullHeight + 40);
    EXPECT_EQ(m_dlg->ScrollOffset(), 0);
    EXPECT_FALSE(Bar()->isEnabled());
    EXPECT_EQ(NameEditTop(), top);
}

TEST_F(AddDVRDlgTest, TheContentsFollowTheBarHoweverItMoves)
{
    const int top = NameEditTop();
    ResizeToHeight(m_fullHeight - 60);
    const auto wheelDown = [](QWidget* target)
    {
        QWheelEvent wheel(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    };
    const auto contentsFollow = [&]
    {
        EXPECT_EQ(m_dlg->ScrollOffset(), Bar()->value());
        EXPECT_EQ(NameEditTop(), top - Bar()->value());
    };
    wheelDown(Bar());
    EXPECT_GT(Bar()->value(), 0);
    contentsFollow();
    const int afterOneNotch = Bar()->value();
    wheelDown(m_dlg.get()); // beside the bar, where no control takes the wheel
    EXPECT_GT(Bar()->value(), afterOneNotch);
    contentsFollow();
    Bar()->setValue(7); // as the bar's own "Scroll here" does
    contentsFollow();
}

TEST_F(AddDVRDlgTest, TheUserNameRuleHoldsForTextTypedInTheMiddleToo)
{
    QLineEdit* edit = Combo(IDC_ADDDVR_USER)->lineEdit();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Minus);
    EXPECT_EQ(m_seam.ShownTexts(),
              std::vector<std::u16string>{u"Only alphabet, number and '_' can be entered"});
    EXPECT_EQ(Combo(IDC_ADDDVR_USER)->currentText(), "ADMIN");
    EXPECT_EQ(edit->cursorPosition(), 5);
    QTest::keyClicks(edit, "_operator");
    EXPECT_EQ(Combo(IDC_ADDDVR_USER)->currentText(), "ADMIN_ope") << "nine characters at most";
    Type("Shop", "10.0.0.5", "80");
    ClickOk();
    ASSERT_TRUE(m_dlg->IsAccepted());
    EXPECT_EQ(m_dlg->Entry().User, u"ADMIN_ope");
}
