// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace
{
TEST(CommandLineTest, DefaultsServeLoopbackWithOneAdminAccount)
{
    const auto result = CommandLine::Parse({});
    ASSERT_TRUE(result.error.empty());
    EXPECT_EQ(result.settings.bindAddress, "127.0.0.1");
    EXPECT_EQ(result.settings.port, 0);
    ASSERT_EQ(result.settings.accounts.size(), 1u);
    EXPECT_EQ(result.settings.accounts[0].user, "ADMIN");
    EXPECT_EQ(result.settings.accounts[0].password, "1234");
}

TEST(CommandLineTest, OptionsReachTheSettings)
{
    const auto result = CommandLine::Parse({"--port",
                                            "8080",
                                            "--bind",
                                            "0.0.0.0",
                                            "--channels",
                                            "16",
                                            "--account",
                                            "a:b:c",
                                            "--account",
                                            "guest:",
                                            "--size",
                                            "16=704x480",
                                            "--video-loss",
                                            "3",
                                            "--video-loss",
                                            "16",
                                            "--fps",
                                            "12.5",
                                            "--client-limit",
                                            "3",
                                            "--silent-after-login",
                                            "--close-after-login",
                                            "--close-before-packets",
                                            "--write-sizes",
                                            "1,7,512",
                                            "--junk",
                                            "9",
                                            "--damaged-jpeg",
                                            "--wrong-end-marker",
                                            "--oversize-length",
                                            "--refuse",
                                            "14",
                                            "--no-headers",
                                            "--answer-status",
                                            "501"});
    ASSERT_TRUE(result.error.empty()) << result.error;
    const DvrSimSettings& s = result.settings;
    EXPECT_EQ(s.port, 8080);
    EXPECT_EQ(s.bindAddress, "0.0.0.0");
    EXPECT_EQ(s.channelCount, 16u);
    ASSERT_EQ(s.accounts.size(), 2u);
    EXPECT_EQ(s.accounts[0].user, "a");
    EXPECT_EQ(s.accounts[0].password, "b:c");
    EXPECT_EQ(s.accounts[1].password, "");
    EXPECT_EQ(s.sizes[15].width, 704u);
    EXPECT_EQ(s.sizes[15].height, 480u);
    EXPECT_EQ(s.sizes[0].width, 320u);
    EXPECT_EQ(s.videoLossMask, 0x8004);
    EXPECT_DOUBLE_EQ(s.framesPerSecond, 12.5);
    EXPECT_EQ(s.clientLimit, 3u);
    const DvrMisbehaviour& f = s.misbehaviour;
    EXPECT_TRUE(f.silentAfterLogin && f.closeAfterLogin && f.closeBeforePackets);
    EXPECT_TRUE(f.damagedJpeg && f.wrongEndMarker && f.oversizeLength && f.noHeaders);
    EXPECT_EQ(f.writeSizes, (std::vector<size_t>{1, 7, 512}));
    EXPECT_EQ(f.junkBytes, 9u);
    EXPECT_EQ(f.refuseLoginCode, 14);
    EXPECT_EQ(f.answerStatus, 501u);
}

TEST(CommandLineTest, UnusableOptionsAreNamedInTheError)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "65536"},
        {"--port"},
        {"--channels", "0"},
        {"--channels", "17"},
        {"--account", "nopass"},
        {"--account", ":x"},
        {"--size", "5=64x48"},
        {"--size", "1=64"},
        {"--size", "1=4x4"},
        {"--video-loss", "0"},
        {"--channels", "2", "--video-loss", "3"},
        {"--fps", "0"},
        {"--fps", "fast"},
        {"--fps", "5x"},
        {"--write-sizes", "1,,2"},
        {"--write-sizes", "0"},
        {"--refuse", "0"},
        {"--answer-status", "600"},
        {"--refuse", "256"},
        {"--bogus"},
        {"stray"},
    };
    for (const auto& args : cases)
    {
        const auto result = CommandLine::Parse(args);
        EXPECT_FALSE(result.error.empty()) << args[0];
        EXPECT_NE(result.error.find(args[0] == "--channels" && args.size() > 2 ? args[2] : args[0]),
                  std::string::npos)
            << result.error;
    }
    EXPECT_TRUE(CommandLine::Parse({"--help"}).showHelp);
}

// The help is the option table itself: every option it lists is one Parse takes.
TEST(CommandLineTest, HelpListsWhatParseTakesAndTheOlderNameStillWorks)
{
    const std::string usage = CommandLine::Usage();
    size_t listed = 0;
    for (size_t at = usage.find("\n  --"); at != std::string::npos;
         at = usage.find("\n  --", at + 1))
    {
        const size_t end = usage.find_first_of(" \n", at + 3);
        const std::string name = usage.substr(at + 3, end - at - 3);
        const auto result = CommandLine::Parse({name, "1"});
        EXPECT_FALSE(result.error.starts_with(name + ": unknown option")) << name;
        ++listed;
    }
    EXPECT_GE(listed, 24u);
    EXPECT_EQ(CommandLine::Parse({"--max-clients", "5"}).settings.clientLimit, 5u);
    EXPECT_EQ(CommandLine::Parse({"--client-limit", "6"}).settings.clientLimit, 6u);
    EXPECT_NE(usage.find("--max-clients N       streams at once before error 4"), std::string::npos)
        << usage;
}
} // namespace

TEST(CommandLineTest, FrameSourceOptionsReachTheSettings)
{
    const std::string path = testing::TempDir() + "replay-frame.jpg";
    {
        std::ofstream out(path, std::ios::binary);
        out << "\xFF\xD8 a picture";
    }
    const auto result =
        CommandLine::Parse({"--pre-encoded", "--fps", "max", "--replay", path, "--replay", path,
                            "--replay-on", "2", "--replay-on", "4"});
    std::remove(path.c_str());
    ASSERT_TRUE(result.error.empty()) << result.error;
    const DvrFrameSource& source = result.settings.frameSource;
    EXPECT_TRUE(source.preEncoded);
    EXPECT_TRUE(source.unthrottled);
    const std::vector<uint8_t> bytes = {0xFF, 0xD8, ' ', 'a', ' ', 'p',
                                        'i',  'c',  't', 'u', 'r', 'e'};
    ASSERT_TRUE(source.replay);
    EXPECT_EQ(*source.replay, (std::vector<std::vector<uint8_t>>{bytes, bytes}));
    EXPECT_EQ(source.replayChannels, 0b1010);

    const auto defaults = CommandLine::Parse({});
    EXPECT_FALSE(defaults.settings.frameSource.preEncoded ||
                 defaults.settings.frameSource.unthrottled);
    EXPECT_FALSE(defaults.settings.frameSource.replay);
    EXPECT_EQ(defaults.settings.frameSource.replayChannels, 0xFFFF);
    EXPECT_NE(CommandLine::Parse({"--replay-on", "5"}).error.find("channel 1 to 4"),
              std::string::npos);

    const auto missing = CommandLine::Parse({"--replay", path});
    EXPECT_NE(missing.error.find("--replay: cannot read " + path), std::string::npos)
        << missing.error;
}
