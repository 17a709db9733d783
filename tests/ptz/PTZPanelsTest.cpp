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
// Stands in for the view: paints a solid colour as frames would, and turns each
// notification into its request texts the way the view does, at once.
class FakeView : public QWidget, public INotifyWindow
{
public:
    FakeView(int cx, int cy)
    {
        resize(cx, cy);
        panels = std::make_unique<CPTZPanels>(*this, *this);
    }

    intptr_t SendMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override
    {
        EXPECT_EQ(wParam, 0u);
        EXPECT_EQ(lParam, 0);
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
    std::vector<std::u16string> requests;
    int paints = 0;
    QRect lastPaint;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        lastPaint = event->rect();
        QPainter(this).fillRect(rect(), Qt::red);
    }
};

QRect R(const PictureRect& p)
{
    return QRect(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1));
}

void ExpectBarRows(CPTZDlg& bar, bool twoRows)
{
    const struct
    {
        unsigned id;
        QPoint oneRow, twoRows;
        int width;
    } places[] = {
        {IDC_PTZ_ZOOM_IN, {0, 0}, {0, 0}, 20},
        {IDC_PTZ_ZOOM_OUT, {21, 0}, {21, 0}, 20},
        {IDC_PTZ_FOCUS_FAR, {43, 0}, {43, 0}, 20},
        {IDC_PTZ_FOCUS_NEAR, {64, 0}, {64, 0}, 20},
        {IDC_PTZ_SPEED, {86, 0}, {0, 20}, 70},
        {IDC_PTZ_PRESET, {157, 0}, {71, 20}, 70},
        {IDC_PTZ_PRESET_RECALL, {228, 0}, {143, 20}, 20},
        {IDC_PTZ_PRESET_SET, {249, 0}, {164, 20}, 20},
    };
    for (const auto& p : places)
    {
        QWidget* control = bar.GetDlgItem(p.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->mapTo(&bar, QPoint(0, 0)), twoRows ? p.twoRows : p.oneRow) << p.id;
        EXPECT_EQ(control->width(), p.width) << p.id;
        EXPECT_LE(control->height(), 19) << p.id;
        EXPECT_GE(control->height(), 16) << p.id;
    }
}
} // namespace

TEST(PTZPanelsTest, PanelsAreLaidOutAroundThePictureToThePixel)
{
    TestApplication();
    const struct
    {
        int cx, cy;
        PictureRect P;
        QRect left, up, right, down, bar;
        bool twoRows;
    } cases[] = {
        // Portrait with a 320 × 240 picture: a two-row bar below the picture.
        {240,
         268,
         {0, 44, 240, 224},
         {0, 124, 42, 19},
         {99, 44, 42, 19},
         {198, 124, 42, 19},
         {99, 205, 42, 19},
         {0, 230, 240, 38},
         true},
        // Landscape: the one-row bar covers the bottom row, Down sits on it.
        {320,
         188,
         {0, 0, 320, 188},
         {0, 84, 42, 19},
         {139, 0, 42, 19},
         {278, 84, 42, 19},
         {139, 150, 42, 19},
         {0, 169, 320, 19},
         false},
        // Square: one row, and Down shares the bottom row with the bar.
        {240,
         240,
         {0, 0, 240, 240},
         {0, 110, 42, 19},
         {99, 0, 42, 19},
         {198, 110, 42, 19},
         {99, 221, 42, 19},
         {0, 221, 240, 19},
         false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.cx * 1000 + c.cy);
        FakeView view(c.cx, c.cy);
        view.show();
        CPTZPanels& panels = *view.panels;
        panels.ShowPanels(c.P, c.cx, c.cy);
        EXPECT_EQ(panels.Left()->geometry(), c.left);
        EXPECT_EQ(panels.Up()->geometry(), c.up);
        EXPECT_EQ(panels.Right()->geometry(), c.right);
        EXPECT_EQ(panels.Down()->geometry(), c.down);
        EXPECT_EQ(panels.Bar()->geometry(), c.bar);
        ExpectBarRows(*panels.Bar(), c.twoRows);
        // The panels cover the picture they are laid out on, not the reverse.
        EXPECT_TRUE(R(c.P).contains(panels.Left()->geometry()));
        EXPECT_TRUE(R(c.P).contains(panels.Right()->geometry()));
    }
}

TEST(PTZPanelsTest, TheBarSwitchesRowsWhenItsHeightChanges)
{
    TestApplication();
    FakeView view(320, 188);
    view.show();
    view.panels->ShowPanels({0, 0, 320, 188}, 320, 188);
    ExpectBarRows(*view.panels->Bar(), false);
    view.resize(240, 268);
    view.panels->LayoutPanels({0, 44, 240, 224}, 240, 268);
    ExpectBarRows(*view.panels->Bar(), true);
    view.resize(320, 188);
    view.panels->LayoutPanels({0, 0, 320, 188}, 320, 188);
    ExpectBarRows(*view.panels->Bar(), false);
}

TEST(PTZPanelsTest, PanelsAreHiddenChildrenUntilShownAndFramesNeverCoverThem)
{
    TestApplication();
    FakeView view(240, 268);
    view.show();
    CPTZPanels& panels = *view.panels;
    const std::vector<QWidget*> all = {panels.Left(), panels.Up(), panels.Right(), panels.Down(),
                                       panels.Bar()};
    EXPECT_FALSE(panels.IsShown());
    for (QWidget* panel : all)
    {
        EXPECT_EQ(panel->parentWidget(), &view);
        EXPECT_FALSE(panel->isWindow());
        EXPECT_FALSE(panel->isVisible());
    }

    panels.ShowPanels({0, 44, 240, 224}, 240, 268);
    EXPECT_TRUE(panels.IsShown());
    const QImage shot = view.grab().toImage();
    for (QWidget* panel : all)
    {
        EXPECT_TRUE(panel->isVisible());
        const QPoint inside = panel->geometry().topLeft() + QPoint(3, 3);
        EXPECT_NE(view.childAt(inside), nullptr);
        // The view paints red everywhere; a panel must show its own pixels on top.
        EXPECT_NE(shot.pixelColor(inside), QColor(Qt::red)) << inside.x() << "," << inside.y();
    }
    EXPECT_EQ(shot.pixelColor(120, 100), QColor(Qt::red));

    // Return and Escape belong to no panel: they must not hide one.
    QTest::keyClick(panels.Bar(), Qt::Key_Escape);
    QTest::keyClick(panels.Left(), Qt::Key_Return);
    EXPECT_TRUE(panels.Bar()->isVisible());
    EXPECT_TRUE(panels.Left()->isVisible());

    ASSERT_TRUE(ProcessEventsUntil([&] { return view.paints > 0; }));
    view.paints = 0;
    panels.HidePanels();
    EXPECT_FALSE(panels.IsShown());
    for (QWidget* panel : all)
    {
        EXPECT_FALSE(panel->isVisible());
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return view.paints > 0; }));
    EXPECT_EQ(view.lastPaint, view.rect());

    // Hidden panels keep their place; showing again lays them out for the new size.
    view.resize(320, 188);
    EXPECT_EQ(panels.Bar()->geometry(), QRect(0, 230, 240, 38));
    panels.ShowPanels({0, 0, 320, 188}, 320, 188);
    EXPECT_EQ(panels.Bar()->geometry(), QRect(0, 169, 320, 19));

    panels.DestroyPanels();
    EXPECT_FALSE(panels.IsShown());
    EXPECT_EQ(panels.Bar(), nullptr);
    EXPECT_TRUE(view.findChildren<CDialog*>().isEmpty());
    panels.DestroyPanels();
    EXPECT_EQ(panels.GetSpeed(), 2);
}

TEST(PTZPanelsTest, EachButtonClickSendsItsOneMessageAtOnce)
{
    TestApplication();
    FakeView view(320, 188);
    view.show();
    CPTZPanels& panels = *view.panels;
    panels.ShowPanels({0, 0, 320, 188}, 320, 188);
    const struct
    {
        CDialog* panel;
        unsigned id;
        unsigned message;
        std::vector<std::u16string> requests;
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
        auto* button = FindControl<QPushButton>(*c.panel, c.id);
        ASSERT_NE(button, nullptr) << c.id;
        // Click inside the part of the button its panel shows.
        const QRect visible = button->rect().intersected(
            QRect(button->mapFrom(c.panel, QPoint(0, 0)), c.panel->size()));
        view.messages.clear();
        QTest::mouseClick(button, Qt::LeftButton, {}, visible.center());
        EXPECT_EQ(view.messages, std::vector<unsigned>{c.message}) << c.id;
        EXPECT_EQ(view.requests, c.requests) << c.id;
    }
    // A press alone sends nothing: a button acts on its click.
    view.messages.clear();
    QTest::mousePress(FindControl<QPushButton>(*panels.Left(), IDC_PTZ_LEFT), Qt::LeftButton);
    EXPECT_TRUE(view.messages.empty());
    QTest::mouseRelease(FindControl<QPushButton>(*panels.Left(), IDC_PTZ_LEFT), Qt::LeftButton);
    EXPECT_EQ(view.messages.size(), 1u);
}

TEST(PTZPanelsTest, SpeedAndPresetFollowTheListsWithoutSendingAnything)
{
    TestApplication();
    FakeView view(240, 268);
    view.show();
    CPTZPanels& panels = *view.panels;
    QComboBox* speed = panels.Bar()->SpeedList();
    QComboBox* preset = panels.Bar()->PresetList();
    ASSERT_EQ(speed, FindControl<QComboBox>(*panels.Bar(), IDC_PTZ_SPEED));
    ASSERT_EQ(preset, FindControl<QComboBox>(*panels.Bar(), IDC_PTZ_PRESET));
    EXPECT_FALSE(speed->isEditable());
    EXPECT_FALSE(preset->isEditable());
    ASSERT_EQ(speed->count(), 4);
    const QStringList speeds = {"Slow", "Normal", "Fast", "Very Fast"};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(speed->itemText(i), speeds[i]);
    }
    ASSERT_EQ(preset->count(), 99);
    EXPECT_EQ(preset->itemText(0), "Preset 1");
    EXPECT_EQ(preset->itemText(11), "Preset 12");
    EXPECT_EQ(preset->itemText(98), "Preset 99");
    // Initialised on creation, before anyone shows the bar.
    EXPECT_EQ(speed->currentText(), "Fast");
    EXPECT_EQ(preset->currentText(), "Preset 1");
    EXPECT_EQ(panels.GetSpeed(), 2);
    EXPECT_EQ(panels.GetPreset(), 1);

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
    QTest::keyClick(preset, Qt::Key_End);
    EXPECT_EQ(panels.GetPreset(), 99);
    EXPECT_TRUE(view.messages.empty());

    QTest::mouseClick(FindControl<QPushButton>(*panels.Bar(), IDC_PTZ_PRESET_SET), Qt::LeftButton);
    EXPECT_EQ(view.requests, std::vector<std::u16string>{u"9S99"});
    QTest::keyClick(speed, Qt::Key_Home);
    EXPECT_EQ(panels.GetSpeed(), 0);
    QTest::mouseClick(FindControl<QPushButton>(*panels.Bar(), IDC_PTZ_ZOOM_IN), Qt::LeftButton);
    EXPECT_EQ(view.requests, (std::vector<std::u16string>{u"0S0", u"8"}));
}

TEST(PTZPanelsTest, TheViewGoingFirstLeavesTheSetSafe)
{
    TestApplication();
    auto view = std::make_unique<FakeView>(240, 268);
    std::unique_ptr<CPTZPanels> panels = std::move(view->panels);
    view.reset();
    EXPECT_EQ(panels->Bar(), nullptr);
    panels->DestroyPanels();
}
