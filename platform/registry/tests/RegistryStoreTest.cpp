#include "RegistryStore.h"
#include "RegistryTestDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>

using namespace vlt;

namespace {

const RegHive kUser = RegHive::CurrentUser;
const wchar_t* const kKey = L"Software\\Veltrane\\TQ3300";

std::vector<uint8_t> AllBytes()
{
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<uint8_t>(i));
    return bytes;
}

class RegistryStoreTest : public ::testing::Test {
protected:
    RegistryTestDir dir;
};

class RegistryTextTest : public ::testing::TestWithParam<std::wstring> {
protected:
    RegistryTestDir dir;
};

TEST_P(RegistryTextTest, StringRoundTrips)
{
    const std::wstring text = GetParam();
    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"Text", text)) << RegistryStore::LastError();
    std::wstring back = L"untouched";
    ASSERT_TRUE(RegistryStore::GetString(kUser, kKey, L"Text", back)) << RegistryStore::LastError();
    EXPECT_EQ(back, text);
    // A second value written afterwards rewrites the file: the first survives.
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, kKey, L"Other", 1));
    ASSERT_TRUE(RegistryStore::GetString(kUser, kKey, L"Text", back));
    EXPECT_EQ(back, text);
}

INSTANTIATE_TEST_SUITE_P(Texts, RegistryTextTest,
    ::testing::Values(std::wstring(), std::wstring(L"plain"), std::wstring(L"R&D <tag> \"quoted\" 'single' >"),
        std::wstring(L"&amp; is not an entity here"), std::wstring(L"  leading and trailing  "),
        std::wstring(L"\n\nline\r\nbreaks\r\n"), std::wstring(L" "), std::wstring(L"\ttab\t"),
        std::wstring(L"Gr\u00fc\u00dfe \u03a9\u03bc\u03ad\u03b3\u03b1 \u041f\u0440\u0438\u0432\u0435\u0442 \u65e5\u672c \U0001F600"),
        std::wstring(L"]]> <![CDATA[ x ]]>"), std::wstring(L"C:\\Program Files\\Veltrane\\"),
        std::wstring(L"ctrl\x01\x1f" L"chars"), std::wstring(L"nul\0inside", 10),
        std::wstring(1, wchar_t(0xFFFE)) + L"non-character"));

TEST_F(RegistryStoreTest, NonAsciiTextIsStoredAsUtf8)
{
    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"Name", L"Gr\u00fc\u00dfe"));
    EXPECT_NE(FileBytes(RegistryStore::HiveFile(kUser)).find("Gr\xc3\xbc\xc3\x9f" "e"), std::string::npos);
}

TEST_F(RegistryStoreTest, DWordRoundTrips)
{
    for (const uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, std::numeric_limits<uint32_t>::max()}) {
        ASSERT_TRUE(RegistryStore::SetDWord(kUser, kKey, L"Number", value));
        uint32_t back = value ^ 0x5A5A5A5Au;
        ASSERT_TRUE(RegistryStore::GetDWord(kUser, kKey, L"Number", back));
        EXPECT_EQ(back, value);
    }
}

TEST_F(RegistryStoreTest, QWordRoundTrips)
{
    for (const uint64_t value : {uint64_t(0), uint64_t(1), uint64_t(0x100000000), uint64_t(0x8000000000000000),
             std::numeric_limits<uint64_t>::max()}) {
        ASSERT_TRUE(RegistryStore::SetQWord(kUser, kKey, L"Big", value));
        uint64_t back = ~value;
        ASSERT_TRUE(RegistryStore::GetQWord(kUser, kKey, L"Big", back));
        EXPECT_EQ(back, value);
    }
}

TEST_F(RegistryStoreTest, BinaryRoundTrips)
{
    for (const auto& bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>{0}, AllBytes()}) {
        ASSERT_TRUE(RegistryStore::SetBinary(kUser, kKey, L"Blob", bytes));
        std::vector<uint8_t> back{9, 9, 9};
        ASSERT_TRUE(RegistryStore::GetBinary(kUser, kKey, L"Blob", back));
        EXPECT_EQ(back, bytes);
    }
}

TEST_F(RegistryStoreTest, DWordKeepsLowBitsOfAWiderNumber)
{
    RegValue value;
    value.type = RegType::DWord;
    value.number = 0x123456789ABCDEF0ull;
    ASSERT_TRUE(RegistryStore::SetValue(kUser, kKey, L"N", value));
    const auto back = RegistryStore::GetValue(kUser, kKey, L"N");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->type, RegType::DWord);
    EXPECT_EQ(back->number, 0x9ABCDEF0u);
}

TEST_F(RegistryStoreTest, GetValueReportsTypeAndData)
{
    ASSERT_TRUE(RegistryStore::SetBinary(kUser, kKey, L"B", {1, 2, 3}));
    const auto value = RegistryStore::GetValue(kUser, kKey, L"B");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegType::Binary);
    EXPECT_EQ(value->bytes, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(RegistryStoreTest, ValueChangesType)
{
    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"V", L"text"));
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, kKey, L"V", 7));
    uint32_t n = 0;
    ASSERT_TRUE(RegistryStore::GetDWord(kUser, kKey, L"V", n));
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(RegistryStore::EnumValueNames(kUser, kKey).size(), 1u);
}

TEST_F(RegistryStoreTest, WrongTypeIsAnErrorAndLeavesTheTarget)
{
    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"S", L"12"));
    uint32_t n = 99;
    EXPECT_FALSE(RegistryStore::GetDWord(kUser, kKey, L"S", n));
    EXPECT_EQ(n, 99u);
    EXPECT_FALSE(RegistryStore::LastError().empty());
    uint64_t q = 98;
    EXPECT_FALSE(RegistryStore::GetQWord(kUser, kKey, L"S", q));
    EXPECT_EQ(q, 98u);
}

TEST_F(RegistryStoreTest, MissingThingsGiveFalseWithoutError)
{
    std::wstring s = L"keep";
    EXPECT_FALSE(RegistryStore::GetString(kUser, kKey, L"Nothing", s));
    EXPECT_EQ(s, L"keep");
    EXPECT_TRUE(RegistryStore::LastError().empty());
    EXPECT_FALSE(RegistryStore::KeyExists(kUser, kKey));
    EXPECT_TRUE(RegistryStore::EnumSubKeys(kUser, kKey).empty());
    EXPECT_TRUE(RegistryStore::LastError().empty());

    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"Here", L"x"));
    EXPECT_FALSE(RegistryStore::GetString(kUser, kKey, L"Nothing", s));
    EXPECT_FALSE(RegistryStore::GetString(kUser, L"Software\\Other", L"Here", s));
    EXPECT_TRUE(RegistryStore::LastError().empty());
}

TEST_F(RegistryStoreTest, DefaultValueHasTheEmptyName)
{
    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"", L"default"));
    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"Named", L"named"));
    std::wstring s;
    ASSERT_TRUE(RegistryStore::GetString(kUser, kKey, L"", s));
    EXPECT_EQ(s, L"default");
    EXPECT_EQ(RegistryStore::EnumValueNames(kUser, kKey), (std::vector<std::wstring>{L"", L"Named"}));
}

TEST_F(RegistryStoreTest, KeysAndValueNamesIgnoreCase)
{
    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"InstallPath", L"/opt/tq"));
    std::wstring s;
    ASSERT_TRUE(RegistryStore::GetString(kUser, L"SOFTWARE\\veltrane\\tq3300", L"INSTALLPATH", s));
    EXPECT_EQ(s, L"/opt/tq");
    EXPECT_TRUE(RegistryStore::KeyExists(kUser, L"software\\VELTRANE"));

    // Writing through another case changes the same value and keeps the first case.
    ASSERT_TRUE(RegistryStore::SetString(kUser, L"software\\veltrane\\TQ3300", L"installpath", L"/usr/tq"));
    EXPECT_EQ(RegistryStore::EnumValueNames(kUser, kKey), std::vector<std::wstring>{L"InstallPath"});
    EXPECT_EQ(RegistryStore::EnumSubKeys(kUser, L"software"), std::vector<std::wstring>{L"Veltrane"});
    ASSERT_TRUE(RegistryStore::GetString(kUser, kKey, L"InstallPath", s));
    EXPECT_EQ(s, L"/usr/tq");
}

TEST_F(RegistryStoreTest, NonAsciiNamesIgnoreCase)
{
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, L"\u00c4rger\\\u041f\u0420\u0418\u0412\u0415\u0422", L"\u00c9t\u00e9", 5));
    uint32_t n = 0;
    ASSERT_TRUE(RegistryStore::GetDWord(kUser, L"\u00e4RGER\\\u043f\u0440\u0438\u0432\u0435\u0442", L"\u00e9T\u00c9", n));
    EXPECT_EQ(n, 5u);
}

TEST_F(RegistryStoreTest, SurplusBackslashesNameTheSameKey)
{
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, L"\\Software\\\\Veltrane\\", L"N", 3));
    uint32_t n = 0;
    ASSERT_TRUE(RegistryStore::GetDWord(kUser, L"Software\\Veltrane", L"N", n));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(RegistryStore::EnumSubKeys(kUser, L""), std::vector<std::wstring>{L"Software"});
}

TEST_F(RegistryStoreTest, EnumeratesSubKeysAndValuesInStoredOrder)
{
    ASSERT_TRUE(RegistryStore::CreateKey(kUser, L"Root\\Zeta"));
    ASSERT_TRUE(RegistryStore::CreateKey(kUser, L"Root\\Alpha\\Deep"));
    ASSERT_TRUE(RegistryStore::SetString(kUser, L"Root\\Mid", L"v", L"x"));
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, L"Root", L"Second", 2));
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, L"Root", L"First", 1));
    EXPECT_EQ(RegistryStore::EnumSubKeys(kUser, L"Root"), (std::vector<std::wstring>{L"Zeta", L"Alpha", L"Mid"}));
    EXPECT_EQ(RegistryStore::EnumValueNames(kUser, L"Root"), (std::vector<std::wstring>{L"Second", L"First"}));
    EXPECT_EQ(RegistryStore::EnumSubKeys(kUser, L"Root\\Alpha"), std::vector<std::wstring>{L"Deep"});
    EXPECT_TRUE(RegistryStore::EnumValueNames(kUser, L"Root\\Zeta").empty());
}

TEST_F(RegistryStoreTest, CreateKeyMakesEveryLevel)
{
    ASSERT_TRUE(RegistryStore::CreateKey(kUser, L"A\\B\\C"));
    EXPECT_TRUE(RegistryStore::KeyExists(kUser, L"A"));
    EXPECT_TRUE(RegistryStore::KeyExists(kUser, L"A\\B"));
    EXPECT_TRUE(RegistryStore::KeyExists(kUser, L"A\\B\\C"));
    EXPECT_FALSE(RegistryStore::KeyExists(kUser, L"A\\C"));
    EXPECT_TRUE(RegistryStore::CreateKey(kUser, L"A\\B\\C"));
    EXPECT_EQ(RegistryStore::EnumSubKeys(kUser, L"A\\B").size(), 1u);
}

TEST_F(RegistryStoreTest, DeleteValue)
{
    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"Keep", L"k"));
    ASSERT_TRUE(RegistryStore::SetString(kUser, kKey, L"Drop", L"d"));
    ASSERT_TRUE(RegistryStore::DeleteValue(kUser, kKey, L"DROP"));
    EXPECT_EQ(RegistryStore::EnumValueNames(kUser, kKey), std::vector<std::wstring>{L"Keep"});
    EXPECT_TRUE(RegistryStore::KeyExists(kUser, kKey));
    EXPECT_TRUE(RegistryStore::DeleteValue(kUser, kKey, L"Drop"));
    EXPECT_TRUE(RegistryStore::DeleteValue(kUser, L"No\\Such\\Key", L"Drop"));
}

TEST_F(RegistryStoreTest, DeleteKeyTakesItsSubKeys)
{
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, L"A\\B\\C", L"n", 1));
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, L"A\\B", L"n", 2));
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, L"A\\Other", L"n", 3));
    ASSERT_TRUE(RegistryStore::DeleteKey(kUser, L"a\\b"));
    EXPECT_FALSE(RegistryStore::KeyExists(kUser, L"A\\B"));
    EXPECT_FALSE(RegistryStore::KeyExists(kUser, L"A\\B\\C"));
    uint32_t n = 0;
    ASSERT_TRUE(RegistryStore::GetDWord(kUser, L"A\\Other", L"n", n));
    EXPECT_EQ(n, 3u);
    EXPECT_TRUE(RegistryStore::DeleteKey(kUser, L"A\\B"));
    EXPECT_TRUE(RegistryStore::DeleteKey(kUser, L"X\\Y"));
}

TEST_F(RegistryStoreTest, RootCannotBeDeleted)
{
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, L"A", L"n", 1));
    EXPECT_FALSE(RegistryStore::DeleteKey(kUser, L""));
    EXPECT_FALSE(RegistryStore::LastError().empty());
    EXPECT_FALSE(RegistryStore::DeleteKey(kUser, L"\\"));
    EXPECT_TRUE(RegistryStore::KeyExists(kUser, L"A"));
}

TEST_F(RegistryStoreTest, DeletingFromAHiveWithoutFileCreatesNothing)
{
    EXPECT_TRUE(RegistryStore::DeleteKey(kUser, L"A"));
    EXPECT_TRUE(RegistryStore::DeleteValue(kUser, L"A", L"v"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/user"));
}

TEST_F(RegistryStoreTest, NamesThatCannotBeStoredAreRefused)
{
    EXPECT_FALSE(RegistryStore::SetDWord(kUser, L"Bad\x01Key", L"n", 1));
    EXPECT_FALSE(RegistryStore::LastError().empty());
    EXPECT_FALSE(RegistryStore::SetDWord(kUser, L"Good", std::wstring(L"a\0b", 3), 1));
    EXPECT_FALSE(RegistryStore::LastError().empty());
    EXPECT_FALSE(RegistryStore::CreateKey(kUser, L"Good\\\x02"));
    EXPECT_FALSE(std::filesystem::exists(RegistryStore::HiveFile(kUser)));
}

TEST_F(RegistryStoreTest, NameCharactersRoundTrip)
{
    const std::wstring key = L"R&D <lab> \"x\"\\ sp ace ";
    const std::wstring name = L"a&b<c>'d\"\n";
    ASSERT_TRUE(RegistryStore::SetString(kUser, key, name, L"v"));
    EXPECT_EQ(RegistryStore::EnumSubKeys(kUser, L""), std::vector<std::wstring>{L"R&D <lab> \"x\""});
    EXPECT_EQ(RegistryStore::EnumSubKeys(kUser, L"R&D <lab> \"x\""), std::vector<std::wstring>{L" sp ace "});
    EXPECT_EQ(RegistryStore::EnumValueNames(kUser, key), std::vector<std::wstring>{name});
}

TEST_F(RegistryStoreTest, MachineAndUserHivesAreSeparateFiles)
{
    ASSERT_TRUE(RegistryStore::SetString(RegHive::CurrentUser, kKey, L"Where", L"user"));
    ASSERT_TRUE(RegistryStore::SetString(RegHive::LocalMachine, kKey, L"Where", L"machine"));
    ASSERT_TRUE(RegistryStore::SetDWord(RegHive::LocalMachine, kKey, L"OnlyMachine", 1));
    std::wstring s;
    ASSERT_TRUE(RegistryStore::GetString(RegHive::CurrentUser, kKey, L"Where", s));
    EXPECT_EQ(s, L"user");
    ASSERT_TRUE(RegistryStore::GetString(RegHive::LocalMachine, kKey, L"Where", s));
    EXPECT_EQ(s, L"machine");
    EXPECT_FALSE(RegistryStore::GetValue(RegHive::CurrentUser, kKey, L"OnlyMachine"));
    const std::string userFile = RegistryStore::HiveFile(RegHive::CurrentUser);
    const std::string machineFile = RegistryStore::HiveFile(RegHive::LocalMachine);
    EXPECT_NE(userFile, machineFile);
    EXPECT_TRUE(std::filesystem::exists(userFile));
    EXPECT_TRUE(std::filesystem::exists(machineFile));
}

TEST_F(RegistryStoreTest, WriteLeavesOnlyHiveAndLockFile)
{
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, kKey, L"n", 1));
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, kKey, L"n", 2));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() + "/user"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"registry.xml", "registry.xml.lock"}));
}

TEST_F(RegistryStoreTest, AnEmptyHiveFileIsAnEmptyHive)
{
    WriteBytes(RegistryStore::HiveFile(kUser), "");
    EXPECT_FALSE(RegistryStore::KeyExists(kUser, L"A"));
    EXPECT_TRUE(RegistryStore::LastError().empty());
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, L"A", L"n", 1));
    EXPECT_TRUE(RegistryStore::KeyExists(kUser, L"A"));
}

TEST_F(RegistryStoreTest, HandWrittenFileIsRead)
{
    WriteBytes(RegistryStore::HiveFile(kUser),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- edited by hand -->\n"
        "<registry>\n"
        "  <key name=\"Software\">\n"
        "    <value name=\"Count\" type=\"dword\"> 42\n </value>\n"
        "    <value name=\"Blob\" type=\"binary\">00 FF\n 10</value>\n"
        "    <value name=\"Text\" type=\"string\"><![CDATA[a<b]]>&amp;c</value>\n"
        "  </key>\n"
        "</registry>\n");
    uint32_t n = 0;
    ASSERT_TRUE(RegistryStore::GetDWord(kUser, L"Software", L"Count", n)) << RegistryStore::LastError();
    EXPECT_EQ(n, 42u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(RegistryStore::GetBinary(kUser, L"Software", L"Blob", bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x00, 0xFF, 0x10}));
    std::wstring s;
    ASSERT_TRUE(RegistryStore::GetString(kUser, L"Software", L"Text", s));
    EXPECT_EQ(s, L"a<b&c");
}

TEST_F(RegistryStoreTest, HiveFolderThatIsAFileGivesAnError)
{
    WriteBytes(dir.Path() + "/user", "not a folder");
    EXPECT_FALSE(RegistryStore::SetDWord(kUser, L"A", L"n", 1));
    EXPECT_NE(RegistryStore::LastError().find(dir.Path()), std::string::npos);
    EXPECT_EQ(FileBytes(dir.Path() + "/user"), "not a folder");
}

TEST_F(RegistryStoreTest, HiveFileThatIsAFolderGivesAnError)
{
    std::filesystem::create_directories(RegistryStore::HiveFile(kUser));
    EXPECT_FALSE(RegistryStore::KeyExists(kUser, L"A"));
    EXPECT_FALSE(RegistryStore::LastError().empty());
    EXPECT_FALSE(RegistryStore::SetDWord(kUser, L"A", L"n", 1));
    EXPECT_FALSE(RegistryStore::LastError().empty());
}

} // namespace
