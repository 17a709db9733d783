// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

// Whether the text can stand as the DVR's host and nothing else: a host name,
// a dotted IPv4 address or a bracketed IPv6 address. Anything that would add
// credentials, a path, a query or another port to the request URL is refused.
bool IsDvrHostAddress(std::u16string_view address);
