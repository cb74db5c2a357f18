#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"

namespace {

std::string MakeTempDir()
{
    std::string base = std::getenv("VLT_TEST_TMP") ? std::getenv("VLT_TEST_TMP") : "/tmp";
    ::mkdir(base.c_str(), 0755);
    std::string dir = base + "/atomicXXXXXX";
    EXPECT_NE(::mkdtemp(dir.data()), nullptr);
    return dir;
}

int CountEntries(const std::string& dir)
{
    int n = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                ++n;
        ::closedir(d);
    }
    return n;
}

} // namespace

TEST(AtomicFile, WritesAndReplacesWholeFiles)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/opts.xml";
    std::string err;
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "first", &err)) << err;
    ASSERT_TRUE(vlt::AtomicWriteFile(path, std::string("sec\0ond", 7), &err)) << err;
    std::string data;
    ASSERT_TRUE(vlt::ReadWholeFile(path, data, &err)) << err;
    EXPECT_EQ(data, std::string("sec\0ond", 7));
    EXPECT_EQ(CountEntries(dir), 1); // no temporary file is left behind
}

TEST(AtomicFile, KeepsThePermissionsOfTheReplacedFile)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/keep.txt";
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "a"));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "b"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicFile, FailureLeavesThePreviousFileIntact)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/old.txt";
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "precious"));
    std::string err;
    // A target that is a folder cannot be replaced by a file.
    const std::string folder = dir + "/sub";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    EXPECT_FALSE(vlt::AtomicWriteFile(folder, "x", &err));
    EXPECT_FALSE(err.empty());
    EXPECT_FALSE(vlt::AtomicWriteFile(dir + "/missing/file.txt", "x", &err));
    EXPECT_NE(err.find("missing/file.txt"), std::string::npos);
    EXPECT_FALSE(vlt::AtomicWriteFile("", "x", &err));
    std::string data;
    ASSERT_TRUE(vlt::ReadWholeFile(path, data));
    EXPECT_EQ(data, "precious");
    EXPECT_EQ(CountEntries(dir), 2);

    if (::geteuid() != 0) { // root writes anywhere
        ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
        EXPECT_FALSE(vlt::AtomicWriteFile(path, "new", &err));
        ::chmod(dir.c_str(), 0755);
        ASSERT_TRUE(vlt::ReadWholeFile(path, data));
        EXPECT_EQ(data, "precious");
    }
}

TEST(AtomicFile, ReadingAMissingFileFailsWithAReason)
{
    std::string data = "unchanged", err;
    EXPECT_FALSE(vlt::ReadWholeFile("/nonexistent/dir/file", data, &err));
    EXPECT_EQ(data, "unchanged");
    EXPECT_NE(err.find("/nonexistent/dir/file"), std::string::npos);
}
