#pragma once
// Windows texts on Qt controls. In a Windows text the letter after a single
// '&' is the control's mnemonic and "&&" stands for one '&'. Qt's buttons,
// check boxes, group boxes, tabs and menus read their texts that way; a
// label does only while it has a buddy. The rule here gives a label whose
// text holds a mnemonic, when it is shown without a buddy, the next control
// of the tab order as buddy, as a static text hands its mnemonic on to the
// next tab stop; a label with no control after it shows its text with the
// mnemonic taken out. No label is left showing a literal mnemonic '&'.
#include <QString>

class QLabel;

namespace vlt {

// The text as the control shows it: "&&" becomes '&', a single '&' goes.
QString RemoveMnemonic(const QString& text);

// A name or a path as the text of a control that reads mnemonics (a menu
// item, a tab, a button): every '&' doubled, so that it shows as it is.
QString NoPrefixText(const QString& text);

// A label that must show its text as it is (a path, a name): the rule
// leaves it alone, and its text is shown with every '&'.
void SetNoPrefix(QLabel* label, bool noPrefix = true);
bool IsNoPrefix(const QLabel* label);

// Whether the label shows a '&' of its text that is meant as a mnemonic.
bool ShowsLiteralMnemonic(const QLabel* label);

// Applies the rule to one label now.
void ApplyMnemonicRule(QLabel* label);

// Applies the rule to every label of the program as it is shown, and to
// the labels of a window again once it has been shown; called once at
// start-up, later calls do nothing.
void InstallMnemonicRule();

} // namespace vlt
