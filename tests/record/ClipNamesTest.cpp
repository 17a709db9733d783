// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/ClipNames.h"
#include "record/CRecorder.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace
{
// A variable of the environment set for the test's run and put back after it; the
// local time zone follows TZ at once.
class Environment
{
public:
    Environment(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
        {
            m_old = old;
        }
        ::setenv(name, value.c_str(), 1);
        ::tzset();
    }
    ~Environment()
    {
        m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name);
        ::tzset();
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
} // namespace

TEST(ClipNamesTest, TheProposedNameHoldsTheDvrChannelAndLocalStartTime)
{
    Environment zone("TZ", "CET-1");
    // 2026-12-07 20:04:05.900 UTC, 21:04:05 in the zone.
    const auto start = std::chrono::system_clock::time_point(std::chrono::seconds(1796673845)) +
                       std::chrono::milliseconds(900);
    struct Case
    {
        const char16_t* dvr;
        int channel;
        const char* name;
    };
    for (const Case& c :
         {Case{u"Gate", 2, "Gate_CH-03_2026-12-07_21-04-05.mkv"},
          Case{u"  Back/yard: *1*?  ", 15,
               "Back_yard_ _1__"
               "_CH-16_2026-12-07_21-04-05.mkv"},
          Case{u"a\\b\"c<d>e|f\x01", 0, "a_b_c_d_e_f__CH-01_2026-12-07_21-04-05.mkv"},
          Case{u"..", 0, "DVR_CH-01_2026-12-07_21-04-05.mkv"},
          Case{u"", 8, "DVR_CH-09_2026-12-07_21-04-05.mkv"},
          Case{u"Caf\u00e9", 1, "Caf\xc3\xa9_CH-02_2026-12-07_21-04-05.mkv"}})
    {
        EXPECT_EQ(ClipFileName(c.dvr, c.channel, start), c.name);
    }
}

TEST(ClipNamesTest, TheFolderIsQuillonInTheUsersVideosFolderMadeWhenMissing)
{
    TempFolder home;
    const auto config = home.Path() / ".config";
    std::filesystem::create_directories(config);
    EXPECT_EQ(ClipFolderIn(home.Path(), config), home.Path() / "Videos" / "Quillon");
    struct Case
    {
        const char* line;
        std::filesystem::path folder;
    };
    for (const Case& c : {Case{"XDG_VIDEOS_DIR=\"$HOME/Filme\"", home.Path() / "Filme"},
                          Case{"XDG_VIDEOS_DIR=\"/srv/clips\"", "/srv/clips"},
                          Case{"XDG_VIDEOS_DIR=\"$HOME/\"", home.Path() / "Videos"},
                          Case{"# XDG_VIDEOS_DIR=\"/nowhere\"", home.Path() / "Videos"},
                          Case{"XDG_VIDEOS_DIR=\"relative\"", home.Path() / "Videos"}})
    {
        WriteBytes(config / "user-dirs.dirs",
                   std::string("XDG_MUSIC_DIR=\"$HOME/Music\"\n") + c.line + "\n");
        EXPECT_EQ(ClipFolderIn(home.Path(), config), c.folder / "Quillon") << c.line;
    }

    Environment setHome("HOME", home.Path().string());
    Environment setConfig("XDG_CONFIG_HOME", config.string());
    WriteBytes(config / "user-dirs.dirs", "XDG_VIDEOS_DIR=\"$HOME/Clips\"\n");
    std::u16string error;
    EXPECT_EQ(MakeClipFolder(error), home.Path() / "Clips" / "Quillon");
    EXPECT_TRUE(std::filesystem::is_directory(home.Path() / "Clips" / "Quillon"));
    EXPECT_EQ(error, u"");

    WriteBytes(home.Path() / "Clips" / "Quillon" / "Gate.mkv", "");
    WriteBytes(home.Path() / "Clips" / "Quillon" / "Gate_2.mkv", "");
    EXPECT_EQ(UnusedClipPath(home.Path() / "Clips" / "Quillon", "Gate.mkv"),
              home.Path() / "Clips" / "Quillon" / "Gate_3.mkv");

    // A file where the folder should be.
    WriteBytes(config / "user-dirs.dirs", "XDG_VIDEOS_DIR=\"$HOME/taken\"\n");
    WriteBytes(home.Path() / "taken", "");
    EXPECT_EQ(MakeClipFolder(error), std::filesystem::path());
    EXPECT_EQ(error,
              u"Quillon cannot write to " + (home.Path() / "taken" / "Quillon").u16string() + u".");
}

TEST(ClipNamesTest, TheRecordingMarkShowsTimeAndSize)
{
    using std::chrono::milliseconds;
    struct Case
    {
        milliseconds elapsed;
        uint64_t bytes;
        const char16_t* mark;
    };
    for (const Case& c :
         {Case{milliseconds(192999), 41900000, u"REC 00:03:12 \u00b7 41 MB"},
          Case{milliseconds(0), 0, u"REC 00:00:00 \u00b7 0 MB"},
          Case{milliseconds(3600000 * 27 + 61000), 999999999, u"REC 27:01:01 \u00b7 999 MB"},
          Case{milliseconds(5000), 12345678901, u"REC 00:00:05 \u00b7 12.3 GB"}})
    {
        EXPECT_EQ(FormatRecordingMark(c.elapsed, c.bytes), c.mark);
    }
}
