#include "CopyWithoutBreaks.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>

namespace vlt {
namespace {

QString WithoutBreaks(QString text)
{
    return text.remove(QChar(kBoxTextBreak));
}

void CleanClipboard(QClipboard::Mode mode)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString text = clipboard->text(mode);
    if (text.contains(QChar(kBoxTextBreak)))
        clipboard->setText(WithoutBreaks(text), mode);
}

} // namespace

CopyWithoutBreaks::CopyWithoutBreaks(QMessageBox& box) : QObject(&box)
{
    for (QLabel* label : box.findChildren<QLabel*>())
        label->installEventFilter(this);
    QClipboard* clipboard = QGuiApplication::clipboard();
    connect(clipboard, &QClipboard::dataChanged, this, [] { CleanClipboard(QClipboard::Clipboard); });
    connect(clipboard, &QClipboard::selectionChanged, this, [] { CleanClipboard(QClipboard::Selection); });
}

bool CopyWithoutBreaks::eventFilter(QObject* watched, QEvent* event)
{
    auto* label = qobject_cast<QLabel*>(watched);
    if (!label || event->type() != QEvent::KeyPress || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) ||
        !label->hasSelectedText())
        return false;
    QGuiApplication::clipboard()->setText(WithoutBreaks(label->selectedText()));
    return true;
}

} // namespace vlt
