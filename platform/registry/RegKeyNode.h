#pragma once
// One key of a hive held in memory: its values and sub-keys in stored order.
// Names keep the case they were first given and are found without regard to
// case.
#include "RegistryStore.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vlt {

struct RegNamedValue {
    std::wstring name;
    RegValue value;
};

bool SameRegValue(const RegValue& a, const RegValue& b);

class RegKeyNode {
public:
    explicit RegKeyNode(std::wstring name = {});

    const std::wstring& Name() const { return m_name; }
    const std::vector<RegNamedValue>& Values() const { return m_values; }
    const std::vector<std::unique_ptr<RegKeyNode>>& SubKeys() const { return m_subKeys; }

    const RegKeyNode* FindSubKey(std::wstring_view name) const;
    RegKeyNode* FindSubKey(std::wstring_view name);
    // The sub-key of that name, appended when missing.
    RegKeyNode& SubKey(std::wstring_view name);
    bool RemoveSubKey(std::wstring_view name);

    // The key at a path below this one (the path as SplitKeyPath gives it).
    const RegKeyNode* Find(const std::vector<std::wstring>& path) const;
    RegKeyNode* Find(const std::vector<std::wstring>& path);
    RegKeyNode& Create(const std::vector<std::wstring>& path);

    const RegValue* FindValue(std::wstring_view name) const;
    // Both return whether anything changed.
    bool PutValue(std::wstring_view name, const RegValue& value);
    bool RemoveValue(std::wstring_view name);

private:
    std::wstring m_name;
    std::vector<RegNamedValue> m_values;
    std::vector<std::unique_ptr<RegKeyNode>> m_subKeys;
};

} // namespace vlt
