#pragma once
// The lines of the register cache tree without any widget: the decoders add
// groups, field lines and status lines; the window shows them and the export
// writes them. Each line carries the tree item's value: its running number
// (bit 31 clear; 0 for an unnumbered line) or its text colour (bit 31 set,
// red in the low byte).
#include <cstdint>
#include <string>
#include <vector>

class CRegisterLines {
public:
    static constexpr uint32_t kColourFlag = 0x80000000u;
    static constexpr uint32_t kRed = 0x800000FFu;
    static constexpr uint32_t kGreen = 0x8000FF00u;
    static constexpr int kNone = -1;

    struct Line {
        std::wstring text;
        int parent = kNone;
        uint32_t value = 0;
        bool scrollIntoView = false;
    };

    // greyText: the system's grey-text colour (0x00BBGGRR).
    explicit CRegisterLines(uint32_t greyText);

    // Empties the lines and starts numbering at 1 again.
    void Clear();
    // A root line, numbered. Returns its index.
    int AddGroup(const std::wstring& text);
    // Kind 0: numbered, no colour. Other kinds: red and scrolled into view
    // when the marker occurs in the text, else grey when bit 0 of the kind
    // is set, else no colour.
    int AddLine(const std::wstring& text, int parent, int kind = 0, wchar_t marker = L'*');
    // State 0: as a plain line; < 0 red; > 0 green. Never numbered.
    int AddStatusLine(const std::wstring& text, int parent, int state);
    // An unnumbered, uncoloured child line.
    int AddUnnumberedLine(const std::wstring& text, int parent);

    const std::vector<Line>& Lines() const { return m_lines; }
    uint32_t GreyValue() const { return m_grey; }
    // Depth of a line: 0 for a group.
    int Depth(int index) const;
    // Every line in tree order, three spaces per level, UTF-8, CR LF ends.
    std::string ExportText() const;

private:
    int Append(const std::wstring& text, int parent, uint32_t value, bool scroll);
    void ExportChildren(int parent, int depth, std::string& out) const;

    uint32_t m_grey;
    int32_t m_nextNumber = 1;
    std::vector<Line> m_lines;
};
