// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// Column indexes of a directory row as the Connect DVR list shows it.
enum DvrColumn
{
    kColumnName = 0,
    kColumnAddress = 1,
    kColumnPort = 2,
    kColumnChannel = 3, // Channel + 1 as decimal text
    kColumnUser = 4,    // the user only when the row carries a password
    kColumnCount = 5,
};

struct DvrRow
{
    std::u16string Columns[kColumnCount];
    std::u16string Password; // the row's own copy, kept whole however long
};

// The directory as the Connect DVR dialog holds it: the rows in the order they
// were added, and the file's lines the reader could not use (each repeating an
// earlier row, then all from the first empty or malformed one), which go back to
// the file after the rows so that nothing the user had is lost.
struct DvrRowList
{
    std::vector<DvrRow> Rows;
    std::vector<std::u16string> UnreadLines;
    // Set when the file is there but could not be read: the text that told the
    // user. Nothing the rows hold came from that file, so they are never saved over it.
    std::u16string ReadFailure;
};
