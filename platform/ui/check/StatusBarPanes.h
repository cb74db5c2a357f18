#pragma once
// The panes a status bar shows, left to right: its visible labels (message
// pane and indicators). Used by the programs' tests of their panes' order.
#include <vector>

class QLabel;
class QStatusBar;

namespace vlt {

std::vector<QLabel*> StatusBarPanes(const QStatusBar& bar);

} // namespace vlt
