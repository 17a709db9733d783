// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ThreadName.h"

#include <pthread.h>

void NameThread(std::thread& thread, const char* name)
{
    // Linux keeps 15 characters; a longer name is refused whole, so it is cut.
    char shortName[16] = {};
    for (size_t i = 0; i + 1 < sizeof shortName && name[i] != '\0'; ++i)
    {
        shortName[i] = name[i];
    }
    pthread_setname_np(thread.native_handle(), shortName);
}
