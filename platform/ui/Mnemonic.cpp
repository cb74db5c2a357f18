#include "Mnemonic.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTextDocument>
#include <QTimer>

namespace {

constexpr char kNoPrefixProperty[] = "vltNoPrefix";

bool HasMnemonicMark(const QString& text)
{
    return text.contains(QLatin1Char('&'));
}

bool IsPlainText(const QLabel* label)
{
    switch (label->textFormat()) {
    case Qt::PlainText:
        return true;
    case Qt::AutoText:
        return !Qt::mightBeRichText(label->text());
    default:
        return false;
    }
}

// The control a static text's mnemonic would move to: the next one of the
// tab order in the same window.
QWidget* NextTabStop(QLabel* label)
{
    QWidget* window = label->window();
    for (QWidget* w = label->nextInFocusChain(); w && w != label; w = w->nextInFocusChain()) {
        if (w->window() == window && (w->focusPolicy() & Qt::TabFocus) && !qobject_cast<QLabel*>(w))
            return w;
    }
    return nullptr;
}

// Sees every label of the program as it is shown.
class MnemonicRuleFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (auto* label = qobject_cast<QLabel*>(watched))
            vlt::ApplyMnemonicRule(label);
        // A window may set its texts as it is shown: its labels are seen
        // again once the show is done.
        if (auto* window = qobject_cast<QWidget*>(watched); window && window->isWindow())
            QTimer::singleShot(0, window, [window] {
                for (QLabel* label : window->findChildren<QLabel*>())
                    if (label->isVisible())
                        vlt::ApplyMnemonicRule(label);
            });
        return false;
    }
};

} // namespace

namespace vlt {

QString RemoveMnemonic(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
                shown += QLatin1Char('&');
            ++i;
            if (i < text.size() && text[i] != QLatin1Char('&'))
                shown += text[i];
            continue;
        }
        shown += text[i];
    }
    return shown;
}

QString NoPrefixText(const QString& text)
{
    QString doubled = text;
    return doubled.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void SetNoPrefix(QLabel* label, bool noPrefix)
{
    label->setProperty(kNoPrefixProperty, noPrefix);
}

bool IsNoPrefix(const QLabel* label)
{
    return label->property(kNoPrefixProperty).toBool();
}

bool ShowsLiteralMnemonic(const QLabel* label)
{
    return !label->buddy() && !IsNoPrefix(label) && IsPlainText(label) && HasMnemonicMark(label->text());
}

void ApplyMnemonicRule(QLabel* label)
{
    if (!ShowsLiteralMnemonic(label))
        return;
    if (QWidget* next = NextTabStop(label))
        label->setBuddy(next);
    else
        label->setText(RemoveMnemonic(label->text()));
}

void InstallMnemonicRule()
{
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    qApp->installEventFilter(new MnemonicRuleFilter(qApp));
}

} // namespace vlt
