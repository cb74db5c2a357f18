#pragma once
// Recording tests: a fresh library, a private folder for the files, the two
// records filled as the scope application fills them, and waits that only
// guard against hangs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ApiFixture.h"

class RecordingTest : public ApiTest {
protected:
    static constexpr uint32_t kSerial = 1600;
    static constexpr auto kDeadline = std::chrono::seconds(120);

    void SetUp() override
    {
        ApiTest::SetUp();
        const char* base = std::getenv("VLT_TEST_TMP");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::path(base ? base : "/tmp") / "tq8_recording"
                / (std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_path = (m_dir / "rec.rd8").string();
        m_fw = TQ8_FILE_WRITE_PARAMS{};
        m_fw.Fwp_ss = sizeof m_fw;
        m_fw.Fwp_flags = TQ8_FWP_FLAG_DEFAULT;
        m_fw.Fwp_path1 = m_path.c_str();
        m_rp = TQ8_REC_SESSION_PARAMS{};
        m_rp.Rsp_ss = sizeof m_rp;
        m_rp.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST;
        m_rp.Rsp_acqSamples = 65536;
        m_rp.Rsp_fileWrite = &m_fw;
    }

    void TearDown() override
    {
        ApiTest::TearDown();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    TQ8_REC_SESSION Create(TQ8_HANDLE h)
    {
        TQ8_REC_SESSION s = nullptr;
        EXPECT_EQ(CreateRecordingSessionTQ8(h, &m_rp, &s), TQ8_OK);
        return s;
    }

    // A whole session with the records as set, which must complete.
    void RecordToEnd(TQ8_HANDLE h)
    {
        TQ8_REC_SESSION s = Create(h);
        ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
        ASSERT_TRUE(WaitForEnd(s));
        EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_COMPLETED);
        EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    }

    // A whole session with the records as set, which must fail writing its
    // files: its error text; the session is deleted.
    std::wstring RecordToFileFailure(TQ8_HANDLE h)
    {
        TQ8_REC_SESSION s = Create(h);
        EXPECT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
        EXPECT_TRUE(WaitForEnd(s));
        const TQ8_REC_SESSION_PROGRESS p = Progress(s);
        const std::wstring text = p.Rpr_errorText != nullptr ? p.Rpr_errorText : L"";
        FreeMemoryTQ8(p.Rpr_errorText);
        EXPECT_EQ(p.Rpr_status, TQ8_REC_STATUS_FAILED);
        EXPECT_EQ(p.Rpr_errorCode, TQ8_ERR_FILE_WRITE);
        EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
        return text;
    }

    static TQ8_REC_SESSION_PROGRESS Progress(TQ8_REC_SESSION s)
    {
        TQ8_REC_SESSION_PROGRESS p{};
        p.Rpr_ss = sizeof p;
        EXPECT_EQ(GetRecordingSessionProgressTQ8(s, &p, 0), TQ8_OK);
        return p;
    }

    // Waits until pred(progress) holds; false after the deadline.
    template <class Pred>
    static bool WaitFor(TQ8_REC_SESSION s, Pred pred)
    {
        const auto end = std::chrono::steady_clock::now() + kDeadline;
        while (std::chrono::steady_clock::now() < end) {
            TQ8_REC_SESSION_PROGRESS p = Progress(s);
            FreeMemoryTQ8(p.Rpr_errorText);
            if (pred(p))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    static bool WaitForEnd(TQ8_REC_SESSION s)
    {
        return WaitFor(s, [](const TQ8_REC_SESSION_PROGRESS& p) { return p.Rpr_status != TQ8_REC_STATUS_RUNNING; });
    }

    // What the board generates for its seed in acquisitions of the given
    // sizes, as a plain acquire-and-read would get it.
    static std::vector<uint8_t> Generated(TQ8_HANDLE h, uint64_t seed, const std::vector<uint32_t>& blocks)
    {
        EXPECT_EQ(TQ8Sim_SetSeed(kSerial, seed), TQ8_OK);
        std::vector<uint8_t> all;
        std::vector<uint8_t> block;
        for (uint32_t n : blocks) {
            block.resize(n);
            EXPECT_EQ(AcquireToBoardRamTQ8(h, 0, n, 0, 0), TQ8_OK);
            EXPECT_EQ(ReadSampleRamBufTQ8(h, 0, n, block.data(), 0), TQ8_OK);
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }

    static std::vector<uint8_t> ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static std::string ReadText(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path m_dir;
    std::string m_path;
    TQ8_FILE_WRITE_PARAMS m_fw{};
    TQ8_REC_SESSION_PARAMS m_rp{};
};

using BoardRecordingTest = OnBothPaths<RecordingTest>;
