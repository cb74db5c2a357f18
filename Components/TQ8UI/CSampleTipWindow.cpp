#include "CSampleTipWindow.h"

#include "ToolTip.h"

CSampleTipWindow::~CSampleTipWindow() { Pop(); }

void CSampleTipWindow::AddTool(const PixRect& rect, const std::wstring& text)
{
    m_toolRect = rect;
    m_text = text;
    m_hasTool = true;
}

void CSampleTipWindow::Activate(bool active)
{
    if (!active)
        Pop();
    m_active = active;
}

void CSampleTipWindow::Pop()
{
    if (!m_shown)
        return;
    m_shown = false;
    vlt::HideToolTip();
}

void CSampleTipWindow::Popup(const QPoint& clientPoint)
{
    if (!m_active || !m_hasTool || m_text.empty() || !m_owner)
        return;
    vlt::ToolTipRequest request;
    request.text = m_text;
    request.widget = m_owner;
    request.globalPos = m_owner->mapToGlobal(clientPoint);
    request.rect = m_toolRect.ToQRect();
    vlt::ShowToolTip(request);
    m_shown = true;
}
