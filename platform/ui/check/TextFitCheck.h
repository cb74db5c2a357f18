#pragma once
// Checks that a window shows every text whole: each visible label, button,
// check box, group box, tab, edit, combo box, list column and header is at
// least as wide as its text at the window's font (mnemonic taken out), a
// list header spans its list, a tab strip without scroll buttons shows
// every tab (one with them its current tab, clear of the buttons), no
// label shows a literal mnemonic '&', and a message box shows its text as
// it is written.
// A text a control elides on purpose passes when the control's tool tip
// holds the whole text. Every failure names the window, the widget and the
// text. Used by the programs' tests.
#include <QString>
#include <QStringList>

class QWidget;

namespace vlt {

class TextFitCheck {
public:
    // Checks the window as it is shown now; every tab of its tab widgets is
    // visited in turn and the tab shown before is selected again.
    void CheckWindow(QWidget* window, const QString& name = QString());
    // Checks the visible widgets under root (itself included) as they are.
    void CheckShown(QWidget* root, const QString& name);

    const QStringList& Failures() const { return m_failures; }
    // One failure a line, or "" when there is none.
    QString Report() const { return m_failures.join(QLatin1Char('\n')); }
    // Names of the windows and pages checked so far.
    const QStringList& Checked() const { return m_checked; }

    // The name a failure gives a widget: its class, its object name and,
    // when it has one, its window title.
    static QString WidgetName(const QWidget* widget);

private:
    void CheckWidget(QWidget* widget);
    void Fail(const QWidget* widget, const QString& text, const QString& what);

    QString m_window;
    QStringList m_failures;
    QStringList m_checked;
};

} // namespace vlt
