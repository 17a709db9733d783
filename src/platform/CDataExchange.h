// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

class CDialog;

// One transfer between a dialog's controls and its members, in either direction.
class CDataExchange
{
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate);

    bool Failed() const { return m_bFailed; }

    // An edit box, or the edit of an editable combo box. A maximum length also
    // limits what can be typed once the controls are filled.
    void Text(unsigned id, std::u16string& value, int maxChars = -1);
    // The selected item of a combo box; -1 for none.
    void ComboIndex(unsigned id, int& index);
    // The text of a combo box; filling selects the first item that begins with
    // the text, ignoring case, or sets the text when none does.
    void ComboString(unsigned id, std::u16string& value);

private:
    void Fail();

    CDialog& m_dialog;
    bool m_bSaveAndValidate;
    bool m_bFailed = false;
};
