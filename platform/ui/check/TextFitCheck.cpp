#include "TextFitCheck.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeView>

#include "Mnemonic.h"

namespace {

// Pixels a line edit keeps free left and right of its text, and the cursor.
constexpr int kLineEditMargin = 2;
constexpr int kCursorWidth = 1;

void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

QString Needs(int need, int have)
{
    return QStringLiteral("needs %1 px, has %2 px").arg(need).arg(have);
}

int LongestLine(const QFontMetrics& fm, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

// Inside a scroll area a widget may lie beyond the visible part on purpose.
bool InScrollArea(const QWidget* widget)
{
    for (const QWidget* w = widget->parentWidget(); w && !w->isWindow(); w = w->parentWidget())
        if (qobject_cast<const QScrollArea*>(w))
            return true;
    return false;
}

// The ancestor that cuts off part of the widget, if any: a widget shows
// only what lies inside each of its ancestors up to its window.
const QWidget* CutBy(const QWidget* widget)
{
    if (InScrollArea(widget))
        return nullptr;
    QRect shown = widget->rect();
    for (const QWidget* w = widget; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        const QWidget* parent = w->parentWidget();
        shown = shown.translated(w->pos()) & parent->rect();
        if (shown.size() != widget->size())
            return parent;
    }
    return nullptr;
}

// The scroll buttons of a tab strip lie over the tabs at its ends.
bool UnderScrollButtons(const QTabBar* tabs, const QRect& tab)
{
    for (const QToolButton* button : tabs->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        if (button->isVisible() && button->geometry().intersects(tab))
            return true;
    return false;
}

bool IsPlainLabel(const QLabel* label)
{
    if (label->textFormat() == Qt::PlainText)
        return true;
    return label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(label->text());
}

} // namespace

namespace vlt {

QString TextFitCheck::WidgetName(const QWidget* widget)
{
    QString name = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty())
        name += QStringLiteral(" '%1'").arg(widget->objectName());
    return name;
}

void TextFitCheck::CheckWindow(QWidget* window, const QString& name)
{
    Settle();
    const QString title = name.isEmpty() ? window->windowTitle() : name;
    CheckShown(window, title);
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
        if (!tabs->isVisible())
            continue;
        const int kept = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            if (i == kept)
                continue;
            tabs->setCurrentIndex(i);
            Settle();
            CheckShown(tabs->widget(i), title + QStringLiteral(" / ") + RemoveMnemonic(tabs->tabText(i)));
        }
        tabs->setCurrentIndex(kept);
        Settle();
    }
}

void TextFitCheck::CheckShown(QWidget* root, const QString& name)
{
    m_window = name;
    m_checked << name;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* widget : widgets)
        if (widget->isVisible() && (widget == root || widget->window() == root->window()))
            CheckWidget(widget);
}

void TextFitCheck::Fail(const QWidget* widget, const QString& text, const QString& what)
{
    const QString line = QStringLiteral("%1 | %2 | \"%3\" | %4").arg(m_window, WidgetName(widget), text, what);
    if (!m_failures.contains(line))
        m_failures << line;
}

void TextFitCheck::CheckWidget(QWidget* widget)
{
    QStyle* style = widget->style();
    const QFontMetrics fm = widget->fontMetrics();
    QString text;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        // A message box's text often holds a name or a path: it is shown as
        // it is written.
        if (qobject_cast<QMessageBox*>(label->window()) && !label->text().isEmpty() &&
            (label->buddy() || !IsPlainLabel(label)))
            Fail(widget, label->text(), QStringLiteral("a message box reads its text as a mnemonic or as markup"));
        if (!IsPlainLabel(label) || label->text().isEmpty())
            return;
        text = label->text();
        if (ShowsLiteralMnemonic(label))
            Fail(widget, text, QStringLiteral("shows a literal mnemonic '&'"));
        const QString shown = label->buddy() ? RemoveMnemonic(text) : text;
        const int margin = label->margin();
        const QRect room = label->contentsRect().adjusted(margin, margin, -margin, -margin);
        if (label->wordWrap()) {
            const int need = label->heightForWidth(label->width());
            if (need > label->height())
                Fail(widget, text, QStringLiteral("wrapped ") + Needs(need, label->height()) + QStringLiteral(" of height"));
        } else {
            const int need = LongestLine(fm, shown);
            if (need > room.width())
                Fail(widget, text, Needs(need, room.width()));
            const int lines = int(shown.count(QLatin1Char('\n'))) + 1;
            if (fm.height() * lines > room.height() + fm.descent())
                Fail(widget, text, Needs(fm.height() * lines, room.height()) + QStringLiteral(" of height"));
        }
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        text = button->text();
        if (text.isEmpty())
            return;
        QStyleOptionButton opt;
        opt.initFrom(button);
        opt.text = text;
        if (button->isDefault())
            opt.features |= QStyleOptionButton::DefaultButton;
        if (button->autoDefault())
            opt.features |= QStyleOptionButton::AutoDefaultButton;
        int room = style->subElementRect(QStyle::SE_PushButtonContents, &opt, button).width();
        if (button->menu())
            room -= style->pixelMetric(QStyle::PM_MenuButtonIndicator, &opt, button);
        int need = fm.horizontalAdvance(RemoveMnemonic(text));
        if (!button->icon().isNull())
            need += button->iconSize().width() + 4;
        if (need > room)
            Fail(widget, text, Needs(need, room));
    } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
        auto* box = static_cast<QAbstractButton*>(widget);
        text = box->text();
        if (text.isEmpty())
            return;
        const QSize need = box->sizeHint();
        if (need.width() > box->width())
            Fail(widget, text, Needs(need.width(), box->width()));
        if (fm.height() > box->height())
            Fail(widget, text, Needs(fm.height(), box->height()) + QStringLiteral(" of height"));
    } else if (auto* tool = qobject_cast<QToolButton*>(widget)) {
        text = tool->text();
        if (text.isEmpty() || tool->toolButtonStyle() == Qt::ToolButtonIconOnly || tool->defaultAction())
            return;
        const int need = tool->sizeHint().width();
        if (need > tool->width())
            Fail(widget, text, Needs(need, tool->width()));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        text = group->title();
        if (text.isEmpty())
            return;
        QStyleOptionGroupBox opt;
        opt.initFrom(group);
        opt.text = text;
        opt.lineWidth = 1;
        opt.textAlignment = group->alignment();
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        if (group->isCheckable())
            opt.subControls |= QStyle::SC_GroupBoxCheckBox;
        if (group->isFlat())
            opt.features |= QStyleOptionFrame::Flat;
        const QRect label = style->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, group);
        if (label.right() > group->rect().right())
            Fail(widget, text, Needs(label.right() + 1, group->width()));
    } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
        const int space = style->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
        for (int i = 0; i < tabs->count(); ++i) {
            if (!tabs->isTabVisible(i))
                continue;
            const QString tab = tabs->tabText(i);
            const QRect r = tabs->tabRect(i);
            // A strip with scroll buttons shows its other tabs on demand.
            const bool mustShow = !tabs->usesScrollButtons() || i == tabs->currentIndex();
            if (mustShow && (r.left() < 0 || r.right() >= tabs->width()))
                Fail(widget, tab, QStringLiteral("tab lies outside the tab strip (%1 to %2 of %3 px)")
                                      .arg(r.left()).arg(r.right()).arg(tabs->width()));
            if (mustShow && UnderScrollButtons(tabs, r))
                Fail(widget, tab, QStringLiteral("tab lies under the tab strip's scroll buttons"));
            const int need = tabs->fontMetrics().horizontalAdvance(RemoveMnemonic(tab)) + space;
            if (need > r.width())
                Fail(widget, tab, Needs(need, r.width()));
        }
        return;
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        text = edit->text();
        if (text.isEmpty() || edit->echoMode() != QLineEdit::Normal || edit->toolTip() == text)
            return;
        QStyleOptionFrame opt;
        opt.initFrom(edit);
        opt.rect = edit->contentsRect();
        opt.lineWidth = edit->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
        const QRect r = style->subElementRect(QStyle::SE_LineEditContents, &opt, edit).marginsRemoved(edit->textMargins());
        const int room = r.width() - 2 * kLineEditMargin;
        const int need = fm.horizontalAdvance(text) + kCursorWidth;
        if (need > room)
            Fail(widget, text, Needs(need, room));
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        text = combo->currentText();
        if (text.isEmpty() || combo->isEditable())
            return; // an editable combo's edit is checked as an edit
        QStyleOptionComboBox opt;
        opt.initFrom(combo);
        opt.editable = false;
        opt.frame = combo->hasFrame();
        opt.currentText = text;
        opt.subControls = QStyle::SC_All;
        const int room = style->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo).width();
        int need = fm.horizontalAdvance(text) + 2 * kLineEditMargin;
        if (!combo->itemIcon(combo->currentIndex()).isNull())
            need += combo->iconSize().width() + 4;
        if (need > room)
            Fail(widget, text, Needs(need, room));
    } else if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        auto* tree = qobject_cast<QTreeView*>(view);
        QHeaderView* header = tree ? tree->header() : nullptr;
        if (!header || !view->model())
            return;
        const QFontMetrics hfm = header->fontMetrics();
        const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        const int mark = style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
        for (int col = 0; col < header->count(); ++col) {
            if (header->isSectionHidden(col))
                continue;
            const int width = header->sectionSize(col);
            const QString title = view->model()->headerData(col, Qt::Horizontal).toString();
            int need = hfm.horizontalAdvance(title) + 2 * margin;
            if (header->isSortIndicatorShown() && header->sortIndicatorSection() == col)
                need += mark + margin;
            if (!header->isHidden() && need > width)
                Fail(widget, title, QStringLiteral("column header ") + Needs(need, width));
            const int items = static_cast<const QAbstractItemView*>(tree)->sizeHintForColumn(col);
            if (items > width)
                Fail(widget, title, QStringLiteral("column items ") + Needs(items, width));
        }
        const int end = header->length() - header->offset();
        if (!header->isHidden() && header->count() > 0 && end < view->viewport()->width())
            Fail(widget, QString(), QStringLiteral("list header ends %1 px short of the list's right edge")
                                        .arg(view->viewport()->width() - end));
        return;
    } else {
        return;
    }
    if (const QWidget* cutter = CutBy(widget))
        Fail(widget, text, QStringLiteral("is cut by %1").arg(WidgetName(cutter)));
}

} // namespace vlt
