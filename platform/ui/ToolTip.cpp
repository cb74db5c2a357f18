#include "ToolTip.h"

#include <QString>
#include <QToolTip>

namespace vlt {
namespace {
ToolTipHandler g_handler; // UI thread only
} // namespace

ToolTipHandler SetToolTipHandler(ToolTipHandler handler)
{
    ToolTipHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

void ShowToolTip(const ToolTipRequest& request)
{
    if (g_handler) {
        g_handler(&request);
        return;
    }
    const QString text = QString::fromWCharArray(request.text.data(), qsizetype(request.text.size()));
    QToolTip::showText(request.globalPos, text, request.widget, request.rect);
}

void HideToolTip()
{
    if (g_handler)
        g_handler(nullptr);
    else
        QToolTip::hideText();
}

ToolTipRecorder::ToolTipRecorder()
{
    m_previous = SetToolTipHandler([this](const ToolTipRequest* request) {
        if (request) {
            m_shown.push_back(*request);
            m_visible = true;
        } else {
            m_visible = false;
            ++m_hidden;
        }
    });
}

ToolTipRecorder::~ToolTipRecorder() { SetToolTipHandler(std::move(m_previous)); }

} // namespace vlt
