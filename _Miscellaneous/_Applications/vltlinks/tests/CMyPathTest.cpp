#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "CMyPath.h"
#include "ScratchDir.h"

namespace fs = std::filesystem;

TEST(CMyPath, Parts)
{
    const struct {
        const char* path;
        const char* folder;
        const char* fileName;
        const char* title;
        const char* extension;
        const char* first;
        const char* last;
    } cases[] = {
        {"readme.txt", "", "readme.txt", "readme", "txt", "", ""},
        {"/a/b.txt", "/a", "b.txt", "b", "txt", "", "b.txt"},
        {"/a", "/", "a", "a", "", "", "a"},
        {"a/b/c.tar.gz", "a/b", "c.tar.gz", "c.tar", "gz", "a", "c.tar.gz"},
        {"/my.dir/file", "/my.dir", "file", "file", "", "", "file"}, // no extension across a '/'
        {"/x/.profile", "/x", ".profile", "", "profile", "", ".profile"},
        {"", "", "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        const CMyPath path(c.path);
        EXPECT_EQ(path.Folder().Text(), c.folder) << c.path;
        EXPECT_EQ(path.FileName(), c.fileName) << c.path;
        EXPECT_EQ(path.Title(), c.title) << c.path;
        EXPECT_EQ(path.Extension(), c.extension) << c.path;
        EXPECT_EQ(path.FirstComponent(), c.first) << c.path;
        EXPECT_EQ(path.LastComponent(), c.last) << c.path;
    }
    EXPECT_EQ(CMyPath("  /a b/c \t").Text(), "/a b/c"); // trimmed
    CMyPath up("/a/b");
    up.GoUp();
    EXPECT_EQ(up.Text(), "/a");
    up.GoUp();
    EXPECT_EQ(up.Text(), "");
    CMyPath relative("a/b");
    relative.GoUp();
    relative.GoUp();
    EXPECT_EQ(relative.Text(), "");
}

TEST(CMyPath, Changes)
{
    const auto changed = [](const char* start, auto change) {
        CMyPath path(start);
        change(path);
        return path.Text();
    };
    EXPECT_EQ(changed("Setup.LNK", [](CMyPath& p) { p.AddExtension("lnk"); }), "Setup.LNK");
    EXPECT_EQ(changed("Setup", [](CMyPath& p) { p.AddExtension("lnk"); }), "Setup.lnk");
    EXPECT_EQ(changed("Setup", [](CMyPath& p) { p.AddExtension(".lnk"); }), "Setup.lnk");
    EXPECT_EQ(changed("/my.dir/file", [](CMyPath& p) { p.RenameExtension("txt"); }), "/my.dir/file.txt");
    EXPECT_EQ(changed("/a/b.doc", [](CMyPath& p) { p.RenameExtension(".txt"); }), "/a/b.txt");
    EXPECT_EQ(changed("/a/b", [](CMyPath& p) { p.Append(" c/../d/./e "); }), "/a/b/d/e");
    EXPECT_EQ(changed("/a/b", [](CMyPath& p) { p.Append("/opt/x"); }), "/opt/x");
    EXPECT_EQ(changed("/a/b", [](CMyPath& p) { p.Append(""); }), "/a/b");
    EXPECT_EQ(changed("c/d", [](CMyPath& p) { p.Prepend("/a/"); }), "/a/c/d");
    EXPECT_EQ(changed("", [](CMyPath& p) { p.Prepend("/a/"); }), "/a/");
    EXPECT_EQ(changed("/x/y/f.txt", [](CMyPath& p) { p.MoveToFolder("/z"); }), "/z/f.txt");
    EXPECT_EQ(changed("/a", [](CMyPath& p) { p.AddTrailingSlash(); }), "/a/");
    EXPECT_EQ(changed("/a//", [](CMyPath& p) { p.RemoveTrailingSlash(); }), "/a");
    EXPECT_EQ(changed("/", [](CMyPath& p) { p.RemoveTrailingSlash(); }), "/");
    EXPECT_EQ(changed("a/b/c", [](CMyPath& p) { p.DropFirstComponent(); }), "b/c");
    EXPECT_EQ(changed("abc", [](CMyPath& p) { p.DropFirstComponent(); }), "");
    EXPECT_EQ(changed("/a/b/c", [](CMyPath& p) { p.ReplacePrefix("/a/", "/x"); }), "/x/b/c");
    EXPECT_EQ(changed("/ab/c", [](CMyPath& p) { p.ReplacePrefix("/a", "/x"); }), "/ab/c"); // not a component
    EXPECT_EQ(changed("\"/a b\"\"", [](CMyPath& p) { p.RemoveQuotes(); }), "/a b");
    EXPECT_EQ(changed("//a/./b/../c/", [](CMyPath& p) { p.Canonicalize(); }), "/a/c/");
    EXPECT_EQ(changed("../a/..", [](CMyPath& p) { p.Canonicalize(); }), "..");
}

TEST(CMyPath, TestsQuotingAndNames)
{
    EXPECT_EQ(CMyPath::Quoted("/Program Files/x"), "\"/Program Files/x\"");
    EXPECT_EQ(CMyPath::Quoted("/x"), "/x");
    EXPECT_EQ(CMyPath::Quoted("/x", true), "\"/x\"");
    EXPECT_EQ(CMyPath::Quoted("\"/Program Files/x\""), "\"/Program Files/x\"");
    EXPECT_EQ(CMyPath::Quoted("", true), "");
    EXPECT_TRUE(CMyPath("a\"b").IsQuoted(false));
    EXPECT_FALSE(CMyPath("a\"b").IsQuoted(true));
    EXPECT_FALSE(CMyPath("\"").IsQuoted(true));
    for (const char* bad : {"a#b", "50%", "", " . ", "..", "a/b", "a:b", "a\\b", "a|b", "a*b"})
        EXPECT_FALSE(CMyPath::IsValidFileName(bad)) << bad;
    EXPECT_TRUE(CMyPath::IsValidFileName(" Tool 1.5 "));
    EXPECT_TRUE(CMyPath("/a/b").HasPrefix("/a"));
    EXPECT_TRUE(CMyPath("/a/b").HasPrefix("/a/b/"));
    EXPECT_TRUE(CMyPath("/a/b").HasPrefix("/"));
    EXPECT_FALSE(CMyPath("/a/bc").HasPrefix("/a/b"));
    EXPECT_FALSE(CMyPath("/A/b").HasPrefix("/a"));
    EXPECT_FALSE(CMyPath("/a").HasPrefix(" "));
    int position = -1;
    EXPECT_TRUE(CMyPath("/x/r.XLS").HasExtensionInList(" txt; .doc;;xls ", &position));
    EXPECT_EQ(position, 3);
    EXPECT_FALSE(CMyPath("/x.y/r").HasExtensionInList("y"));
    EXPECT_TRUE(CMyPath("bin").IsFileName());
    EXPECT_TRUE(CMyPath("bin/x").IsRelative());
    EXPECT_FALSE(CMyPath("/bin").IsRelative());
}

TEST(CMyPath, AbsoluteAndRelativeForms)
{
    const std::string dir = ShellScratchDir();
    fs::create_directories(dir + "/base/sub");
    EXPECT_EQ(CMyPath("sub/../file").AbsoluteForm(" /base ").Text(), "/base/file");
    EXPECT_EQ(CMyPath("/abs").AbsoluteForm("/base").Text(), "/abs");
    EXPECT_EQ(CMyPath("").AbsoluteForm("/base").Text(), "");
    EXPECT_EQ(CMyPath("f").AbsoluteForm().Text(), CMyPath::CurrentFolder() + "/f");
    CMyPath made("x");
    EXPECT_TRUE(made.MakeAbsolute("/b"));
    EXPECT_EQ(made.Text(), "/b/x");
    const CMyPath below(dir + "/base/sub/file");
    EXPECT_EQ(below.RelativeForm(CMyPath(dir + "/base")).Text(), "./sub/file");      // a directory
    EXPECT_EQ(below.RelativeForm(CMyPath(dir + "/base/other.txt")).Text(), "./sub/file"); // its folder
    EXPECT_EQ(below.RelativeForm(CMyPath("/")).Text(), "." + dir + "/base/sub/file");
    EXPECT_EQ(below.RelativeForm(CMyPath("/elsewhere/x")).Text(), below.Text());
    EXPECT_EQ(below.RelativeForm(CMyPath("rel")).Text(), "");
}

TEST(CMyPath, FileSystem)
{
    const std::string dir = ShellScratchDir();
    fs::create_directories(dir + "/sub");
    std::ofstream(dir + "/sub/data.bin") << "12345";
    ::chmod((dir + "/sub/data.bin").c_str(), 0444);
    fs::create_directory_symlink("sub", dir + "/link");
    const CMyPath file(dir + "/sub/data.bin");
    EXPECT_TRUE(file.Exists());
    EXPECT_TRUE(file.IsReadOnly());
    EXPECT_FALSE(file.IsDirectory());
    EXPECT_EQ(CMyPath::FileSize(file.Text()), 5);
    EXPECT_EQ(CMyPath::FileSize(dir), -1);
    EXPECT_FALSE(CMyPath::FileExists(dir));
    EXPECT_TRUE(CMyPath::FileExists(dir, true));
    EXPECT_EQ(CMyPath(dir + "/link/data.bin").ShortForm().Text(), file.Text());
    EXPECT_EQ(CMyPath(dir + "/link/none").LongForm().Text(), "");

    // Exclusive creation: an existing file is left alone, a test file goes
    // again, and a folder or an unreachable name gives false.
    EXPECT_TRUE(CMyPath::FileExistsOrCanBeCreated(file.Text(), false));
    EXPECT_FALSE(CMyPath::FileExistsOrCanBeCreated(dir + "/new.txt", false));
    EXPECT_TRUE(CMyPath::FileExistsOrCanBeCreated(dir + "/new.txt", true));
    EXPECT_FALSE(fs::exists(dir + "/new.txt"));
    EXPECT_FALSE(CMyPath::FileExistsOrCanBeCreated(dir + "/sub", true));
    EXPECT_TRUE(fs::is_directory(dir + "/sub"));
    EXPECT_FALSE(CMyPath::FileExistsOrCanBeCreated(dir + "/none/new.txt", true));

    CMyPath temp;
    ASSERT_TRUE(temp.MakeTempFileName(dir));
    EXPECT_EQ(temp.Folder().Text(), dir);
    EXPECT_EQ(temp.FileName().rfind("MRD", 0), 0u);
    EXPECT_EQ(temp.Extension(), "tmp");
    EXPECT_TRUE(CMyPath::FileExists(temp.Text()));
    EXPECT_FALSE(temp.MakeTempFileName(dir + "/none"));

    const std::string touched = dir + "/touched";
    EXPECT_FALSE(CMyPath(touched).Touch(true));
    EXPECT_TRUE(CMyPath(touched).Touch());
    ASSERT_TRUE(fs::exists(touched));
    const timespec old[2] = {{1000, 0}, {2000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, touched.c_str(), old, 0), 0);
    timespec written {};
    ASSERT_TRUE(CMyPath(touched).Touch(true, &written));
    struct stat info {};
    ASSERT_EQ(::stat(touched.c_str(), &info), 0);
    EXPECT_EQ(info.st_atim.tv_sec, 1000); // access time kept
    EXPECT_EQ(info.st_mtim.tv_sec, written.tv_sec);
    EXPECT_GT(written.tv_sec, 2000);
    EXPECT_FALSE(CMyPath(dir).Touch());

    CMyPath onPath("tool.sh");
    std::ofstream(dir + "/sub/tool.sh") << "";
    const std::string saved = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", ("/nonexistent::" + dir + "/sub").c_str(), 1);
    EXPECT_TRUE(onPath.FindOnSearchPath());
    EXPECT_EQ(onPath.Text(), dir + "/sub/tool.sh");
    CMyPath missing("sub/none");
    EXPECT_FALSE(missing.FindOnSearchPath());
    setenv("PATH", saved.c_str(), 1);
}
