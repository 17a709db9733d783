// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/CConnectDlg.h"

#include "platform/MessageBoxSeam.h"
#include "platform/QtMessageBox.h"
#include "res/ResourceIds.h"
#include "support/FakePasswordStore.h"
#include "support/FileSystemFaults.h"
#include "support/QtTestApplication.h"
#include "support/TempFolder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace
{
const std::u16string kRequired = u"Please verify all the required fields!!";
const std::u16string kSame = u"There is the same dvr connection.";
const std::u16string kConfirmDelete = u"Are you sure you want to delete the selected DVR?";
const std::u16string kNoConnection = u"There is not a dvr connection.";
const std::u16string kUserRule = u"Only alphabet, number and '_' can be entered";

const std::u16string kThreeRows = u"Shop,10.0.0.5,80,2\n"
                                  u"Home,10.0.0.6,81,0,USER_1,pw12\n"
                                  u"Barn,barn.example,8080,15\n";

struct NewDvr
{
    QString name;
    QString address;
    QString port;
    int channel;
    QString password; // set whole, as a paste would bring it
};

class ConnectDlgTest : public ::testing::Test
{
protected:
    void SetUp() override { TestApplication(); }

    void Open(const std::u16string& fileText)
    {
        WriteBytes(File(), Utf16Le(fileText));
        OpenWithoutWriting();
    }

    void OpenWithoutWriting()
    {
        m_dlg = std::make_unique<CConnectDlg>(
            File(), m_messages, nullptr, [this](CAddDVRDlg& add) { return RunAddDialog(add); },
            m_passwords);
        m_dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
    }

    // Fills the real Add DVR dialog by keyboard and presses its OK button.
    int RunAddDialog(CAddDVRDlg& add)
    {
        add.show();
        QTest::keyClicks(FindControl<QLineEdit>(add, IDC_ADDDVR_NAME), m_newDvr.name);
        QTest::keyClicks(FindControl<QLineEdit>(add, IDC_ADDDVR_ADDRESS), m_newDvr.address);
        QTest::keyClicks(FindControl<QLineEdit>(add, IDC_ADDDVR_PORT), m_newDvr.port);
        FindControl<QComboBox>(add, IDC_ADDDVR_CHANNEL)->setCurrentIndex(m_newDvr.channel);
        FindControl<QLineEdit>(add, IDC_ADDDVR_PASSWORD)->setText(m_newDvr.password);
        QTest::mouseClick(FindControl<QPushButton>(add, IDC_ADDDVR_OK), Qt::LeftButton);
        return add.result();
    }

    std::filesystem::path File() const { return m_folder.Path() / "IPList.db"; }
    QTreeWidget* List() { return FindControl<QTreeWidget>(*m_dlg, IDC_CONNECT_LIST); }
    QComboBox* UserBox() { return FindControl<QComboBox>(*m_dlg, IDC_CONNECT_USER); }
    QLineEdit* PasswordBox() { return FindControl<QLineEdit>(*m_dlg, IDC_CONNECT_PASSWORD); }
    void Click(unsigned id)
    {
        QTest::mouseClick(FindControl<QPushButton>(*m_dlg, id), Qt::LeftButton);
    }

    void ClickRow(int row, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = {})
    {
        const QRect rect = List()->visualItemRect(List()->topLevelItem(row));
        QTest::mouseClick(List()->viewport(), button, modifiers, rect.center());
    }

    void ClickBelowTheRows(Qt::MouseButton button = Qt::LeftButton)
    {
        const QPoint point(10, List()->viewport()->height() - 3);
        ASSERT_FALSE(List()->indexAt(point).isValid());
        QTest::mouseClick(List()->viewport(), button, {}, point);
    }

    int SelectedRow()
    {
        const auto selected = List()->selectedItems();
        return selected.size() == 1 ? List()->indexOfTopLevelItem(selected[0]) : -1;
    }

    TempFolder m_folder;
    MessageBoxSeam m_seam;
    QtMessageBox m_messages;
    NewDvr m_newDvr;
    IPasswordStore* m_passwords = nullptr;
    std::unique_ptr<CConnectDlg> m_dlg;
};
} // namespace

TEST_F(ConnectDlgTest, OpeningShowsTheRowsCentredWithRowZeroSelectedAndAdminAsUser)
{
    Open(kThreeRows);
    ASSERT_EQ(List()->topLevelItemCount(), 3);
    const QStringList headers = {"Name", "Address", "Port", "CH", "User"};
    const int widths[] = {70, 100, 50, 20, 50};
    for (int column = 0; column < 5; ++column)
    {
        EXPECT_EQ(List()->headerItem()->text(column), headers[column]);
        EXPECT_EQ(List()->columnWidth(column), widths[column]);
        EXPECT_EQ(List()->topLevelItem(1)->textAlignment(column), int(Qt::AlignCenter));
    }
    EXPECT_EQ(List()->topLevelItem(0)->text(3), "3");
    EXPECT_EQ(List()->topLevelItem(0)->text(4), "");
    EXPECT_EQ(List()->topLevelItem(1)->text(4), "USER_1");
    EXPECT_EQ(List()->topLevelItem(2)->text(3), "16");
    EXPECT_FALSE(List()->rootIsDecorated());
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(UserBox()->currentText(), "ADMIN");
    EXPECT_EQ(UserBox()->count(), 6);
    EXPECT_EQ(PasswordBox()->text(), "");
    EXPECT_EQ(PasswordBox()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(PasswordBox()->maxLength(), 6);
}

TEST_F(ConnectDlgTest, ConnectAtOnceAsksForTheRequiredFieldsEvenWithSavedCredentials)
{
    Open(u"Home,10.0.0.6,81,0,USER_1,pw12\n");
    Click(IDC_CONNECT_CONNECT);
    EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{kRequired});
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_FALSE(m_dlg->IsConnectRequested());
}

TEST_F(ConnectDlgTest, ClickingARowWithSavedCredentialsFillsTheBoxesAndConnectSavesAndReturnsIt)
{
    Open(kThreeRows);
    ClickRow(1);
    EXPECT_EQ(UserBox()->currentText(), "USER_1");
    EXPECT_EQ(PasswordBox()->text(), "pw12");
    Click(IDC_CONNECT_CONNECT);
    EXPECT_TRUE(m_seam.ShownTexts().empty());
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), QDialog::Accepted);
    ASSERT_TRUE(m_dlg->IsConnectRequested());
    const DvrEntry& entry = m_dlg->Result();
    EXPECT_EQ(entry.Name, u"Home");
    EXPECT_EQ(entry.Address, u"10.0.0.6");
    EXPECT_EQ(entry.Port, u"81");
    EXPECT_EQ(entry.Channel, 0);
    EXPECT_EQ(entry.User, u"USER_1");
    EXPECT_EQ(entry.Password, u"pw12");
    EXPECT_EQ(ReadBytes(File()), Utf16Le(kThreeRows));
}

TEST_F(ConnectDlgTest, ARowWithoutSavedCredentialsConnectsWithTheTypedOnesWithoutStoringThem)
{
    Open(kThreeRows);
    ClickRow(2);
    QTest::keyClicks(PasswordBox(), "abc");
    Click(IDC_CONNECT_CONNECT);
    ASSERT_TRUE(m_dlg->IsConnectRequested());
    EXPECT_EQ(m_dlg->Result().Address, u"barn.example");
    EXPECT_EQ(m_dlg->Result().Channel, 15);
    EXPECT_EQ(m_dlg->Result().User, u"ADMIN");
    EXPECT_EQ(m_dlg->Result().Password, u"abc");
    EXPECT_EQ(ReadBytes(File()), Utf16Le(kThreeRows));
}

TEST_F(ConnectDlgTest, ConnectWithAnEmptyListSaysThereIsNoConnection)
{
    OpenWithoutWriting();
    QTest::keyClicks(PasswordBox(), "abc");
    Click(IDC_CONNECT_CONNECT);
    EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{kNoConnection});
    EXPECT_TRUE(m_dlg->isVisible());
}

TEST_F(ConnectDlgTest, DeleteAsksFirstAndFollowsTheCurrentRowRules)
{
    Open(kThreeRows);
    ClickRow(1);
    Click(IDC_CONNECT_DELETE); // unanswered: No
    EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{kConfirmDelete});
    EXPECT_EQ(m_seam.Shown()[0].buttons, MessageBoxButtons::YesNo);
    EXPECT_EQ(List()->topLevelItemCount(), 3);

    m_seam.QueueAnswer(MessageBoxAnswer::Yes);
    Click(IDC_CONNECT_DELETE);
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(List()->topLevelItem(1)->text(0), "Barn");
    EXPECT_EQ(m_dlg->CurrentRow(), 0);
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(PasswordBox()->text(), "");

    m_seam.QueueAnswer(MessageBoxAnswer::Yes);
    Click(IDC_CONNECT_DELETE);
    EXPECT_EQ(m_dlg->CurrentRow(), 0);
    EXPECT_EQ(List()->topLevelItem(0)->text(0), "Barn");

    m_seam.QueueAnswer(MessageBoxAnswer::Yes);
    Click(IDC_CONNECT_DELETE);
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(m_dlg->CurrentRow(), 0);

    m_seam.Clear();
    Click(IDC_CONNECT_DELETE);
    EXPECT_TRUE(m_seam.ShownTexts().empty()) << "nothing to delete, nothing asked";

    Click(IDC_CONNECT_CANCEL);
    EXPECT_EQ(ReadBytes(File()), "");
}

TEST_F(ConnectDlgTest, AClickBesideTheRowsKeepsThePreviousRow)
{
    Open(kThreeRows);
    ClickRow(2);
    ClickBelowTheRows();
    EXPECT_EQ(m_dlg->CurrentRow(), 2);
    EXPECT_EQ(SelectedRow(), 2);
    m_seam.QueueAnswer(MessageBoxAnswer::Yes);
    Click(IDC_CONNECT_DELETE);
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(List()->topLevelItem(1)->text(0), "Home");
    EXPECT_EQ(m_dlg->CurrentRow(), 1);
}

TEST_F(ConnectDlgTest, AddingADuplicateShowsTheMessageAndSelectsTheLastRow)
{
    Open(kThreeRows);
    m_newDvr = {"Again", "10.0.0.6", "81", 0, ""};
    Click(IDC_CONNECT_ADD);
    EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{kSame});
    EXPECT_EQ(List()->topLevelItemCount(), 3);
    EXPECT_EQ(m_dlg->CurrentRow(), 2);
    EXPECT_EQ(SelectedRow(), 2);
}

TEST_F(ConnectDlgTest, AnAddedDvrBecomesTheLastRowAndIsSavedOnCancel)
{
    Open(kThreeRows);
    m_newDvr = {"Gate", "10.0.0.9", "8000", 4, ""};
    Click(IDC_CONNECT_ADD);
    EXPECT_TRUE(m_seam.ShownTexts().empty());
    ASSERT_EQ(List()->topLevelItemCount(), 4);
    EXPECT_EQ(List()->topLevelItem(3)->text(3), "5");
    EXPECT_EQ(List()->topLevelItem(3)->text(4), "") << "a user without a password is not kept";
    EXPECT_EQ(m_dlg->CurrentRow(), 3);
    EXPECT_EQ(SelectedRow(), 3);
    Click(IDC_CONNECT_CANCEL);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_FALSE(m_dlg->IsConnectRequested());
    EXPECT_EQ(ReadBytes(File()), Utf16Le(kThreeRows + u"Gate,10.0.0.9,8000,4\n"));
}

TEST_F(ConnectDlgTest, ASpaceTypedAtTheEndOfTheUserNameIsRefusedAndRemoved)
{
    Open(kThreeRows);
    QLineEdit* edit = UserBox()->lineEdit();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Space);
    EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{kUserRule});
    EXPECT_EQ(UserBox()->currentText(), "ADMIN");
    EXPECT_EQ(edit->cursorPosition(), 5);
    QTest::keyClicks(edit, "_7");
    EXPECT_EQ(UserBox()->currentText(), "ADMIN_7");
    EXPECT_EQ(m_seam.ShownTexts().size(), 1u);
}

TEST_F(ConnectDlgTest, CancelRightAfterOpeningRewritesTheFileWithWhatWasLoaded)
{
    Open(u"Shop,,10.0.0.5,80,2\nCopy,10.0.0.5,80,2\nHome,10.0.0.6,81,0,USER_1,pw12\n");
    EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{kSame});
    EXPECT_EQ(List()->topLevelItemCount(), 2);
    Click(IDC_CONNECT_CANCEL);
    EXPECT_EQ(m_dlg->result(), QDialog::Rejected);
    EXPECT_EQ(ReadBytes(File()), Utf16Le(u"Shop,10.0.0.5,80,2\nHome,10.0.0.6,81,0,USER_1,pw12\n"
                                         u"Copy,10.0.0.5,80,2\n"));
}

TEST_F(ConnectDlgTest, TheCloseRequestSavesButThePlatformCancelDoesNot)
{
    Open(u"Shop,,10.0.0.5,80,2\n");
    m_dlg->close();
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(ReadBytes(File()), Utf16Le(u"Shop,10.0.0.5,80,2\n"));

    Open(u"Shop,,10.0.0.5,80,2\n");
    QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), QDialog::Rejected);
    EXPECT_EQ(ReadBytes(File()), Utf16Le(u"Shop,,10.0.0.5,80,2\n"));
}

TEST_F(ConnectDlgTest, AFailedSaveKeepsTheDialogOpenWithItsRows)
{
    m_dlg = std::make_unique<CConnectDlg>(m_folder.Path() / "missing" / "IPList.db", m_messages);
    m_dlg->show();
    Click(IDC_CONNECT_CANCEL);
    EXPECT_EQ(m_seam.ShownTexts(),
              std::vector<std::u16string>{u"The DVR list could not be saved."});
    EXPECT_TRUE(m_dlg->isVisible());
}

// A directory that cannot be read is told once at opening and once at each end;
// the user still connects to a DVR added now, and the file stays as it was.
TEST_F(ConnectDlgTest, AnUnreadableDirectoryIsToldAndTheDialogGoesOnSavingNothing)
{
    WriteBytes(File(), Utf16Le(kThreeRows));
    const std::u16string told =
        u"The DVR directory " + File().u16string() +
        u" cannot be read (Permission denied); nothing will be saved to it.";
    for (const unsigned end : {IDC_CONNECT_CONNECT, IDC_CONNECT_CANCEL})
    {
        m_seam.Clear();
        {
            FileOfAnotherUser foreign(File());
            OpenWithoutWriting();
            EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{told});
            EXPECT_EQ(List()->topLevelItemCount(), 0);
            m_newDvr = {"Gate", "10.0.0.9", "8000", 4, "pw"};
            Click(IDC_CONNECT_ADD);
            QTest::keyClicks(PasswordBox(), "pw");
            Click(end);
        }
        EXPECT_EQ(m_seam.ShownTexts(), (std::vector<std::u16string>{told, told}));
        EXPECT_FALSE(m_dlg->isVisible());
        EXPECT_EQ(m_dlg->IsConnectRequested(), end == IDC_CONNECT_CONNECT);
        EXPECT_EQ(m_dlg->Result().Address, u"10.0.0.9");
        EXPECT_EQ(ReadBytes(File()), Utf16Le(kThreeRows));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.Path()), {}), 1);
    }
}

TEST_F(ConnectDlgTest, ControlsKeepTheirDistanceFromTheBottomRightCorner)
{
    Open(kThreeRows);
    const QSize sizes[] = {{240, 320}, {320, 240}, {480, 640}};
    for (const QSize size : sizes)
    {
        SCOPED_TRACE(size.width());
        m_dlg->resize(size);
        ASSERT_TRUE(ProcessEventsUntil([&] { return m_dlg->ClientArea()->size() == size; }));
        const int w = size.width();
        const int h = size.height();
        const struct
        {
            unsigned id;
            QRect rect;
        } expected[] = {
            {IDC_CONNECT_CONNECT, {w - 133, h - 25, 60, 20}},
            {IDC_CONNECT_CANCEL, {w - 65, h - 25, 60, 20}},
            {IDC_CONNECT_PASSWORD_LABEL, {w - 208, h - 54, 100, 26}},
            {IDC_CONNECT_PASSWORD, {w - 108, h - 54, 100, 26}},
            {IDC_CONNECT_USER_LABEL, {w - 208, h - 83, 100, 26}},
            {IDC_CONNECT_ADD, {w - 133, h - 106, 60, 20}},
            {IDC_CONNECT_DELETE, {w - 65, h - 106, 60, 20}},
            {IDC_CONNECT_LIST, {5, 0, w - 10, h - 109}},
        };
        for (const auto& e : expected)
        {
            EXPECT_EQ(m_dlg->GetDlgItem(e.id)->geometry(), e.rect) << e.id;
        }
        // The combo box's 156 pixels include its drop-down list, which Qt draws apart.
        const QRect user = UserBox()->geometry();
        EXPECT_EQ(user.topLeft(), QPoint(w - 108, h - 83));
        EXPECT_EQ(user.width(), 100);
        EXPECT_EQ(user.height(), std::min(156, UserBox()->sizeHint().height()));
    }
}

TEST_F(ConnectDlgTest, MovingThroughTheRowsByKeyboardPicksTheRowShown)
{
    Open(kThreeRows);
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Down);
    EXPECT_EQ(SelectedRow(), 1);
    EXPECT_EQ(m_dlg->CurrentRow(), 1);
    EXPECT_EQ(PasswordBox()->text(), "pw12");
    QTest::keyClick(List(), Qt::Key_Down);
    Click(IDC_CONNECT_CONNECT);
    ASSERT_TRUE(m_dlg->IsConnectRequested());
    EXPECT_EQ(m_dlg->Result().Name, u"Barn");
}

TEST_F(ConnectDlgTest, TheRowShownIsTheCurrentRowWhateverTheButton)
{
    Open(kThreeRows);
    ClickRow(1, Qt::RightButton);
    EXPECT_EQ(m_dlg->CurrentRow(), 1);
    m_seam.QueueAnswer(MessageBoxAnswer::Yes);
    Click(IDC_CONNECT_DELETE);
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(List()->topLevelItem(1)->text(0), "Barn") << "Home was the row shown";

    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton})
    {
        ClickRow(0);
        ClickRow(1, button);
        ClickBelowTheRows(button);
        EXPECT_EQ(m_dlg->CurrentRow(), 1) << button;
        EXPECT_EQ(SelectedRow(), 1) << button;
    }
    ClickRow(1, Qt::LeftButton, Qt::ControlModifier); // would deselect the row
    EXPECT_EQ(SelectedRow(), 1);
    ClickRow(0);
    ClickRow(1, Qt::RightButton);
    QTest::keyClicks(PasswordBox(), "abc");
    Click(IDC_CONNECT_CONNECT);
    ASSERT_TRUE(m_dlg->IsConnectRequested());
    EXPECT_EQ(m_dlg->Result().Name, u"Barn");
}

TEST_F(ConnectDlgTest, APasswordWithACommaIsRefusedAndTheFileStaysAsItWas)
{
    Open(kThreeRows);
    m_newDvr = {"Gate", "10.0.0.9", "8000", 4, "a,b"};
    Click(IDC_CONNECT_ADD);
    EXPECT_EQ(m_seam.ShownTexts(), std::vector<std::u16string>{kRequired});
    EXPECT_EQ(List()->topLevelItemCount(), 3);
    Click(IDC_CONNECT_CANCEL);
    EXPECT_EQ(ReadBytes(File()), Utf16Le(kThreeRows));
}

TEST_F(ConnectDlgTest, WithAKeyringLoginsComeFromItGoIntoItAndLeaveWithTheirEntry)
{
    FakePasswordStore keyring;
    keyring.items[u"Home,10.0.0.6,81,0"] = u"USER_1,pw12";
    m_passwords = &keyring;
    Open(u"Shop,10.0.0.5,80,2\nHome,10.0.0.6,81,0\n");
    ClickRow(1);
    EXPECT_EQ(UserBox()->currentText(), "USER_1");
    EXPECT_EQ(PasswordBox()->text(), "pw12");
    m_newDvr = {"Gate", "10.0.0.9", "8000", 4, "pw"};
    Click(IDC_CONNECT_ADD);
    Click(IDC_CONNECT_CANCEL);
    EXPECT_EQ(ReadBytes(File()),
              Utf16Le(u"Shop,10.0.0.5,80,2\nHome,10.0.0.6,81,0\nGate,10.0.0.9,8000,4\n"));
    EXPECT_TRUE(keyring.items[u"Gate,10.0.0.9,8000,4"].ends_with(u",pw"));

    OpenWithoutWriting();
    ClickRow(1);
    m_seam.QueueAnswer(MessageBoxAnswer::Yes);
    Click(IDC_CONNECT_DELETE);
    Click(IDC_CONNECT_CANCEL);
    EXPECT_FALSE(keyring.items.contains(u"Home,10.0.0.6,81,0"));
    EXPECT_EQ(keyring.items.size(), 1u);
}

// Whether the keyring refuses half-way or the file cannot be written, both places
// stay byte for byte as they were and the rows keep their logins for the next try.
TEST_F(ConnectDlgTest, AFailedSaveWithAKeyringLeavesTheFileAndTheKeyringAsTheyWere)
{
    FakePasswordStore keyring;
    keyring.items[u"Home,10.0.0.6,81,0"] = u"USER_1,pw12";
    keyring.items[u"Gate,10.0.0.9,8000,4"] = u"OLD,old";
    const auto itemsBefore = keyring.items;
    m_passwords = &keyring;
    const std::u16string lines =
        u"Shop,10.0.0.5,80,2\nHome,10.0.0.6,81,0\nYard,10.0.0.7,82,1,guest,pw\n";
    Open(lines);
    m_newDvr = {"Gate", "10.0.0.9", "8000", 4, "pw"};
    Click(IDC_CONNECT_ADD);

    keyring.writesLeft = 1; // Yard goes in, Gate is refused
    Click(IDC_CONNECT_CANCEL);
    ASSERT_EQ(m_seam.ShownTexts().size(), 1u);
    EXPECT_TRUE(m_seam.ShownTexts()[0].starts_with(u"The DVR list could not be saved.\n"));
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_EQ(ReadBytes(File()), Utf16Le(lines));
    EXPECT_EQ(keyring.items, itemsBefore);

    keyring.writesLeft = 1000;
    std::filesystem::remove_all(m_folder.Path());
    Click(IDC_CONNECT_CANCEL);
    EXPECT_EQ(m_seam.ShownTexts().back(), u"The DVR list could not be saved.");
    EXPECT_EQ(keyring.items, itemsBefore);

    std::filesystem::create_directories(m_folder.Path());
    Click(IDC_CONNECT_CANCEL);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(ReadBytes(File()), Utf16Le(u"Shop,10.0.0.5,80,2\nHome,10.0.0.6,81,0\n"
                                         u"Yard,10.0.0.7,82,1\nGate,10.0.0.9,8000,4\n"));
    EXPECT_EQ(keyring.items[u"Yard,10.0.0.7,82,1"], u"guest,pw");
    EXPECT_TRUE(keyring.items[u"Gate,10.0.0.9,8000,4"].ends_with(u",pw"));
    EXPECT_EQ(keyring.items[u"Home,10.0.0.6,81,0"], u"USER_1,pw12");
}
