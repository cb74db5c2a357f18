#include "CSysLink.h"

#include "TextConv.h"

namespace {

QString Escaped(std::wstring_view text)
{
    return QString::fromStdString(vlt::WideToUtf8(std::wstring(text))).toHtmlEscaped();
}

} // namespace

CSysLink::CSysLink(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(this, &QLabel::linkActivated, this, [this](const QString& link) { emit linkClicked(link.toInt()); });
}

void CSysLink::SetMarkup(const std::wstring& markup)
{
    m_markup = markup;
    setText(ToRichText(markup));
}

QString CSysLink::ToRichText(const std::wstring& markup)
{
    static constexpr std::wstring_view kOpen = L"<a>";
    static constexpr std::wstring_view kClose = L"</a>";
    const std::wstring_view text = markup;
    QString rich;
    int index = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find(kOpen, pos);
        const size_t close = open == std::wstring_view::npos ? open : text.find(kClose, open + kOpen.size());
        if (close == std::wstring_view::npos) {
            rich += Escaped(text.substr(pos));
            break;
        }
        rich += Escaped(text.substr(pos, open - pos));
        const std::wstring_view name = text.substr(open + kOpen.size(), close - open - kOpen.size());
        rich += QStringLiteral("<a href=\"%1\">").arg(index++) + Escaped(name) + QStringLiteral("</a>");
        pos = close + kClose.size();
    }
    return rich;
}
