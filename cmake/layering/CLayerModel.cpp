#include "CLayerModel.h"

#include <fstream>
#include <sstream>

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

} // namespace

bool LayerTarget::IsLibrary() const
{
    return type == "STATIC_LIBRARY" || type == "SHARED_LIBRARY" || type == "MODULE_LIBRARY"
           || type == "OBJECT_LIBRARY";
}

bool CLayerModel::Read(const std::string& path, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && !ReadLine(line, error))
            return false;
    if (m_targets.empty()) {
        error = "no targets in " + path;
        return false;
    }
    return true;
}

bool CLayerModel::ReadLine(const std::string& line, std::string& error)
{
    const std::vector<std::string> f = Split(line, '\t');
    if (f.size() == 4 && f[0] == "target") {
        m_targets[f[1]].name = f[1];
        m_targets[f[1]].type = f[2];
        m_targets[f[1]].folder = f[3];
        return true;
    }
    auto it = f.size() == 3 ? m_targets.find(f[1]) : m_targets.end();
    if (it == m_targets.end()) {
        error = "not a record of a known target: " + line;
        return false;
    }
    if (f[0] == "source") {
        it->second.sources.push_back(f[2]);
    } else if (f[0] == "uses") {
        it->second.uses.push_back(f[2]);
    } else if (f[0] == "includes") {
        for (const std::string& dir : Split(f[2], ';'))
            if (!dir.empty())
                it->second.includes.push_back(dir);
    } else {
        error = "unknown record: " + line;
        return false;
    }
    return true;
}

const LayerTarget* CLayerModel::Find(const std::string& name) const
{
    auto it = m_targets.find(name);
    return it == m_targets.end() ? nullptr : &it->second;
}
