// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QComboBox;

// Marks a combo box whose list keeps its items in order, ignoring case.
void SetComboSorted(QComboBox& box, bool sorted);

// Adds an item, in order when the box is sorted, at the end otherwise; returns its index.
int AddComboString(QComboBox& box, const QString& text);
