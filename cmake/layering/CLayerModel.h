#pragma once
// The project's targets as the build describes them (the file that
// cmake/LayerModel.cmake writes): each target's folder, sources, the targets
// it links or takes objects from, and its include directories.
#include <map>
#include <string>
#include <vector>

struct LayerTarget {
    std::string name;
    std::string type; // STATIC_LIBRARY, EXECUTABLE, ...
    std::string folder;
    std::vector<std::string> sources;
    std::vector<std::string> uses;
    std::vector<std::string> includes;

    bool IsLibrary() const;
};

class CLayerModel {
public:
    // False, with the reason, when the file cannot be read or a line is not
    // one of the model's records.
    bool Read(const std::string& path, std::string& error);
    void Add(const LayerTarget& target) { m_targets[target.name] = target; }
    const std::map<std::string, LayerTarget>& Targets() const { return m_targets; }
    const LayerTarget* Find(const std::string& name) const;

private:
    bool ReadLine(const std::string& line, std::string& error);

    std::map<std::string, LayerTarget> m_targets;
};
