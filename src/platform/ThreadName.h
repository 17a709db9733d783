// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <thread>

// Names a thread as top, a debugger and a profile show it; a name of more than
// 15 characters is cut there.
void NameThread(std::thread& thread, const char* name);
