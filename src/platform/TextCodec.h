// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// Text is UTF-16 in memory; the outside world (files aside) speaks UTF-8.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);
// For texts known to be ASCII, such as formatted numbers.
std::u16string FromAscii(std::string_view text);
