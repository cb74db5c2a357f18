#include "CRegisterLines.h"

#include "TextConv.h"

CRegisterLines::CRegisterLines(uint32_t greyText) : m_grey((greyText & 0x00FFFFFFu) | kColourFlag) {}

void CRegisterLines::Clear()
{
    m_lines.clear();
    m_nextNumber = 1;
}

int CRegisterLines::Append(const std::wstring& text, int parent, uint32_t value, bool scroll)
{
    m_lines.push_back(Line{text, parent, value, scroll});
    return static_cast<int>(m_lines.size()) - 1;
}

int CRegisterLines::AddGroup(const std::wstring& text)
{
    return Append(text, kNone, static_cast<uint32_t>(m_nextNumber++), false);
}

int CRegisterLines::AddLine(const std::wstring& text, int parent, int kind, wchar_t marker)
{
    if (kind == 0)
        return Append(text, parent, static_cast<uint32_t>(m_nextNumber++), false);
    if (marker != 0 && text.find(marker) != std::wstring::npos)
        return Append(text, parent, kRed, true);
    return Append(text, parent, (kind & 1) ? m_grey : 0, false);
}

int CRegisterLines::AddStatusLine(const std::wstring& text, int parent, int state)
{
    if (state == 0)
        return AddLine(text, parent, 0);
    return Append(text, parent, state < 0 ? kRed : kGreen, false);
}

int CRegisterLines::AddUnnumberedLine(const std::wstring& text, int parent)
{
    return Append(text, parent, 0, false);
}

int CRegisterLines::Depth(int index) const
{
    int depth = 0;
    for (int p = m_lines[index].parent; p != kNone; p = m_lines[p].parent)
        ++depth;
    return depth;
}

// Children follow their parent in the vector (lines are only appended), so
// one pass per level in index order gives the tree order.
void CRegisterLines::ExportChildren(int parent, int depth, std::string& out) const
{
    for (size_t i = parent == kNone ? 0 : static_cast<size_t>(parent) + 1; i < m_lines.size(); ++i) {
        if (m_lines[i].parent != parent)
            continue;
        out.append(static_cast<size_t>(depth) * 3, ' ');
        out += vlt::WideToUtf8(m_lines[i].text);
        out += "\r\n";
        ExportChildren(static_cast<int>(i), depth + 1, out);
    }
}

std::string CRegisterLines::ExportText() const
{
    std::string out;
    ExportChildren(kNone, 0, out);
    return out;
}
