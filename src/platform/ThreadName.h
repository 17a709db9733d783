// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <thread>

// Names a thread as top, a debugger and a profile show it. Linux refuses a name
// of more than 15 characters, so the names are kept that short.
void NameThread(std::thread& thread, const char* name);
