#pragma once
// The plot control's window. The control does the painting.
#include <QWidget>

class CScopeCtrl;

class CScopeWnd : public QWidget {
public:
    CScopeWnd(CScopeCtrl* ctrl, QWidget* parent);
    // Paint events handled so far.
    int PaintCount() const { return m_paintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CScopeCtrl* m_ctrl;
    int m_paintCount = 0;
};
