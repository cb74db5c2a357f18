#pragma once
// The sample-value tip of the plot control: one tool (the plot area of the
// control's window) whose text is shown at a point on request. Shown
// through the platform's tool-tip seam.
#include "PixRect.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <string>

class CSampleTipWindow {
public:
    explicit CSampleTipWindow(QWidget* owner) : m_owner(owner) {}
    virtual ~CSampleTipWindow();
    CSampleTipWindow(const CSampleTipWindow&) = delete;
    CSampleTipWindow& operator=(const CSampleTipWindow&) = delete;

    void AddTool(const PixRect& rect, const std::wstring& text);
    void NewToolRect(const PixRect& rect) { m_toolRect = rect; }
    void UpdateTipText(const std::wstring& text) { m_text = text; }
    // A deactivated tip is never shown; deactivating hides a shown one.
    void Activate(bool active);
    // Hides the tip when it is shown.
    void Pop();
    // Shows the text at a point of the owner's client area.
    void Popup(const QPoint& clientPoint);

    bool HasTool() const { return m_hasTool; }
    bool IsActive() const { return m_active; }
    bool IsShown() const { return m_shown; }
    const PixRect& ToolRect() const { return m_toolRect; }
    const std::wstring& Text() const { return m_text; }

private:
    QPointer<QWidget> m_owner;
    PixRect m_toolRect;
    std::wstring m_text;
    bool m_hasTool = false;
    bool m_active = false;
    bool m_shown = false;
};
