#pragma once
// The plot control's window. The control does the painting and handles the
// input; the window translates Qt's events into the control's codes. Its
// properties tell where the last layout put the plot area and the Y labels,
// for hosts that check their plot stays usable.
#include <QList>
#include <QRect>
#include <QWidget>

class CScopeCtrl;

class CScopeWnd : public QWidget {
    Q_OBJECT
    // Window pixels; empty before the first paint, or for an empty Y label.
    Q_PROPERTY(QRect plotRect READ PlotRect)
    Q_PROPERTY(QList<QRect> yLabelRects READ YLabelRects)
public:
    CScopeWnd(CScopeCtrl* ctrl, QWidget* parent);
    // Paint events handled so far.
    int PaintCount() const { return m_paintCount; }
    QRect PlotRect() const;
    // Top, middle and bottom.
    QList<QRect> YLabelRects() const;
    // The size below which no plot area is left; a host adds the plot area it wants.
    QSize minimumSizeHint() const override;

    // The key state of a mouse message from Qt's buttons and modifiers.
    static uint32_t KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    // The control's key code of a Qt key; 0 for keys the control has no use for.
    static int VirtualKey(int qtKey);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    CScopeCtrl* m_ctrl;
    int m_paintCount = 0;
};
