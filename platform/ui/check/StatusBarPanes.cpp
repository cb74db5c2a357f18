#include "StatusBarPanes.h"

#include <algorithm>

#include <QLabel>
#include <QStatusBar>

namespace vlt {

std::vector<QLabel*> StatusBarPanes(const QStatusBar& bar)
{
    std::vector<QLabel*> panes;
    for (QLabel* label : bar.findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->isVisible())
            panes.push_back(label);
    std::sort(panes.begin(), panes.end(), [](const QLabel* a, const QLabel* b) { return a->x() < b->x(); });
    return panes;
}

} // namespace vlt
