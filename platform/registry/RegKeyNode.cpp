#include "RegKeyNode.h"

#include "RegNames.h"

#include <algorithm>
#include <utility>

namespace vlt {

bool SameRegValue(const RegValue& a, const RegValue& b)
{
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case RegType::String:
        return a.text == b.text;
    case RegType::DWord:
    case RegType::QWord:
        return a.number == b.number;
    case RegType::Binary:
        return a.bytes == b.bytes;
    }
    return false;
}

RegKeyNode::RegKeyNode(std::wstring name)
    : m_name(std::move(name))
{
}

const RegKeyNode* RegKeyNode::FindSubKey(std::wstring_view name) const
{
    for (const auto& key : m_subKeys)
        if (SameRegName(key->m_name, name))
            return key.get();
    return nullptr;
}

RegKeyNode* RegKeyNode::FindSubKey(std::wstring_view name)
{
    return const_cast<RegKeyNode*>(std::as_const(*this).FindSubKey(name));
}

RegKeyNode& RegKeyNode::SubKey(std::wstring_view name)
{
    if (RegKeyNode* key = FindSubKey(name))
        return *key;
    m_subKeys.push_back(std::make_unique<RegKeyNode>(std::wstring(name)));
    return *m_subKeys.back();
}

bool RegKeyNode::RemoveSubKey(std::wstring_view name)
{
    const auto it = std::find_if(m_subKeys.begin(), m_subKeys.end(),
        [&](const auto& key) { return SameRegName(key->m_name, name); });
    if (it == m_subKeys.end())
        return false;
    m_subKeys.erase(it);
    return true;
}

const RegKeyNode* RegKeyNode::Find(const std::vector<std::wstring>& path) const
{
    const RegKeyNode* key = this;
    for (const auto& part : path) {
        key = key->FindSubKey(part);
        if (!key)
            return nullptr;
    }
    return key;
}

RegKeyNode* RegKeyNode::Find(const std::vector<std::wstring>& path)
{
    return const_cast<RegKeyNode*>(std::as_const(*this).Find(path));
}

RegKeyNode& RegKeyNode::Create(const std::vector<std::wstring>& path)
{
    RegKeyNode* key = this;
    for (const auto& part : path)
        key = &key->SubKey(part);
    return *key;
}

const RegValue* RegKeyNode::FindValue(std::wstring_view name) const
{
    for (const auto& entry : m_values)
        if (SameRegName(entry.name, name))
            return &entry.value;
    return nullptr;
}

bool RegKeyNode::PutValue(std::wstring_view name, const RegValue& value)
{
    for (auto& entry : m_values) {
        if (SameRegName(entry.name, name)) {
            if (SameRegValue(entry.value, value))
                return false;
            entry.value = value;
            return true;
        }
    }
    m_values.push_back({std::wstring(name), value});
    return true;
}

bool RegKeyNode::RemoveValue(std::wstring_view name)
{
    const auto it = std::find_if(m_values.begin(), m_values.end(),
        [&](const auto& entry) { return SameRegName(entry.name, name); });
    if (it == m_values.end())
        return false;
    m_values.erase(it);
    return true;
}

} // namespace vlt
