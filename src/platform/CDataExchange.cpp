// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CDataExchange.h"

#include "platform/CDialog.h"

#include <QComboBox>
#include <QLineEdit>

CDataExchange::CDataExchange(CDialog& dialog, bool saveAndValidate)
    : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate)
{
}

void CDataExchange::Fail()
{
    m_bFailed = true;
}

void CDataExchange::Text(unsigned id, std::u16string& value, int maxChars)
{
    QLineEdit* edit = m_dialog.DlgItem<QLineEdit>(id);
    if (edit == nullptr)
    {
        if (auto* combo = m_dialog.DlgItem<QComboBox>(id))
        {
            edit = combo->lineEdit();
        }
    }
    if (edit == nullptr)
    {
        Fail();
        return;
    }
    if (m_bSaveAndValidate)
    {
        const QString text = edit->text();
        if (maxChars >= 0 && text.size() > maxChars)
        {
            Fail();
            return;
        }
        value = text.toStdU16String();
        return;
    }
    if (maxChars >= 0)
    {
        edit->setMaxLength(maxChars);
    }
    edit->setText(QString::fromStdU16String(value));
}

void CDataExchange::ComboIndex(unsigned id, int& index)
{
    auto* combo = m_dialog.DlgItem<QComboBox>(id);
    if (combo == nullptr)
    {
        Fail();
        return;
    }
    if (m_bSaveAndValidate)
    {
        index = combo->currentIndex();
    }
    else
    {
        combo->setCurrentIndex(index);
    }
}

void CDataExchange::ComboString(unsigned id, std::u16string& value)
{
    auto* combo = m_dialog.DlgItem<QComboBox>(id);
    if (combo == nullptr)
    {
        Fail();
        return;
    }
    if (m_bSaveAndValidate)
    {
        value = combo->currentText().toStdU16String();
        return;
    }
    const QString text = QString::fromStdU16String(value);
    const int found = combo->findText(text, Qt::MatchStartsWith);
    if (found >= 0)
    {
        combo->setCurrentIndex(found);
    }
    else if (combo->isEditable())
    {
        combo->setEditText(text);
    }
}
