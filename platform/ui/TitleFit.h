#pragma once
// Top-level windows as wide as their title: the window manager cuts a title
// that is wider than the window's title bar.
#include <QString>

class QWidget;

namespace vlt {

// The width a title bar needs to show the title whole, with its icon and
// buttons, estimated from the application's font in bold.
int TitleBarWidth(const QString& title);

// From now on the window is at least as wide as its title needs, whatever
// title it is given later, and never narrower than its layout allows.
void KeepTitleShown(QWidget* window);

} // namespace vlt
