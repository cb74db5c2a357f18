#include "RegistryStore.h"
#include "RegistryTestDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "BadFiles.h"

using namespace vlt;

namespace {

const RegHive kUser = RegHive::CurrentUser;

struct CorruptCase {
    const char* label;
    std::string bytes;
};

void PrintTo(const CorruptCase& c, std::ostream* os)
{
    *os << c.label;
}

std::string Hive(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<registry>\n" + body + "</registry>\n";
}

class RegistryCorruptHiveTest : public ::testing::TestWithParam<CorruptCase> {
protected:
    void SetUp() override
    {
        file = RegistryStore::HiveFile(kUser);
        WriteBytes(file, GetParam().bytes);
    }
    void ExpectUnchanged() { EXPECT_EQ(FileBytes(file), GetParam().bytes); }
    void ExpectReason()
    {
        const std::string reason = RegistryStore::LastError();
        EXPECT_NE(reason.find(file), std::string::npos) << reason;
    }

    RegistryTestDir dir;
    std::string file;
};

TEST_P(RegistryCorruptHiveTest, ReadsFailWithAReason)
{
    std::wstring s;
    EXPECT_FALSE(RegistryStore::GetString(kUser, L"Software", L"Name", s));
    ExpectReason();
    EXPECT_FALSE(RegistryStore::KeyExists(kUser, L"Software"));
    ExpectReason();
    EXPECT_TRUE(RegistryStore::EnumSubKeys(kUser, L"").empty());
    ExpectReason();
    EXPECT_TRUE(RegistryStore::EnumValueNames(kUser, L"Software").empty());
    ExpectReason();
}

TEST_P(RegistryCorruptHiveTest, WritesFailAndLeaveTheFileAlone)
{
    EXPECT_FALSE(RegistryStore::SetString(kUser, L"Software", L"Name", L"new"));
    ExpectReason();
    ExpectUnchanged();
    EXPECT_FALSE(RegistryStore::SetDWord(kUser, L"Software", L"Count", 1));
    ExpectUnchanged();
    EXPECT_FALSE(RegistryStore::CreateKey(kUser, L"Other"));
    ExpectUnchanged();
    EXPECT_FALSE(RegistryStore::DeleteValue(kUser, L"Software", L"Name"));
    ExpectUnchanged();
    EXPECT_FALSE(RegistryStore::DeleteKey(kUser, L"Software"));
    ExpectReason();
    ExpectUnchanged();
}

TEST_P(RegistryCorruptHiveTest, OtherHiveStillWorks)
{
    EXPECT_TRUE(RegistryStore::SetDWord(RegHive::LocalMachine, L"Software", L"Count", 1));
    ExpectUnchanged();
}

INSTANTIATE_TEST_SUITE_P(Files, RegistryCorruptHiveTest,
    ::testing::Values(CorruptCase{"garbage", "this is not XML at all"},
        CorruptCase{"truncated", Hive("<key name=\"Software\">\n").substr(0, 70)},
        CorruptCase{"binary_junk", std::string("\0\xff\xfe<registry/>", 14)},
        CorruptCase{"wrong_root", "<?xml version=\"1.0\"?>\n<options><key name=\"Software\"/></options>\n"},
        CorruptCase{"unknown_element", Hive("<key name=\"Software\"><item name=\"x\"/></key>\n")},
        CorruptCase{"stray_text", Hive("<key name=\"Software\">words</key>\n")},
        CorruptCase{"key_without_name", Hive("<key><value name=\"a\" type=\"dword\">1</value></key>\n")},
        CorruptCase{"key_with_backslash", Hive("<key name=\"A\\B\"/>\n")},
        CorruptCase{"value_without_type", Hive("<key name=\"Software\"><value name=\"a\">1</value></key>\n")},
        CorruptCase{"unknown_type", Hive("<key name=\"Software\"><value name=\"a\" type=\"float\">1</value></key>\n")},
        CorruptCase{"dword_too_big",
            Hive("<key name=\"Software\"><value name=\"a\" type=\"dword\">4294967296</value></key>\n")},
        CorruptCase{"dword_negative",
            Hive("<key name=\"Software\"><value name=\"a\" type=\"dword\">-1</value></key>\n")},
        CorruptCase{"qword_too_big",
            Hive("<key name=\"Software\"><value name=\"a\" type=\"qword\">18446744073709551616</value></key>\n")},
        CorruptCase{"number_with_unit",
            Hive("<key name=\"Software\"><value name=\"a\" type=\"dword\">12 dB</value></key>\n")},
        CorruptCase{"odd_hex", Hive("<key name=\"Software\"><value name=\"a\" type=\"binary\">abc</value></key>\n")},
        CorruptCase{"bad_hex", Hive("<key name=\"Software\"><value name=\"a\" type=\"binary\">zz</value></key>\n")},
        CorruptCase{"unknown_encoding",
            Hive("<key name=\"Software\"><value name=\"a\" type=\"string\" encoding=\"b64\">x</value></key>\n")},
        CorruptCase{"duplicate_key", Hive("<key name=\"Software\"/><key name=\"SOFTWARE\"/>\n")},
        CorruptCase{"duplicate_value", Hive("<key name=\"Software\"><value name=\"a\" type=\"dword\">1</value>"
                                            "<value name=\"A\" type=\"dword\">2</value></key>\n")},
        CorruptCase{"markup_in_value",
            Hive("<key name=\"Software\"><value name=\"a\" type=\"string\">x<b/>y</value></key>\n")}),
    [](const auto& info) { return std::string(info.param.label); });

// In place of the hive file: a clear error at once, and the thing stays.
TEST(RegistryBadHiveFile, IsRefusedAndLeftAlone)
{
    for (badfiles::Kind kind : badfiles::kAll) {
        SCOPED_TRACE(badfiles::Name(kind));
        RegistryTestDir dir;
        const std::string file = RegistryStore::HiveFile(kUser);
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        ASSERT_TRUE(badfiles::Make(kind, file));
        struct stat before {};
        ASSERT_EQ(::lstat(file.c_str(), &before), 0);
        badfiles::HangGuard guard;
        std::wstring s;
        EXPECT_FALSE(RegistryStore::GetString(kUser, L"Software", L"Name", s));
        EXPECT_NE(RegistryStore::LastError().find(file), std::string::npos) << RegistryStore::LastError();
        EXPECT_FALSE(RegistryStore::SetString(kUser, L"Software", L"Name", L"new"));
        struct stat after {};
        ASSERT_EQ(::lstat(file.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_size, before.st_size);
    }
}

} // namespace
