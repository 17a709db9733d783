// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CDialog.h"

#include "platform/CDataExchange.h"
#include "platform/ComboBoxItems.h"
#include "res/DialogTemplate.h"
#include "res/ResourceIds.h"
#include "support/QtTestApplication.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace
{
// A dialog over the Connect DVR template with its own members bound.
class ExchangeDialog : public CDialog
{
public:
    ExchangeDialog() : CDialog(IDD_CONNECT_DLG) {}

    std::u16string password = u"abc";
    std::u16string user;
    int userIndex = -1;
    bool exchangeIndex = false;

protected:
    void DoDataExchange(CDataExchange& dx) override
    {
        dx.Text(IDC_CONNECT_PASSWORD, password, 6);
        if (exchangeIndex)
        {
            dx.ComboIndex(IDC_CONNECT_USER, userIndex);
        }
        else
        {
            dx.ComboString(IDC_CONNECT_USER, user);
        }
    }
};

const char* KindName(QWidget* widget)
{
    if (qobject_cast<QLabel*>(widget))
        return "static";
    if (qobject_cast<QPushButton*>(widget))
        return "button";
    if (qobject_cast<QLineEdit*>(widget))
        return "edit";
    if (qobject_cast<QComboBox*>(widget))
        return "combo";
    if (qobject_cast<QTreeWidget*>(widget))
        return "list";
    return "?";
}
} // namespace

TEST(DialogUnitsTest, UnitsAreQuartersOfTheAverageWidthAndEighthsOfTheHeight)
{
    const DialogUnits units(6, 13);
    const struct
    {
        QRect units;
        QRect pixels;
    } cases[] = {
        {{0, 0, 138, 178}, {0, 0, 207, 289}},
        {{6, 12, 48, 8}, {9, 19, 72, 13}},
        {{60, 126, 73, 73}, {90, 204, 109, 119}},
        {{7, 66, 41, 8}, {10, 107, 62, 13}},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(units.ToPixels(c.units.x(), c.units.y(), c.units.width(), c.units.height()),
                  c.pixels)
            << c.units.x();
    }
}

TEST(DialogTest, ControlsComeFromTheTemplateWithTheirKindsTextsAndPlaces)
{
    TestApplication();
    for (const unsigned id : {IDD_CONNECT_DLG, IDD_ADD_DVR_DLG, IDD_DVR_INFORMATION})
    {
        const DialogTemplate* dialogTemplate = FindDialogTemplate(id);
        ASSERT_NE(dialogTemplate, nullptr);
        CDialog dlg(id);
        const DialogUnits units(dlg.font());
        EXPECT_EQ(dlg.windowTitle(), QString::fromStdU16String(dialogTemplate->caption));
        EXPECT_EQ(dlg.ClientArea()->size(),
                  units.ToPixels(0, 0, dialogTemplate->cx, dialogTemplate->cy).size());
        EXPECT_EQ(dlg.VerticalScrollBar() != nullptr, id == IDD_ADD_DVR_DLG);
        for (const ControlTemplate& control : dialogTemplate->controls)
        {
            SCOPED_TRACE(control.id);
            QWidget* widget = FindControl<QWidget>(dlg, control.id);
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget, dlg.GetDlgItem(control.id));
            const char* kinds[] = {"static", "button", "edit", "combo", "list"};
            EXPECT_STREQ(KindName(widget), kinds[static_cast<int>(control.kind)]);
            const QRect expected(
                control.x * units.BaseX() / 4, control.y * units.BaseY() / 8,
                (control.x + control.cx) * units.BaseX() / 4 - control.x * units.BaseX() / 4,
                (control.y + control.cy) * units.BaseY() / 8 - control.y * units.BaseY() / 8);
            if (control.kind == ControlKind::ComboBox)
            {
                EXPECT_EQ(widget->pos(), expected.topLeft());
                EXPECT_EQ(widget->width(), expected.width());
            }
            else
            {
                EXPECT_EQ(widget->geometry(), expected);
            }
        }
    }
    EXPECT_EQ(FindDialogTemplate(999), nullptr);
}

TEST(DialogTest, StylesBecomeWidgetProperties)
{
    TestApplication();
    CDialog connect(IDD_CONNECT_DLG);
    EXPECT_EQ(FindControl<QLineEdit>(connect, IDC_CONNECT_PASSWORD)->echoMode(),
              QLineEdit::Password);
    EXPECT_TRUE(FindControl<QComboBox>(connect, IDC_CONNECT_USER)->isEditable());
    auto* list = FindControl<QTreeWidget>(connect, IDC_CONNECT_LIST);
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    CDialog add(IDD_ADD_DVR_DLG);
    EXPECT_FALSE(FindControl<QComboBox>(add, IDC_ADDDVR_CHANNEL)->isEditable());
    CDialog info(IDD_DVR_INFORMATION);
    auto* name = FindControl<QLineEdit>(info, IDC_INFO_NAME);
    EXPECT_TRUE(name->isReadOnly());
    EXPECT_FALSE(name->hasFrame());
}

TEST(DialogTest, SortedComboBoxesKeepTheirItemsInOrderIgnoringCase)
{
    TestApplication();
    QComboBox sorted;
    SetComboSorted(sorted, true);
    QComboBox plain;
    for (const char* text : {"b", "USER_2", "A", "c", "ADMIN", "user_1"})
    {
        AddComboString(sorted, text);
        AddComboString(plain, text);
    }
    const QStringList expectSorted = {"A", "ADMIN", "b", "c", "user_1", "USER_2"};
    const QStringList expectPlain = {"b", "USER_2", "A", "c", "ADMIN", "user_1"};
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(sorted.itemText(i), expectSorted[i]);
        EXPECT_EQ(plain.itemText(i), expectPlain[i]);
    }
}

TEST(DialogTest, DataExchangeFillsLimitsAndReadsBack)
{
    TestApplication();
    ExchangeDialog dlg;
    auto* combo = FindControl<QComboBox>(dlg, IDC_CONNECT_USER);
    for (const char* name : {"ADMIN", "USER_1", "USER_2"})
    {
        AddComboString(*combo, name);
    }
    auto* password = FindControl<QLineEdit>(dlg, IDC_CONNECT_PASSWORD);

    dlg.user = u"user_";
    ASSERT_TRUE(dlg.UpdateData(false));
    EXPECT_EQ(password->text(), "abc");
    EXPECT_EQ(password->maxLength(), 6);
    EXPECT_EQ(combo->currentText(), "USER_1")
        << "the first item beginning with the text, ignoring case";

    dlg.user = u"guest";
    dlg.UpdateData(false);
    EXPECT_EQ(combo->currentText(), "guest");

    password->clear();
    QTest::keyClicks(password, "12345678");
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(dlg.password, u"123456");
    EXPECT_EQ(dlg.user, u"guest");

    dlg.exchangeIndex = true;
    dlg.userIndex = 2;
    dlg.UpdateData(false);
    EXPECT_EQ(combo->currentText(), "USER_2");
    combo->setCurrentIndex(0);
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.userIndex, 0);
}

TEST(DialogTest, TheDialogsOwnOkAndCancelCommandsEndIt)
{
    TestApplication();
    ExchangeDialog dlg;
    dlg.show();
    FindControl<QLineEdit>(dlg, IDC_CONNECT_PASSWORD)->setText("xyz");
    dlg.accept();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.password, u"xyz") << "OK transfers the controls into the members";

    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}
