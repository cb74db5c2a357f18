#pragma once
// The layering rules of the source tree: nothing under platform/ or Shared/
// reaches up into Applications/, Components/ or _Miscellaneous/ (no include
// by path or by name, no include directory, no linked target or objects
// defined there), and no source file is built into two library targets.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "CLayerModel.h"

class CLayerCheck {
public:
    CLayerCheck(const std::filesystem::path& root, const CLayerModel& model);

    // One text for every upward edge.
    std::vector<std::string> UpwardEdges() const;
    // One text for every source file in more than one library target.
    std::vector<std::string> SourcesInTwoLibraries() const;

private:
    enum class Layer { Foundation, Above, Outside };

    Layer LayerOf(const std::filesystem::path& path) const;
    std::string Relative(const std::filesystem::path& path) const;
    void CheckTarget(const LayerTarget& target, std::vector<std::string>& out) const;
    void CheckLinks(const LayerTarget& target, std::vector<std::string>& out) const;
    void CheckFile(const std::filesystem::path& file, std::vector<std::string>& out) const;
    // Where an include of the file resolves above the foundation; empty
    // when it does not.
    std::string ResolvesAbove(const std::filesystem::path& file, const std::string& name) const;

    std::filesystem::path m_root;
    const CLayerModel& m_model;
    std::vector<std::filesystem::path> m_foundationIncludes;
    std::multimap<std::string, std::filesystem::path> m_aboveByName;
};
