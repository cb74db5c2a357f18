#pragma once
// One file path, with the operations to take it apart, join it, test it
// against the file system and find the special folders. Paths use '/';
// nothing is cut to a fixed length: an operation that cannot give its whole
// result gives an empty one. Text given to the constructors, to Set and to
// the joining operations is trimmed of white space first.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

class CMyPath {
public:
    CMyPath() = default;
    CMyPath(const char* text);
    CMyPath(const std::string& text);
    explicit CMyPath(std::wstring_view wide);
    CMyPath(const CMyPath&) = default;
    CMyPath& operator=(const CMyPath&) = default;
    virtual ~CMyPath() = default;

    void Set(const std::string& text);
    const std::string& Text() const { return m_path; }
    std::string Copy() const { return m_path; }
    void Clear() { m_path.clear(); }
    bool IsEmpty() const { return m_path.empty(); }

    // Parts. The extension and the title come from the last component only.
    CMyPath Folder() const;           // empty for a bare file name
    std::string FileName() const;     // the whole text for a bare file name
    std::string Title() const;        // the last component without its extension
    std::string Extension() const;    // after the last '.', without it
    std::string FirstComponent() const; // before the first '/'
    std::string LastComponent() const;  // after the last '/'

    // Tests.
    bool IsFileName() const { return IsFileName(m_path); }
    static bool IsFileName(const std::string& text); // no '/'
    bool IsRelative() const;
    bool IsDirectory() const;
    bool Exists() const;
    bool IsReadOnly() const; // exists with no write permission for anyone
    bool ContainsBlank() const;
    // whole: first and last characters are '"'; else a '"' anywhere.
    bool IsQuoted(bool whole) const;
    // The prefix names this path or a folder above it, by whole components.
    bool HasPrefix(const std::string& prefix) const;
    // The extension matches an item of a ';' list (leading '.' optional,
    // letter case ignored); position gets the item's index, empty ones counted.
    bool HasExtensionInList(const std::string& list, int* position = nullptr) const;

    // Changes.
    void Append(const std::string& name);   // joined and made canonical; an absolute name replaces
    void Prepend(const std::string& folder);
    void MoveToFolder(const std::string& folder);
    void AddExtension(const std::string& extension);    // unless it has it already
    void RenameExtension(const std::string& extension); // replaces the extension
    void AddTrailingSlash();
    void RemoveTrailingSlash();
    void GoUp();               // cut at the last '/'; none leaves an empty path
    void DropFirstComponent(); // keep what follows the first '/'; none leaves an empty path
    void ReplacePrefix(const std::string& oldPrefix, const std::string& newPrefix);
    void RemoveQuotes();
    // Enclosed in '"' when not empty, not enclosed already, and forced or
    // holding a blank.
    void Quote(bool force = false);
    static std::string Quoted(const std::string& text, bool force = false);
    // "." and ".." parts and doubled '/' resolved by text.
    bool Canonicalize();
    // A bare file name found in a folder of PATH becomes that file's path.
    bool FindOnSearchPath();
    // The canonical path (links resolved) when the path exists, else empty.
    CMyPath ShortForm() const;
    CMyPath LongForm() const;
    // Sets the last-write time to now (access time kept); creates a missing
    // file unless noCreate. written, when given, receives the time set.
    bool Touch(bool noCreate = false, timespec* written = nullptr) const;
    // A new empty file folder/<prefix>XXXXXX.tmp ("." and "MRD" when empty).
    bool MakeTempFileName(const std::string& folder = {}, const std::string& prefix = {});

    // A relative path joined to the base (the current folder when empty).
    CMyPath AbsoluteForm(const std::string& base = {}) const;
    bool MakeAbsolute(const std::string& base = {});
    // "./sub/file" below the other path's folder (or the other path, when a
    // directory); empty when either path is empty or relative.
    CMyPath RelativeForm(const CMyPath& other) const;

    static bool FileExists(const std::string& path, bool directoriesAllowed = false);
    static int64_t FileSize(const std::string& path); // -1 when it cannot be had
    static std::string CurrentFolder();
    // The file exists, or (tryCreate) a file of that name can be created.
    // Creation is exclusive and only what was created is removed.
    static bool FileExistsOrCanBeCreated(const std::string& path, bool tryCreate);
    // Not empty, ".", ".." nor holding one of / ? : & \ * " < > | # %.
    static bool IsValidFileName(const std::string& text);
    // The folder by its number (see SpecialFolders.h), whether it exists or
    // not; create makes it. Empty when it cannot be had.
    static CMyPath SpecialFolder(int32_t folder, bool create = false);
    static std::string TempFolder(); // with a trailing '/'

private:
    std::string m_path;
};
