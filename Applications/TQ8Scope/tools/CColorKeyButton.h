#pragma once
// A flat button that shows a trace colour: filled with one colour, with a
// 3-pixel line across its middle in another. Both start as the button face.
#include <QAbstractButton>
#include <QColor>

class CColorKeyButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CColorKeyButton(QWidget* parent = nullptr);

    // A new colour redraws the button; the same colour does nothing.
    void SetFillColor(const QColor& color);
    void SetLineColor(const QColor& color);
    QColor FillColor() const { return m_fill; }
    QColor LineColor() const { return m_line; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    QColor m_line;
};
