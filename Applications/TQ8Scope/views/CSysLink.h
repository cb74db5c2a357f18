#pragma once
// A text with links marked "<a>...</a>", as a link control shows it: each
// link is numbered from 0 in order, and clicking it (or Enter on it) reports
// its number. Text outside the marks is shown as it is.
#include <string>

#include <QLabel>

class CSysLink : public QLabel {
    Q_OBJECT
public:
    explicit CSysLink(QWidget* parent = nullptr);

    void SetMarkup(const std::wstring& markup);
    const std::wstring& GetMarkup() const { return m_markup; }

    // The rich text shown for a markup.
    static QString ToRichText(const std::wstring& markup);

signals:
    void linkClicked(int index);

private:
    std::wstring m_markup;
};
