// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/QtUserBox.h"

#include "platform/ComboBoxItems.h"

#include <QComboBox>
#include <QLineEdit>

QtUserBox::QtUserBox(QComboBox& box) : m_box(box) {}

void QtUserBox::LimitText(int maxChars)
{
    if (m_box.lineEdit() != nullptr)
    {
        m_box.lineEdit()->setMaxLength(maxChars);
    }
}

std::u16string QtUserBox::GetText() const
{
    return m_box.currentText().toStdU16String();
}

void QtUserBox::SetText(const std::u16string& text)
{
    m_box.setEditText(QString::fromStdU16String(text));
}

void QtUserBox::SetEditSel(int start, int end)
{
    if (m_box.lineEdit() != nullptr)
    {
        m_box.lineEdit()->setSelection(start, end - start);
    }
}

void QtUserBox::AddString(const std::u16string& text)
{
    AddComboString(m_box, QString::fromStdU16String(text));
}
