#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "BadFiles.h"
#include "CFileWriter.h"

namespace {

using Existing = vlt::CFileWriter::Options::Existing;

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

TEST(AtomicFile, PiecewiseWriterReplacesOnlyOnCommit)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/ts.bin";
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "a longer previous file"));
    std::string data;
    {
        vlt::CFileWriter writer;
        ASSERT_TRUE(writer.Open(path));
        ASSERT_TRUE(writer.Write("never"));
        ASSERT_TRUE(vlt::ReadWholeFile(path, data));
        EXPECT_EQ(data, "a longer previous file");
    }
    EXPECT_EQ(CountEntries(dir), 1); // the uncommitted piece is gone
    ASSERT_TRUE(vlt::ReadWholeFile(path, data));
    EXPECT_EQ(data, "a longer previous file");

    vlt::CFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.Write("sho"));
    ASSERT_TRUE(writer.Write("rt"));
    std::string err;
    ASSERT_TRUE(writer.Commit(&err)) << err;
    ASSERT_TRUE(vlt::ReadWholeFile(path, data));
    EXPECT_EQ(data, "short");
    EXPECT_FALSE(writer.Write("more", &err)); // committed: closed
    EXPECT_EQ(CountEntries(dir), 1);
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

TEST(AtomicFile, ReadingRefusesWhatIsNoPlainFileAtOnce)
{
    const std::string dir = MakeTempDir();
    for (badfiles::Kind kind : badfiles::kAll) {
        SCOPED_TRACE(badfiles::Name(kind));
        const std::string path = dir + "/input";
        ASSERT_TRUE(badfiles::Make(kind, path));
        const char* why = kind == badfiles::Kind::Sparse ? "larger than 1048576 bytes" : "not a regular file";
        badfiles::HangGuard guard;
        std::string data = "unchanged", err;
        EXPECT_FALSE(vlt::ReadWholeFile(path, data, &err, 1 << 20));
        EXPECT_EQ(data, "unchanged");
        EXPECT_NE(err.find(path), std::string::npos) << err;
        EXPECT_NE(err.find(why), std::string::npos) << err;
        EXPECT_EQ(vlt::OpenRegularFile(path, 1 << 20), -1);
        EXPECT_EQ(errno, kind == badfiles::Kind::Sparse ? EFBIG : EINVAL);
        ::unlink(path.c_str());
        ::rmdir(path.c_str());
    }
}

TEST(AtomicFile, ReadingHoldsToTheLimit)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/limit";
    ASSERT_TRUE(vlt::AtomicWriteFile(path, std::string(100, 'x')));
    std::string data, err;
    EXPECT_TRUE(vlt::ReadWholeFile(path, data, &err, 100)) << err;
    EXPECT_EQ(data.size(), 100u);
    EXPECT_FALSE(vlt::ReadWholeFile(path, data, &err, 99));
    uint64_t size = 0;
    const int fd = vlt::OpenRegularFile(path, 100, &size);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(size, 100u);
    ::close(fd);
    // Files of /proc claim size 0 and then give more: the limit holds while reading.
    data = "unchanged";
    EXPECT_FALSE(vlt::ReadWholeFile("/proc/self/status", data, &err, 16));
    EXPECT_EQ(data, "unchanged");
    EXPECT_NE(err.find("larger than 16 bytes"), std::string::npos) << err;
}

// A FIFO, a device or a folder where the file should go is refused before
// anything is written, and stays what it was.
TEST(AtomicFile, ATargetThatIsNoPlainFileIsRefusedAndKept)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/out.tq8fw";
    for (badfiles::Kind kind : {badfiles::Kind::Fifo, badfiles::Kind::DevZero, badfiles::Kind::Folder}) {
        ASSERT_TRUE(badfiles::Make(kind, path)) << badfiles::Name(kind);
        struct stat before {};
        ASSERT_EQ(::lstat(path.c_str(), &before), 0);
        std::string err;
        EXPECT_FALSE(vlt::AtomicWriteFile(path, "data", &err)) << badfiles::Name(kind);
        EXPECT_EQ(err, "Cannot write '" + path + "': not a regular file");
        // Nor is it written into, in place or appended to, nor waited for.
        badfiles::HangGuard guard;
        for (const auto existing : {Existing::Replace, Existing::Append}) {
            vlt::CFileWriter writer;
            err.clear();
            EXPECT_FALSE(writer.Open(path, {true, existing}, &err)) << badfiles::Name(kind);
            EXPECT_EQ(err, "Cannot write '" + path + "': not a regular file");
        }
        struct stat after {};
        ASSERT_EQ(::lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode) << badfiles::Name(kind);
        EXPECT_EQ(CountEntries(dir), 1);
        ::rmdir(path.c_str());
        ::unlink(path.c_str());
    }
}

// Written in place, a file holds its data as they come and keeps them; an
// appended one is cut back unless committed; an overwritten one is cut to
// what was written; a name that must stay free is refused when taken, at
// Open and again at Commit.
TEST(AtomicFile, InPlaceAppendedAndFreshFiles)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/rec.rd8";
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "an older, longer file"));
    std::string data, err;
    {
        vlt::CFileWriter writer;
        ASSERT_TRUE(writer.Open(path, {true, Existing::Replace}, &err)) << err;
        ASSERT_TRUE(writer.Write("new"));
        ASSERT_TRUE(vlt::ReadWholeFile(path, data));
        EXPECT_EQ(data, "new");
    }
    ASSERT_TRUE(vlt::ReadWholeFile(path, data));
    EXPECT_EQ(data, "new");
    for (const bool commit : {false, true}) {
        vlt::CFileWriter writer;
        ASSERT_TRUE(writer.Open(path, {false, Existing::Append}, &err)) << err;
        ASSERT_TRUE(writer.Write("+more"));
        ASSERT_TRUE(writer.Finish());
        if (commit)
            ASSERT_TRUE(writer.Commit());
        else
            writer.Discard();
        ASSERT_TRUE(vlt::ReadWholeFile(path, data));
        EXPECT_EQ(data, commit ? "new+more" : "new");
    }
    // Written over from the start and cut there; only a file that exists.
    vlt::CFileWriter writer;
    ASSERT_TRUE(writer.Open(path, {false, Existing::Overwrite}, &err)) << err;
    ASSERT_TRUE(writer.Write("NEW") && writer.Commit());
    ASSERT_TRUE(vlt::ReadWholeFile(path, data));
    EXPECT_EQ(data, "NEW");
    EXPECT_FALSE(writer.Open(dir + "/none", {false, Existing::Overwrite}));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(writer.Open(path, {false, Existing::Refuse}, &err));
    EXPECT_EQ(errno, EEXIST);
    const std::string segment = dir + "/rec_0002.rd8";
    ASSERT_TRUE(writer.Open(segment, {false, Existing::Refuse}, &err)) << err;
    ASSERT_TRUE(writer.Write("mine"));
    ASSERT_TRUE(vlt::AtomicWriteFile(segment, "theirs")); // taken meanwhile
    EXPECT_FALSE(writer.Commit(&err));
    EXPECT_EQ(errno, EEXIST);
    ASSERT_TRUE(vlt::ReadWholeFile(segment, data));
    EXPECT_EQ(data, "theirs");
    EXPECT_EQ(CountEntries(dir), 2);
}

// A save killed midway leaves its temporary file; the next save of the same
// target removes it, but never one of a writer that still runs.
TEST(AtomicFile, TheNextSaveRemovesWhatAKilledSaveLeft)
{
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/DefWsOpts.xml";
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "before"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        vlt::CFileWriter writer;
        if (writer.Open(path) && writer.Write(std::string(100000, 'x')))
            ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(CountEntries(dir), 2); // the target and the killed writer's piece
    // A writer that runs (process 1 always does) keeps its file; so does
    // another target's.
    const std::string running = path + ".tmp1.abcdef";
    const std::string other = dir + "/other.xml.tmp999999999.abcdef";
    ASSERT_TRUE(vlt::AtomicWriteFile(running, "in use"));
    ASSERT_TRUE(vlt::AtomicWriteFile(other, "not ours"));
    ASSERT_TRUE(vlt::AtomicWriteFile(path, "after"));
    std::string data;
    ASSERT_TRUE(vlt::ReadWholeFile(path, data));
    EXPECT_EQ(data, "after");
    EXPECT_EQ(CountEntries(dir), 3);
    EXPECT_EQ(::access(running.c_str(), F_OK), 0);
    EXPECT_EQ(::access(other.c_str(), F_OK), 0);
}
