// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptz/CPTZPanels.h"

#include "platform/NotifyWindow.h"
#include "platform/WindowMessages.h"
#include "ptz/PTZCommand.h"
#include "res/ResourceIds.h"
#include "support/QtTestApplication.h"

#include <QComboBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
using Texts = std::vector<std::u16string>;

// Stands in for the view: paints red where frames would go, and turns each
// notification into its request texts at once, reading the bar as the view does.
class FakeView : public QWidget, public INotifyWindow
{
public:
    FakeView(int cx, int cy) : panels(std::make_unique<CPTZPanels>(*this, *this))
    {
        resize(cx, cy);
        show();
    }

    intptr_t SendMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override
    {
        EXPECT_TRUE(wParam == 0 && lParam == 0);
        messages.push_back(message);
        if (const auto action = PTZActionOfMessage(message))
        {
            requests = PTZActionRequests(action->code, action->recall, panels->GetSpeed(),
                                         panels->GetPreset());
        }
        return 0;
    }

    std::unique_ptr<CPTZPanels> panels;
    std::vector<unsigned> messages;
    Texts requests;
    QRect lastPaint;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        lastPaint = event->rect();
        QPainter(this).fillRect(rect(), Qt::red);
    }
};

// Each control's place in the bar: x in one row; x and y in two rows; width.
void ExpectBarRows(CPTZDlg& bar, bool twoRows)
{
    const int places[][5] = {
        {IDC_PTZ_ZOOM_IN, 0, 0, 0, 20},
        {IDC_PTZ_ZOOM_OUT, 21, 21, 0, 20},
        {IDC_PTZ_FOCUS_FAR, 43, 43, 0, 20},
        {IDC_PTZ_FOCUS_NEAR, 64, 64, 0, 20},
        {IDC_PTZ_SPEED, 86, 0, 20, 70},
        {IDC_PTZ_PRESET, 157, 71, 20, 70},
        {IDC_PTZ_PRESET_RECALL, 228, 143, 20, 20},
        {IDC_PTZ_PRESET_SET, 249, 164, 20, 20},
    };
    for (const auto& p : places)
    {
        const QRect place = bar.GetDlgItem(p[0])->geometry();
        EXPECT_EQ(place.topLeft(), twoRows ? QPoint(p[2], p[3]) : QPoint(p[1], 0)) << p[0];
        EXPECT_EQ(place.width(), p[4]) << p[0];
        EXPECT_TRUE(place.height() >= 16 && place.height() <= 19) << p[0];
    }
}

QPushButton* Button(CDialog* panel, unsigned id)
{
    return FindControl<QPushButton>(*panel, id);
}
} // namespace

TEST(PTZPanelsTest, PanelsAreLaidOutAroundThePictureToThePixel)
{
    TestApplication();
    const struct
    {
        int cx, cy;
        PictureRect P;
        QPoint left, up, right, down; // each 42 × 19
        QRect bar;
    } cases[] = {
        // Portrait with a 320 × 240 picture: a two-row bar below the picture.
        {240, 268, {0, 44, 240, 224}, {0, 124}, {99, 44}, {198, 124}, {99, 205}, {0, 230, 240, 38}},
        // Landscape: the one-row bar covers the bottom row, Down sits on it.
        {320, 188, {0, 0, 320, 188}, {0, 84}, {139, 0}, {278, 84}, {139, 150}, {0, 169, 320, 19}},
        // Square: one row, and Down shares the picture's bottom row with the bar.
        {240, 240, {0, 0, 240, 240}, {0, 110}, {99, 0}, {198, 110}, {99, 221}, {0, 221, 240, 19}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.cx * 1000 + c.cy);
        FakeView view(c.cx, c.cy);
        CPTZPanels& panels = *view.panels;
        panels.ShowPanels(c.P, c.cx, c.cy);
        EXPECT_EQ(panels.Left()->geometry(), QRect(c.left, QSize(42, 19)));
        EXPECT_EQ(panels.Up()->geometry(), QRect(c.up, QSize(42, 19)));
        EXPECT_EQ(panels.Right()->geometry(), QRect(c.right, QSize(42, 19)));
        EXPECT_EQ(panels.Down()->geometry(), QRect(c.down, QSize(42, 19)));
        EXPECT_EQ(panels.Bar()->geometry(), c.bar);
        ExpectBarRows(*panels.Bar(), c.bar.height() > 19);
        // A relayout for another shape switches the bar's rows.
        view.resize(c.cy, c.cx);
        panels.LayoutPanels({0, 0, c.cy, c.cx}, c.cy, c.cx);
        ExpectBarRows(*panels.Bar(), c.cy < c.cx);
    }
}

TEST(PTZPanelsTest, PanelsAreHiddenChildrenUntilShownAndFramesNeverCoverThem)
{
    TestApplication();
    FakeView view(240, 268);
    CPTZPanels& panels = *view.panels;
    const std::vector<QWidget*> all = {panels.Left(), panels.Up(), panels.Right(), panels.Down(),
                                       panels.Bar()};
    EXPECT_FALSE(panels.IsShown());
    for (QWidget* panel : all)
    {
        EXPECT_TRUE(panel->parentWidget() == &view && !panel->isWindow() && !panel->isVisible());
    }

    panels.ShowPanels({0, 44, 240, 224}, 240, 268);
    EXPECT_TRUE(panels.IsShown());
    const QImage shot = view.grab().toImage();
    for (QWidget* panel : all)
    {
        EXPECT_TRUE(panel->isVisible());
        // The view paints red everywhere; each panel must show its own pixels on top.
        const QPoint inside = panel->geometry().topLeft() + QPoint(3, 3);
        EXPECT_NE(shot.pixelColor(inside), QColor(Qt::red)) << inside.x() << "," << inside.y();
    }
    EXPECT_EQ(shot.pixelColor(120, 100), QColor(Qt::red));

    // Return and Escape belong to no panel: they must not hide one.
    QTest::keyClick(panels.Bar(), Qt::Key_Escape);
    QTest::keyClick(panels.Left(), Qt::Key_Return);
    EXPECT_TRUE(panels.Bar()->isVisible() && panels.Left()->isVisible());

    ASSERT_TRUE(ProcessEventsUntil([&] { return !view.lastPaint.isNull(); }));
    view.lastPaint = QRect();
    panels.HidePanels();
    EXPECT_FALSE(panels.IsShown());
    for (QWidget* panel : all)
    {
        EXPECT_FALSE(panel->isVisible());
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return view.lastPaint == view.rect(); }));

    // Showing again places them for the current size.
    view.resize(320, 188);
    panels.ShowPanels({0, 0, 320, 188}, 320, 188);
    EXPECT_EQ(panels.Bar()->geometry(), QRect(0, 169, 320, 19));

    panels.DestroyPanels();
    EXPECT_TRUE(!panels.IsShown() && panels.Bar() == nullptr);
    // Gone once the loop is back, as after a click whose handler destroyed them.
    EXPECT_EQ(view.findChildren<CDialog*>().size(), 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.findChildren<CDialog*>().isEmpty());
    panels.DestroyPanels();
}

TEST(PTZPanelsTest, EachButtonClickSendsItsOneMessageAtOnce)
{
    TestApplication();
    FakeView view(320, 188);
    CPTZPanels& panels = *view.panels;
    panels.ShowPanels({0, 0, 320, 188}, 320, 188);
    const struct
    {
        CDialog* panel;
        unsigned id;
        unsigned message;
        Texts requests;
    } cases[] = {
        {panels.Left(), IDC_PTZ_LEFT, WM_PTZ_LEFT, {u"5S2", u"8"}},
        {panels.Up(), IDC_PTZ_UP, WM_PTZ_UP, {u"6S2", u"8"}},
        {panels.Right(), IDC_PTZ_RIGHT, WM_PTZ_RIGHT, {u"4S2", u"8"}},
        {panels.Down(), IDC_PTZ_DOWN, WM_PTZ_DOWN, {u"7S2", u"8"}},
        {panels.Bar(), IDC_PTZ_ZOOM_IN, WM_PTZ_ZOOM_IN, {u"0S2", u"8"}},
        {panels.Bar(), IDC_PTZ_ZOOM_OUT, WM_PTZ_ZOOM_OUT, {u"1S2", u"8"}},
        {panels.Bar(), IDC_PTZ_FOCUS_FAR, WM_PTZ_FOCUS_FAR, {u"2S2", u"8"}},
        {panels.Bar(), IDC_PTZ_FOCUS_NEAR, WM_PTZ_FOCUS_NEAR, {u"3S2", u"8"}},
        {panels.Bar(), IDC_PTZ_PRESET_RECALL, WM_PTZ_PRESET_RECALL, {u"9G1"}},
        {panels.Bar(), IDC_PTZ_PRESET_SET, WM_PTZ_PRESET_SET, {u"9S1"}},
    };
    for (const auto& c : cases)
    {
        QPushButton* button = Button(c.panel, c.id);
        // Click inside the part of the button that its panel shows.
        const QRect shown = button->rect().intersected(
            QRect(button->mapFrom(c.panel, QPoint(0, 0)), c.panel->size()));
        view.messages.clear();
        QTest::mouseClick(button, Qt::LeftButton, {}, shown.center());
        EXPECT_EQ(view.messages, std::vector<unsigned>{c.message}) << c.id;
        EXPECT_EQ(view.requests, c.requests) << c.id;
    }
}

TEST(PTZPanelsTest, SpeedAndPresetFollowTheListsWithoutSendingAnything)
{
    TestApplication();
    FakeView view(240, 268);
    CPTZPanels& panels = *view.panels;
    QComboBox* speed = FindControl<QComboBox>(*panels.Bar(), IDC_PTZ_SPEED);
    QComboBox* preset = FindControl<QComboBox>(*panels.Bar(), IDC_PTZ_PRESET);
    EXPECT_TRUE(!speed->isEditable() && !preset->isEditable());
    ASSERT_EQ(speed->count(), 4);
    const QStringList speeds = {"Slow", "Normal", "Fast", "Very Fast"};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(speed->itemText(i), speeds[i]);
    }
    ASSERT_EQ(preset->count(), 99);
    EXPECT_EQ(preset->itemText(98), "Preset 99");
    // Initialised on creation, before anything shows the bar.
    EXPECT_EQ(speed->currentText(), "Fast");
    EXPECT_EQ(preset->currentText(), "Preset 1");
    EXPECT_TRUE(panels.GetSpeed() == 2 && panels.GetPreset() == 1);

    panels.ShowPanels({0, 44, 240, 224}, 240, 268);
    QTest::keyClick(speed, Qt::Key_Down);
    EXPECT_EQ(speed->currentText(), "Very Fast");
    EXPECT_EQ(panels.GetSpeed(), 3);
    for (int i = 0; i < 11; ++i)
    {
        QTest::keyClick(preset, Qt::Key_Down);
    }
    EXPECT_EQ(preset->currentText(), "Preset 12");
    EXPECT_EQ(panels.GetPreset(), 12);
    EXPECT_TRUE(view.messages.empty());
    QTest::mouseClick(Button(panels.Bar(), IDC_PTZ_PRESET_RECALL), Qt::LeftButton);
    EXPECT_EQ(view.requests, Texts{u"9G12"});

    QTest::keyClick(preset, Qt::Key_End);
    QTest::keyClick(speed, Qt::Key_Home);
    EXPECT_TRUE(panels.GetPreset() == 99 && panels.GetSpeed() == 0);
    QTest::mouseClick(Button(panels.Bar(), IDC_PTZ_PRESET_SET), Qt::LeftButton);
    EXPECT_EQ(view.requests, Texts{u"9S99"});
    QTest::mouseClick(Button(panels.Bar(), IDC_PTZ_FOCUS_NEAR), Qt::LeftButton);
    EXPECT_EQ(view.requests, (Texts{u"3S0", u"8"}));
}
