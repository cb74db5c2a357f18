#pragma once
// Tool tips shown at a point. Every tip goes through ShowToolTip, so that a
// test can read what was shown.
#include <QPoint>
#include <QRect>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace vlt {

struct ToolTipRequest {
    std::wstring text;
    QPoint globalPos;
    QWidget* widget = nullptr;
    QRect rect; // in the widget's coordinates: the tip goes when the pointer leaves it
};

// Called with the tip to show, or with null to hide the shown one.
using ToolTipHandler = std::function<void(const ToolTipRequest*)>;

// Installs a handler that answers instead of the screen; empty restores the
// real tip. Returns the previous handler.
ToolTipHandler SetToolTipHandler(ToolTipHandler handler);

void ShowToolTip(const ToolTipRequest& request);
void HideToolTip();

// For tests: while it lives, tips are recorded instead of shown.
class ToolTipRecorder {
public:
    ToolTipRecorder();
    ~ToolTipRecorder();
    ToolTipRecorder(const ToolTipRecorder&) = delete;
    ToolTipRecorder& operator=(const ToolTipRecorder&) = delete;

    const std::vector<ToolTipRequest>& Shown() const { return m_shown; }
    std::wstring LastText() const { return m_shown.empty() ? std::wstring() : m_shown.back().text; }
    bool Visible() const { return m_visible; }
    size_t HideCount() const { return m_hidden; }
    void Clear() { m_shown.clear(); }

private:
    std::vector<ToolTipRequest> m_shown;
    bool m_visible = false;
    size_t m_hidden = 0;
    ToolTipHandler m_previous;
};

} // namespace vlt
