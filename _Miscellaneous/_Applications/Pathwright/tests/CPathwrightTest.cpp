#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "PathwrightTestEnv.h"

namespace fs = std::filesystem;

namespace {

const std::string kUsage = "Usage:\nPathwright [-remove] [Path]...\nWhere:\n"
                           " -remove : Remove paths from system PATH\n  Path   : Path to append/remove\n";
const std::string kReading = "Reading current settings from registry...\n";
const std::string kApplied = "Applying changes to registry...\nNotifying system of PATH change...\n";

} // namespace

TEST_F(PathwrightTest, UsageTouchesNothing)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"-x"}, {"-x", "/opt/a"}, {"\"\""}, {"-remove"}, {"-"}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.result, -1);
        EXPECT_EQ(outcome.out, kUsage);
    }
    EXPECT_FALSE(fs::exists(HiveFile()));
    EXPECT_EQ(m_broadcasts, 0);
}

TEST_F(PathwrightTest, PresentInAnotherSpellingChangesNothing)
{
    fs::create_directories(m_dir + "/tools");
    fs::create_directory_symlink(m_dir + "/tools", m_dir + "/toolslink");
    SetStored("/usr/bin;" + m_dir + "/tools/");
    SetEnvironment("PATH=/usr/bin:" + m_dir + "/tools/\n");
    const ino_t hive = Inode(HiveFile());
    const ino_t environment = Inode(m_environment);
    for (const std::string& spelling : {m_dir + "/tools", m_dir + "/tools//", m_dir + "/x/../tools",
                                        m_dir + "/toolslink", "\"" + m_dir + "/tools\""}) {
        const Outcome outcome = Run({spelling});
        EXPECT_EQ(outcome.result, 0) << spelling;
        EXPECT_EQ(outcome.out, kReading) << spelling;
    }
    // Another letter case is another directory here.
    EXPECT_EQ(Run({m_dir + "/TOOLS"}).out, kReading + " To add: \"" + m_dir + "/TOOLS\"\n" + kApplied);
    EXPECT_EQ(m_broadcasts, 1);
    EXPECT_NE(Inode(HiveFile()), hive);
    EXPECT_NE(Inode(m_environment), environment);
}

TEST_F(PathwrightTest, AddKeepsTheOtherEnvironmentLines)
{
    SetStored("/a;;/b;");
    SetEnvironment("LANG=C\n# comment\nPATH=\"/a:/b\"\nEDITOR=vi");
    fs::permissions(m_environment, fs::perms(0640));
    const std::string quoted = m_dir + "/new dir";
    const Outcome outcome = Run({"rel/dir", "\"" + quoted + "\"", m_dir + "/q\"", m_dir + "/q"});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.out, kReading + " To add: \"rel/dir\"\n To add: \"" + quoted + "\"\n To add: \"" + m_dir
                               + "/q\"\n" + kApplied);
    EXPECT_EQ(Stored(), "/a;/b;rel/dir;" + quoted + ";" + m_dir + "/q");
    EXPECT_EQ(Environment(), "LANG=C\n# comment\nPATH=\"/a:/b:rel/dir:" + quoted + ":" + m_dir + "/q\"\nEDITOR=vi");
    EXPECT_EQ(fs::status(m_environment).permissions(), fs::perms(0640));
    EXPECT_EQ(m_broadcasts, 1);
    // A relative directory is compared by its full form, so it goes in again.
    EXPECT_EQ(Run({"rel/dir"}).out, kReading + " To add: \"rel/dir\"\n" + kApplied);
}

TEST_F(PathwrightTest, EnvironmentFileThatIsALinkIsWrittenThroughIt)
{
    fs::create_directories(m_dir + "/root/real");
    const std::string real = m_dir + "/root/real/environment";
    std::ofstream(real, std::ios::binary) << "LANG=C\nPATH=\"/a\"\n";
    fs::create_symlink("../real/environment", m_environment);
    EXPECT_EQ(Run({"/b"}).result, 0);
    EXPECT_TRUE(fs::is_symlink(m_environment));
    std::string text;
    vlt::ReadRegularFile(real, 1 << 20, text);
    EXPECT_EQ(text, "LANG=C\nPATH=\"/a:/b\"\n");
}

TEST_F(PathwrightTest, RemoveTakesTheFirstMatchOnly)
{
    SetStored("/a;/b;/a/;/c");
    const Outcome outcome = Run({"/a", "/REMOVE"});
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.out, kReading + " To remove: \"/a\"\n" + kApplied);
    EXPECT_EQ(Stored(), "/b;/a/;/c");
    EXPECT_EQ(Environment(), "PATH=\"/b:/a/:/c\"\n");
    const ino_t hive = Inode(HiveFile());
    const ino_t environment = Inode(m_environment);
    const Outcome absent = Run({"-Remove", "/zzz", "/has:colon"});
    EXPECT_EQ(absent.result, 0);
    EXPECT_EQ(absent.out, kReading);
    EXPECT_EQ(Inode(HiveFile()), hive);
    EXPECT_EQ(Inode(m_environment), environment);
    EXPECT_EQ(m_broadcasts, 1);
}

TEST_F(PathwrightTest, PathsTheSystemPathCannotHoldAreRefused)
{
    for (const std::string path : {"/opt/a:b", "/opt/a;b", "/opt/a\nb", "/opt/\xff"}) {
        const Outcome outcome = Run({"/opt/ok", path});
        EXPECT_EQ(outcome.result, -1);
        EXPECT_EQ(outcome.out, "Cannot add \"" + path + "\": a directory in the system PATH cannot contain ':', ';',"
                                   " control characters or invalid UTF-8\n");
    }
    EXPECT_FALSE(fs::exists(HiveFile()));
    EXPECT_FALSE(fs::exists(m_environment));
}

TEST_F(PathwrightTest, FirstRunKeepsTheSystemPath)
{
    const struct {
        std::optional<std::string> environment; // none: no file
        std::string stored;
        std::string written;
    } cases[] = {
        {"PATH='/usr/bin:/bin'\n", "/usr/bin;/bin;/opt/x", "PATH=\"/usr/bin:/bin:/opt/x\"\n"},
        {"LANG=C", "/usr/local/sbin;/usr/local/bin;/usr/sbin;/usr/bin;/sbin;/bin;/opt/x",
         "LANG=C\nPATH=\"/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin:/opt/x\"\n"},
        {std::nullopt, "/usr/local/sbin;/usr/local/bin;/usr/sbin;/usr/bin;/sbin;/bin;/opt/x",
         "PATH=\"/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin:/opt/x\"\n"},
    };
    for (const auto& c : cases) {
        fs::remove_all(m_dir + "/reg");
        fs::remove(m_environment);
        if (c.environment)
            SetEnvironment(*c.environment);
        EXPECT_EQ(Run({"/opt/x"}).result, 0);
        EXPECT_EQ(Stored(), c.stored);
        EXPECT_EQ(Environment(), c.written);
    }
    // A value of its own is not changed by what the file says.
    SetEnvironment("PATH=/elsewhere\n");
    SetStored("/opt/x");
    EXPECT_EQ(Run({"/opt/x"}).result, 0);
    EXPECT_EQ(Environment(), "PATH=\"/opt/x\"\n");
}

TEST_F(PathwrightTest, FailedMirrorWriteIsRepairedByTheNextRun)
{
    SetStored("/usr/bin");
    fs::remove_all(m_dir + "/root/etc");
    std::ofstream(m_dir + "/root/etc") << "not a folder";
    const Outcome failed = Run({"/opt/x"});
    EXPECT_EQ(failed.result, -1);
    EXPECT_TRUE(failed.out.starts_with(kReading + " To add: \"/opt/x\"\n" + kApplied
                                       + "Failed to update the environment file: "))
        << failed.out;
    EXPECT_EQ(Stored(), "/usr/bin;/opt/x");
    EXPECT_EQ(m_broadcasts, 1);

    fs::remove(m_dir + "/root/etc");
    fs::create_directories(m_dir + "/root/etc");
    SetEnvironment("PATH=/usr/bin\n");
    const Outcome repaired = Run({"/opt/x"});
    EXPECT_EQ(repaired.result, 0);
    EXPECT_EQ(repaired.out, kReading);
    EXPECT_EQ(Environment(), "PATH=\"/usr/bin:/opt/x\"\n");
    EXPECT_EQ(m_broadcasts, 1);

    // An environment file that cannot be read is never replaced.
    fs::remove(m_environment);
    ASSERT_EQ(::mkfifo(m_environment.c_str(), 0600), 0);
    const Outcome unreadable = Run({"/opt/y"});
    EXPECT_EQ(unreadable.result, -1);
    EXPECT_EQ(Stored(), "/usr/bin;/opt/x;/opt/y");
    EXPECT_TRUE(fs::is_fifo(m_environment));
    fs::remove_all(m_dir + "/reg"); // and without a value it is where the path starts
    EXPECT_EQ(Run({"/opt/y"}).result, -3);
    EXPECT_FALSE(Stored());
}

TEST_F(PathwrightTest, RegistryFailures)
{
    std::ofstream(m_dir + "/regfile") << "x";
    setenv("VLT_REGISTRY_DIR", (m_dir + "/regfile").c_str(), 1);
    EXPECT_EQ(Run({"/opt/x"}).out, kReading + "Failed to open registry key: Not a directory\n");
    EXPECT_EQ(Run({"/opt/x"}).result, -2);
    setenv("VLT_REGISTRY_DIR", (m_dir + "/reg").c_str(), 1);

    SetStored("/usr/bin");
    if (::geteuid() != 0) { // root writes anywhere
        fs::permissions(m_dir + "/reg/machine", fs::perms(0555));
        const Outcome locked = Run({"/opt/x"});
        fs::permissions(m_dir + "/reg/machine", fs::perms(0755));
        EXPECT_EQ(locked.result, -2);
        EXPECT_EQ(locked.out, kReading + "Failed to open registry key: Permission denied\n");
    }
    ASSERT_TRUE(vlt::RegistryStore::SetDWord(vlt::RegHive::LocalMachine, kKey, L"Path", 5));
    EXPECT_EQ(Run({"/opt/x"}).result, -3);
    std::ofstream(HiveFile()) << "<damaged";
    const Outcome damaged = Run({"/opt/x"});
    EXPECT_EQ(damaged.result, -3);
    EXPECT_TRUE(damaged.out.starts_with(kReading + "Failed to read PATH from registry: ")) << damaged.out;
    EXPECT_EQ(m_broadcasts, 0);
}
