// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ComboBoxItems.h"

#include <QComboBox>
#include <QVariant>

namespace
{
constexpr char kSortedProperty[] = "quillonSorted";
}

void SetComboSorted(QComboBox& box, bool sorted)
{
    box.setProperty(kSortedProperty, sorted);
}

int AddComboString(QComboBox& box, const QString& text)
{
    int index = box.count();
    if (box.property(kSortedProperty).toBool())
    {
        index = 0;
        while (index < box.count() &&
               QString::compare(box.itemText(index), text, Qt::CaseInsensitive) <= 0)
        {
            ++index;
        }
    }
    box.insertItem(index, text);
    return index;
}
