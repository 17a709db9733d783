// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Starts the HTTP layer once for the whole process; later calls only report the
// first outcome. Must have succeeded before any request is made.
bool InitHttpLayer();

// "http://host:port/path?query" for libcurl, assembled part by part so that the
// address can only ever be the host. False, and nothing to send, when the
// address is not a host name, an IPv4 address or a bracketed IPv6 address.
// The request target is set apart, so that the object goes out exactly as built.
bool BuildRequestUrl(std::u16string_view address, uint16_t port, const char* path,
                     const char* query, std::string& url);
