// Texts and figures of the recording window, and its multiple-mode log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CMultiModeLog.h"
#include "RecordingTexts.h"

using namespace rectext;

TEST(RecordingTextsTest, PathsTimesAndRates)
{
    EXPECT_EQ(ShortDestPath(L""), L"<None>");
    EXPECT_EQ(ShortDestPath(L"a.rd8"), L"a.rd8");
    EXPECT_EQ(ShortDestPath(L"/data/run/a.rd8"), L"...a.rd8");
    EXPECT_EQ(FormatElapsed(3723999), L"01:02:03");
    // A day and more keeps counting hours.
    EXPECT_EQ(FormatElapsed(90061000), L"25:01:01");
    EXPECT_EQ(FormatElapsed(UINT32_MAX), L"1193:02:47");
    EXPECT_EQ(FormatThroughput(3000000, 2000), L"1.500 MS/s");
    EXPECT_EQ(FormatThroughput(5, 0), L"");
}

TEST(RecordingTextsTest, ProgressNeverOverflowsNorRunsPastTheEnd)
{
    EXPECT_EQ(ProgressPosition(0, 0), 0);
    EXPECT_EQ(ProgressPosition(1, 4), 2500);
    // amount x 10000 does not fit in 64 bits.
    EXPECT_EQ(ProgressPosition(UINT64_MAX / 2, UINT64_MAX), 5000);
    // Boards without limit add to the amount but not to the total.
    EXPECT_EQ(ProgressPosition(UINT64_MAX, 10), 10000);
    EXPECT_EQ(ProgressPosition(11, 10), 10000);
}

TEST(RecordingTextsTest, BoardStateAndLiveNotes)
{
    TQ8_REC_SESSION_PROGRESS_EX p{};
    EXPECT_EQ(BoardProgressText(p.base), L"REC: ");
    p.base.Rpr_samplesRecorded = 1230000000;
    p.base.Rpr_elapsedMs = 820;
    // Without a target there is no share.
    EXPECT_EQ(BoardProgressText(p.base), L"REC: 1.23 GS, 1500.000 MS/s");
    p.base.Rpr_samplesToRecord = 2900000000;
    EXPECT_EQ(BoardProgressText(p.base), L"REC: 1.23 GS, 1500.000 MS/s, 42%");

    EXPECT_EQ(LiveNotes(p), L"");
    EXPECT_FALSE(HasTrouble(p));
    p.Rpr_ringFillPermille = 749;
    EXPECT_EQ(LiveNotes(p), L"");
    p.base.Rpr_liveFlags = TQ8_REC_LIVE_TS_OVERFLOW;
    p.Rpr_timestampsDropped = 3;
    p.Rpr_ringFillPermille = 855;
    EXPECT_EQ(LiveNotes(p), L"; TS FIFO overflow: 3 dropped; buffer 85%");
    p.base.Rpr_samplesLost = 7;
    EXPECT_EQ(LiveNotes(p), L"; TS FIFO overflow: 3 dropped; samples lost: 7; buffer 85%");
    EXPECT_TRUE(HasTrouble(p));
}

TEST(RecordingTextsTest, LogEntryText)
{
    EXPECT_EQ(LogEntry(2, false, L"A recording error occurred on X:\n\nbad", 3723500, 1500000000),
              "Attempts #2   ---> FAILED \n\n"
              "Error Message:\nA recording error occurred on X:\n\nbad\n\n\n"
              "Elapsed time: 1:2:3 (H:M:S) \n"
              "Amount recorded: 1500 MS \n"
              "Throughput: 0.402847 MS/s \n\n\n");
    // No time: no rate rather than a division by zero.
    EXPECT_NE(LogEntry(1, true, L"", 0, 0).find("Throughput: 0 MS/s \n"), std::string::npos);
}

TEST(RecordingTextsTest, FirstEntryStartsTheLogAnewLaterOnesAppend)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("mmlog_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "log.txt").string();
    std::ofstream(path) << "old contents\n";
    CMultiModeLog log(path);
    ASSERT_TRUE(log.Write(1, "one\n"));
    ASSERT_TRUE(log.Write(2, "two\n"));
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_EQ(text.str(), LogHeader() + "one\ntwo\n");

    // The default lies in the user's data folder.
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string keep = saved ? saved : "";
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    EXPECT_EQ(CMultiModeLog().GetPath(), (dir / "Veltrane" / CMultiModeLog::kFileName).string());
    ASSERT_TRUE(CMultiModeLog().Write(1, "x"));
    EXPECT_TRUE(std::filesystem::exists(dir / "Veltrane" / CMultiModeLog::kFileName));
    if (saved)
        setenv("XDG_DATA_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(dir);
}
