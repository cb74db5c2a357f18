#include <cerrno>
#include <csignal>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "RecordingFixture.h"
#include "TextConv.h"

namespace {
class ContextFileTest : public RecordingTest {
protected:
    // A finished two-channel recording with notes and a header.
    void Record()
    {
        TQ8_HANDLE h = Virtual(kSerial);
        ASSERT_EQ(SetActiveChannelsTQ8(h, 1), TQ8_OK);
        ASSERT_EQ(SetPreTriggerSamplesTQ8(h, 64), TQ8_OK);
        m_fw.Fwp_opNotes = m_notes.c_str();
        m_fw.Fwp_hdrskp = 256;
        m_rp.Rsp_samplesToRecord = 20000;
        TQ8_REC_SESSION s = Create(h);
        ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
        ASSERT_TRUE(WaitForEnd(s));
        ASSERT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
        m_wpath = vlt::Utf8ToWide(m_path);
    }

    static std::wstring Item(TQ8_VRDC_HANDLE v, const wchar_t* name)
    {
        wchar_t* value = nullptr;
        EXPECT_EQ(GetVrdcItemWTQ8(v, name, &value), TQ8_OK) << name;
        std::wstring text = value != nullptr ? value : L"?";
        EXPECT_EQ(FreeMemoryTQ8(value), TQ8_OK);
        return text;
    }

    std::string m_notes = "Probe 3 \xC3\xA4 <left>";
    std::wstring m_wpath;
};
} // namespace

TEST_F(ContextFileTest, InfoComesFromTheContextFile)
{
    Record();
    TQ8_RECORDED_DATA_INFO info{};
    info.size = sizeof info;
    wchar_t* notes = nullptr;
    ASSERT_EQ(GetRecordedDataInfoWTQ8(m_wpath.c_str(), &info, &notes), TQ8_OK);
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(vlt::WideToUtf8(notes), m_notes);
    EXPECT_EQ(FreeMemoryTQ8(notes), TQ8_OK);
    EXPECT_EQ(info.size, sizeof info);
    EXPECT_STREQ(info.boardName, "TQ3300-4");
    EXPECT_EQ(info.serialNumber, kSerial);
    EXPECT_EQ(info.channelCount, 2u);
    EXPECT_EQ(info.channelNumber, 0xFFFFFFFFu);
    EXPECT_EQ(info.bytesPerSample, 1u);
    EXPECT_EQ(info.bitsPerSample, 8u);
    EXPECT_EQ(info.headerBytes, 256u);
    EXPECT_EQ(info.triggerOffset, 64u);
    EXPECT_EQ(info.preTrigger, 1u);
    double rate = 0;
    ASSERT_EQ(GetEffectiveAcqRateTQ8(Virtual(kSerial), &rate), TQ8_OK);
    EXPECT_DOUBLE_EQ(info.samplingRateMHz, rate);
}

TEST_F(ContextFileTest, MissingContextFileGivesDefaultsAndAnError)
{
    std::ofstream(m_path, std::ios::binary) << "raw";
    const std::wstring path = vlt::Utf8ToWide(m_path);
    TQ8_RECORDED_DATA_INFO info{};
    std::memset(&info, 0x55, sizeof info);
    info.size = sizeof info;
    wchar_t* notes = reinterpret_cast<wchar_t*>(&info);
    EXPECT_EQ(GetRecordedDataInfoWTQ8(path.c_str(), &info, &notes), TQ8_ERR_FILE_UNREADABLE);
    EXPECT_EQ(notes, nullptr);
    EXPECT_EQ(info.size, sizeof info);
    EXPECT_EQ(info.channelCount, 1u);
    EXPECT_EQ(info.headerBytes, 0u);
    EXPECT_EQ(info.bytesPerSample, 1u);
    EXPECT_EQ(info.isSigned, 0u);
    // A file that is not a context file is refused as a damaged one.
    std::ofstream(m_path + ".vrdc") << "<other/>";
    EXPECT_EQ(GetRecordedDataInfoWTQ8(path.c_str(), &info, &notes), TQ8_ERR_CONTEXT_DAMAGED);
    EXPECT_EQ(info.channelCount, 1u);
    info.size = 87;
    EXPECT_EQ(GetRecordedDataInfoWTQ8(path.c_str(), &info, &notes), TQ8_ERR_INVALID_ARG);
}

TEST_F(ContextFileTest, ItemsAreListedAndReadByName)
{
    Record();
    TQ8_VRDC_HANDLE v = nullptr;
    ASSERT_EQ(OpenVrdcFileWTQ8(nullptr, &v, m_wpath.c_str(), 10), TQ8_OK);
    wchar_t* names = nullptr;
    ASSERT_EQ(EnumVrdcItemsWTQ8(v, &names, 0), TQ8_OK);
    const std::wstring list = names;
    EXPECT_EQ(FreeMemoryTQ8(names), TQ8_OK);
    EXPECT_EQ(list.rfind(L"BoardName SerialNumber ChannelCount ", 0), 0u) << list;
    EXPECT_NE(list.find(L" DataFile1"), std::wstring::npos) << list;
    EXPECT_EQ(list.find(L"  "), std::wstring::npos);
    EXPECT_EQ(Item(v, L"SamplesRecorded"), L"20000");
    EXPECT_EQ(Item(v, L"Result"), L"completed");
    EXPECT_EQ(Item(v, L"DataFile1"), m_wpath);
    EXPECT_EQ(Item(v, L"OperatorNotes"), vlt::Utf8ToWide(m_notes));
    EXPECT_FALSE(Item(v, L"EndTime").empty());
    wchar_t* value = nullptr;
    EXPECT_EQ(GetVrdcItemWTQ8(v, L"NoSuchItem", &value), TQ8_ERR_XML_ITEM_MISSING);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(CloseVrdcFileTQ8(v), TQ8_OK);
    EXPECT_EQ(CloseVrdcFileTQ8(v), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(GetVrdcItemWTQ8(v, L"Result", &value), TQ8_ERR_INVALID_HANDLE);

    // The context file's own path opens it too.
    const std::wstring own = m_wpath + L".vrdc";
    ASSERT_EQ(OpenVrdcFileWTQ8(nullptr, &v, own.c_str(), 10), TQ8_OK);
    EXPECT_EQ(Item(v, L"HeaderBytes"), L"256");
    EXPECT_EQ(CloseVrdcFileTQ8(v), TQ8_OK);
}

TEST_F(ContextFileTest, UnknownAndMissingAreRefused)
{
    TQ8_VRDC_HANDLE v = reinterpret_cast<TQ8_VRDC_HANDLE>(uintptr_t{0x1234});
    const std::wstring missing = vlt::Utf8ToWide(m_path);
    EXPECT_EQ(OpenVrdcFileWTQ8(nullptr, &v, missing.c_str(), 10), TQ8_ERR_FILE_UNREADABLE);
    EXPECT_EQ(v, nullptr);
    EXPECT_EQ(OpenVrdcFileWTQ8(nullptr, nullptr, missing.c_str(), 10), TQ8_ERR_INVALID_ARG);
    wchar_t* names = nullptr;
    const auto made_up = reinterpret_cast<TQ8_VRDC_HANDLE>(uintptr_t{0x7E53000000000001ull});
    EXPECT_EQ(EnumVrdcItemsWTQ8(made_up, &names, 0), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(EnumVrdcItemsWTQ8(nullptr, &names, 0), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(CloseVrdcFileTQ8(nullptr), TQ8_ERR_INVALID_HANDLE);
}

// A damaged context file is told from a missing one, and the reader's or
// the parser's reason is handed out.
TEST_F(ContextFileTest, DamagedAndMissingContextFilesSayWhy)
{
    std::ofstream(m_path, std::ios::binary) << "raw";
    const std::wstring path = vlt::Utf8ToWide(m_path);
    auto reasonFor = [&](int32_t expected) {
        wchar_t* reason = nullptr;
        EXPECT_EQ(GetVrdcFileErrorWTQ8(path.c_str(), &reason), expected);
        std::wstring text = reason != nullptr ? reason : L"";
        EXPECT_EQ(FreeMemoryTQ8(reason), TQ8_OK);
        return text;
    };
    EXPECT_NE(reasonFor(TQ8_ERR_FILE_UNREADABLE).find(vlt::Utf8ToWide(std::strerror(ENOENT))), std::wstring::npos);

    std::ofstream(m_path + ".vrdc") << "<VltRecordedDataContext>\n  <ChannelCount>2</Chan";
    TQ8_RECORDED_DATA_INFO info{};
    info.size = sizeof info;
    EXPECT_EQ(GetRecordedDataInfoWTQ8(path.c_str(), &info, nullptr), TQ8_ERR_CONTEXT_DAMAGED);
    TQ8_VRDC_HANDLE v = nullptr;
    EXPECT_EQ(OpenVrdcFileWTQ8(nullptr, &v, path.c_str(), 10), TQ8_ERR_CONTEXT_DAMAGED);
    EXPECT_EQ(v, nullptr);
    const std::wstring damaged = reasonFor(TQ8_ERR_CONTEXT_DAMAGED);
    EXPECT_EQ(damaged.rfind(L"'" + path + L".vrdc' is not well-formed XML (line 2: ", 0), 0u) << vlt::WideToUtf8(damaged);

    std::ofstream(m_path + ".vrdc") << "<VltRecordedDataContext><ChannelCount>2</ChannelCount></VltRecordedDataContext>";
    EXPECT_EQ(reasonFor(TQ8_OK), L"");
    wchar_t* reason = nullptr;
    EXPECT_EQ(GetVrdcFileErrorWTQ8(nullptr, &reason), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetVrdcFileErrorWTQ8(path.c_str(), nullptr), TQ8_ERR_INVALID_ARG);
}

// A context file that is there but cannot be read is told from one that is
// not there, with the reader's reason.
TEST_F(ContextFileTest, AContextFileThatCannotBeReadIsToldFromAMissingOne)
{
    std::ofstream(m_path, std::ios::binary) << "raw";
    ASSERT_TRUE(std::filesystem::create_directory(m_path + ".vrdc"));
    const std::wstring path = vlt::Utf8ToWide(m_path);
    wchar_t* reason = nullptr;
    EXPECT_EQ(GetVrdcFileErrorWTQ8(path.c_str(), &reason), TQ8_ERR_CONTEXT_UNREADABLE);
    const std::wstring text = reason ? reason : L"";
    EXPECT_EQ(FreeMemoryTQ8(reason), TQ8_OK);
    EXPECT_NE(text.find(L"not a regular file"), std::wstring::npos) << vlt::WideToUtf8(text);
    std::filesystem::remove(m_path + ".vrdc");
}

TEST_F(ContextFileTest, AContextFileThatIsAFifoIsRefusedUnread)
{
    std::ofstream(m_path, std::ios::binary) << "raw";
    const std::string fifo = m_path + ".vrdc";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Whoever opens the FIFO for reading gets a valid context file from it.
    std::thread writer([&fifo] {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        const int fd = open(fifo.c_str(), O_WRONLY);
        const std::string text = "<VltRecordedDataContext><ChannelCount>2</ChannelCount></VltRecordedDataContext>";
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t n = write(fd, text.data(), text.size());
            close(fd);
        }
    });
    TQ8_RECORDED_DATA_INFO info{};
    info.size = sizeof info;
    const std::wstring path = vlt::Utf8ToWide(m_path);
    EXPECT_EQ(GetRecordedDataInfoWTQ8(path.c_str(), &info, nullptr), TQ8_ERR_FILE_UNREADABLE);
    // Lets a writer still waiting for a reader go.
    const int release = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (release >= 0)
        close(release);
}
