#pragma once
// A static text drawn by itself in its own text and background colours.
#include <cstdint>

#include <QColor>
#include <QWidget>

// Static-control styles that change how the text is drawn.
inline constexpr uint32_t SS_LEFT = 0x0;
inline constexpr uint32_t SS_CENTER = 0x1;
inline constexpr uint32_t SS_RIGHT = 0x2;
inline constexpr uint32_t SS_NOPREFIX = 0x80;
inline constexpr uint32_t SS_CENTERIMAGE = 0x200;
inline constexpr uint32_t SS_ENDELLIPSIS = 0x4000;
inline constexpr uint32_t SS_PATHELLIPSIS = 0x8000;

class CLabel : public QWidget {
    Q_OBJECT
public:
    explicit CLabel(QWidget* parent = nullptr);

    // The low five style bits are the alignment (0 left, 1 centre, 2 right).
    bool Create(const QString& text, uint32_t style, const QRect& rect, QWidget* parent, int id);

    QColor SetBkColor(const QColor& color, bool redraw = true);
    QColor SetTextColor(const QColor& color, bool redraw = true);
    QColor GetBkColor() const { return m_bkColor; }
    QColor GetTextColor() const { return m_textColor; }
    void SetText(const QString& text);
    QString GetText() const { return m_text; }
    uint32_t GetAlignment() const { return m_alignment; }
    int GetId() const { return m_id; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor Swap(QColor& member, const QColor& color, bool redraw);

    QString m_text;
    uint32_t m_style = 0;
    uint32_t m_alignment = 0;
    int m_id = 0;
    QColor m_textColor;
    QColor m_bkColor;
};
