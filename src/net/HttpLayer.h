#pragma once

// Starts the HTTP layer once for the whole process; later calls only report the
// first outcome. Must have succeeded before any request is made.
bool InitHttpLayer();

#include <cstdint>
#include <string>

// "http://host:port/" for libcurl; the request target is always set apart, so
// that the object goes out exactly as built.
std::string BuildServerUrl(const std::u16string& host, uint16_t port);
