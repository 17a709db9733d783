// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/ViewerSettings.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

TEST(ViewerSettingsTest, EachCameraKeepsItsOwnMotionSensitivityInTheFile)
{
    TempFolder folder;
    const auto file = folder.Path() / "quillon.conf";
    // Names that hold the file's own separators and more than ASCII.
    const std::u16string gate = u"Gate/North \\ 1";
    const std::u16string yard = u"Hof Süd=2";
    {
        const auto settings = OpenViewerSettings(file);
        EXPECT_EQ(GetMotionSensitivity(*settings, gate, 2), MotionSensitivity::Medium);
        SetMotionSensitivity(*settings, gate, 2, MotionSensitivity::High);
        SetMotionSensitivity(*settings, gate, 3, MotionSensitivity::Low);
        SetMotionSensitivity(*settings, yard, 2, MotionSensitivity::Low);
    }
    const auto settings = OpenViewerSettings(file);
    EXPECT_EQ(GetMotionSensitivity(*settings, gate, 2), MotionSensitivity::High);
    EXPECT_EQ(GetMotionSensitivity(*settings, gate, 3), MotionSensitivity::Low);
    EXPECT_EQ(GetMotionSensitivity(*settings, yard, 2), MotionSensitivity::Low);
    EXPECT_EQ(GetMotionSensitivity(*settings, u"Gate", 2), MotionSensitivity::Medium);
    EXPECT_EQ(GetMotionSensitivity(*settings, gate, 0), MotionSensitivity::Medium);
    EXPECT_EQ(settings->value("MotionSensitivity/Gate%2FNorth%20%5C%201/CH-03").toString(), "High");

    // A word the program does not know, written by hand, is the default.
    settings->setValue("MotionSensitivity/Gate%2FNorth%20%5C%201/CH-03", "Very");
    EXPECT_EQ(GetMotionSensitivity(*settings, gate, 2), MotionSensitivity::Medium);
}

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
