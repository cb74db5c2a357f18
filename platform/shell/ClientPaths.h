#pragma once
// Client paths over served folders. Clients speak drive letters and
// backslashes; each served folder (a "root") appears to them as one drive,
// the first as "C:", the next as "D:" and so on. A client path maps onto a
// local path inside its root, or not at all.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vlt {

// Longest client path that the file service deletes or renames, so that a
// path is never cut short; it creates nothing longer, so that what it
// creates it can also remove.
constexpr size_t kMaxClientPathLength = 259;

// The folders served when the configuration names none: the home directory
// of the user running the program.
std::vector<std::string> DefaultServedRoots();

// "C:\" for index 0, "D:\" for 1 ...; empty past "Z:\".
std::string DriveRootText(size_t index);

// "C:\a\b" (or with forward slashes, any letter case of the drive) to the
// root's path joined with "a/b". Refuses a path without a served drive,
// with a ".." part, a NUL, or a part with a colon. Empty and "." parts are
// dropped. rootIndex, when given, receives the drive's index.
bool MapClientPath(const std::vector<std::string>& roots, std::string_view clientPath,
                   std::string& localPath, size_t* rootIndex = nullptr);

// True when the path, with symbolic links resolved, stays inside the root.
// followLast false: the last part itself is not followed (a link inside the
// root that points outside still counts as inside, as an entry to delete
// or rename).
bool StaysInsideRoot(const std::string& root, const std::string& localPath, bool followLast);

// True when the path names the root itself (links resolved).
bool IsRootPath(const std::string& root, const std::string& localPath);

// A local path back to the client's form ("C:\Documents"); false when it
// lies inside no root.
bool LocalToClientPath(const std::vector<std::string>& roots, const std::string& localPath,
                       std::string& clientPath);

// The client path confined: mapped, then checked to stay inside its root.
// The local path is filled only on success.
bool ConfineClientPath(const std::vector<std::string>& roots, std::string_view clientPath,
                       bool followLast, std::string& localPath);

} // namespace vlt
