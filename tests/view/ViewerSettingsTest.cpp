// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TempFolder.h"
#include "view/ViewerSettings.h"

#include <gtest/gtest.h>

// A file edited by hand, or by another version, never sets a budget its menu cannot show.
TEST(ViewerSettingsTest, LookBackMemoryIsOneOfTheMenusChoicesOrTheDefault)
{
    TempFolder folder;
    const auto settings = OpenViewerSettings(folder.Path() / "quillon.conf");
    EXPECT_EQ(LoadLookBackMemory(*settings), size_t{512} << 20);
    for (const size_t choice : kLookBackMemoryChoices)
    {
        SaveLookBackMemory(*settings, choice);
        settings->sync();
        EXPECT_EQ(LoadLookBackMemory(*OpenViewerSettings(folder.Path() / "quillon.conf")), choice);
    }
    for (const char* bad : {"300", "-512", "lots", "", "18446744073709551615", "1024.5"})
    {
        settings->setValue("LookBack/MemoryMB", bad);
        EXPECT_EQ(LoadLookBackMemory(*settings), size_t{512} << 20) << bad;
    }
}
