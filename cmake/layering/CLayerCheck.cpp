#include "CLayerCheck.h"

#include <deque>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

const char* const kFoundation[] = {"platform", "Shared"};
const char* const kAbove[] = {"Applications", "Components", "_Miscellaneous"};

bool IsSourceFile(const fs::path& path)
{
    const std::string ext = path.extension().string();
    return ext == ".h" || ext == ".hpp" || ext == ".cpp" || ext == ".cc" || ext == ".c";
}

bool IsCompiled(const std::string& path)
{
    const std::string ext = fs::path(path).extension().string();
    return ext == ".cpp" || ext == ".cc" || ext == ".cxx" || ext == ".c";
}

bool EndsWithPath(const fs::path& path, const std::string& tail)
{
    const std::string text = path.generic_string();
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0
           && text[text.size() - tail.size() - 1] == '/';
}

// The name in an #include line ("a/b.h" or <a/b.h>), or empty for any other line.
std::string IncludedName(const std::string& line)
{
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line[at] != '#')
        return {};
    at = line.find_first_not_of(" \t", at + 1);
    if (at == std::string::npos || line.compare(at, 7, "include") != 0)
        return {};
    at = line.find_first_not_of(" \t", at + 7);
    if (at == std::string::npos || (line[at] != '"' && line[at] != '<'))
        return {};
    const size_t end = line.find(line[at] == '"' ? '"' : '>', at + 1);
    return end == std::string::npos ? std::string() : line.substr(at + 1, end - at - 1);
}

} // namespace

CLayerCheck::CLayerCheck(const fs::path& root, const CLayerModel& model)
    : m_root(root.lexically_normal()), m_model(model)
{
    for (const auto& [name, target] : m_model.Targets()) {
        if (LayerOf(target.folder) != Layer::Foundation)
            continue;
        for (const std::string& dir : target.includes)
            if (LayerOf(dir) != Layer::Above)
                m_foundationIncludes.emplace_back(dir);
    }
    for (const char* top : kAbove) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(m_root / top, ec); !ec && it != fs::end(it); it.increment(ec))
            if (it->is_regular_file() && IsSourceFile(it->path()))
                m_aboveByName.emplace(it->path().filename().string(), it->path());
    }
}

CLayerCheck::Layer CLayerCheck::LayerOf(const fs::path& path) const
{
    const fs::path relative = path.lexically_normal().lexically_relative(m_root);
    if (relative.empty() || *relative.begin() == "..")
        return Layer::Outside;
    const std::string top = relative.begin()->string();
    for (const char* name : kFoundation)
        if (top == name)
            return Layer::Foundation;
    for (const char* name : kAbove)
        if (top == name)
            return Layer::Above;
    return Layer::Outside;
}

std::string CLayerCheck::Relative(const fs::path& path) const
{
    return path.lexically_normal().lexically_relative(m_root).generic_string();
}

std::vector<std::string> CLayerCheck::UpwardEdges() const
{
    std::vector<std::string> out;
    for (const auto& [name, target] : m_model.Targets())
        if (LayerOf(target.folder) == Layer::Foundation)
            CheckTarget(target, out);
    for (const char* top : kFoundation) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(m_root / top, ec); !ec && it != fs::end(it); it.increment(ec))
            if (it->is_regular_file() && IsSourceFile(it->path()))
                CheckFile(it->path(), out);
    }
    return out;
}

void CLayerCheck::CheckTarget(const LayerTarget& target, std::vector<std::string>& out) const
{
    const std::string who = "target " + target.name + " (" + Relative(target.folder) + ")";
    for (const std::string& dir : target.includes)
        if (LayerOf(dir) == Layer::Above)
            out.push_back(who + " has the include directory " + Relative(dir));
    for (const std::string& source : target.sources)
        if (LayerOf(source) == Layer::Above)
            out.push_back(who + " builds " + Relative(source));
    CheckLinks(target, out);
}

// Follows the links through targets outside both layers (a foundation target
// on the way answers for its own links).
void CLayerCheck::CheckLinks(const LayerTarget& target, std::vector<std::string>& out) const
{
    std::set<std::string> seen{target.name};
    std::deque<std::pair<const LayerTarget*, std::string>> queue{{&target, std::string()}};
    while (!queue.empty()) {
        auto [current, chain] = queue.front();
        queue.pop_front();
        for (const std::string& name : current->uses) {
            const LayerTarget* used = m_model.Find(name);
            if (used == nullptr || !seen.insert(name).second)
                continue;
            const Layer layer = LayerOf(used->folder);
            if (layer == Layer::Above)
                out.push_back("target " + target.name + " links " + chain + name + " ("
                              + Relative(used->folder) + ")");
            else if (layer == Layer::Outside)
                queue.emplace_back(used, chain + name + " -> ");
        }
    }
}

void CLayerCheck::CheckFile(const fs::path& file, std::vector<std::string>& out) const
{
    std::ifstream in(file);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string name = IncludedName(line);
        if (name.empty())
            continue;
        const std::string where = ResolvesAbove(file, name);
        if (!where.empty())
            out.push_back(Relative(file) + ":" + std::to_string(number) + " includes " + name + " from " + where);
    }
}

std::string CLayerCheck::ResolvesAbove(const fs::path& file, const std::string& name) const
{
    for (const char* top : kAbove)
        if (name.find(std::string(top) + "/") != std::string::npos)
            return "its path";
    std::error_code ec;
    const fs::path beside = (file.parent_path() / name).lexically_normal();
    if (fs::exists(beside, ec))
        return LayerOf(beside) == Layer::Above ? Relative(beside) : std::string();
    for (const fs::path& dir : m_foundationIncludes)
        if (fs::exists(dir / name, ec))
            return {};
    const auto [first, last] = m_aboveByName.equal_range(fs::path(name).filename().string());
    for (auto it = first; it != last; ++it)
        if (EndsWithPath(it->second, name))
            return Relative(it->second);
    return {};
}

std::vector<std::string> CLayerCheck::SourcesInTwoLibraries() const
{
    std::map<std::string, std::vector<std::string>> owners;
    for (const auto& [name, target] : m_model.Targets())
        if (target.IsLibrary())
            for (const std::string& source : target.sources)
                if (IsCompiled(source))
                    owners[fs::path(source).lexically_normal().generic_string()].push_back(name);
    std::vector<std::string> out;
    for (const auto& [source, targets] : owners) {
        if (targets.size() < 2)
            continue;
        std::string text = Relative(source) + " is built into";
        for (const std::string& t : targets)
            text += " " + t;
        out.push_back(text);
    }
    return out;
}
