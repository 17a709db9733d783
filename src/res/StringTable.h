// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The string table: every text the program shows, by string id. An unknown id
// gives an empty text.
std::u16string LoadString(unsigned id);
