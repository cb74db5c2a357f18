// CScopeCtrl: the context menu and its commands.
#include "CScopeCtrl.h"
#include "CScopeWnd.h"
#include "PopupMenu.h"
#include "ScopeInputCodes.h"

#include <QAction>
#include <QMenu>

using namespace scopeinput;

namespace {

constexpr uint32_t kMenuChannels = 16;

// The menu as its resource lays it out: one pop-up "Context".
void LoadContextMenu(QMenu& context)
{
    context.setTitle(QStringLiteral("Context"));
    QMenu* zoom = context.addMenu(QStringLiteral("Zoom"));
    vlt::AddMenuCommand(*zoom, ID_ZOOM_OUT_TO_MAXIMUM, QStringLiteral("Out to Ma&ximum"));
    vlt::AddMenuCommand(*zoom, ID_ZOOM_TO_SELECTION, QStringLiteral("To &Selection"));
    QMenu* display = context.addMenu(QStringLiteral("Display"));
    QMenu* channels = display->addMenu(QStringLiteral("Channels"));
    channels->setObjectName(QStringLiteral("Channels"));
    vlt::AddMenuCommand(*channels, ID_CHANNEL_FIRST, QStringLiteral("Channel 1"));
    vlt::AddMenuCommand(context, ID_REFRESH_CONTENT, QStringLiteral("Refresh Content"));
    context.addSeparator();
    vlt::AddMenuCommand(context, ID_LEGEND, QStringLiteral("&Legend..."));
}

} // namespace

void CScopeCtrl::BuildChannelMenu(QMenu& popup)
{
    auto enable = [&](int id, bool on) {
        if (QAction* a = vlt::FindMenuCommand(popup, id))
            a->setEnabled(on);
    };
    enable(ID_LEGEND, false);
    enable(ID_ZOOM_OUT_TO_MAXIMUM, m_pageWidth != m_maxPageWidth);
    enable(ID_ZOOM_TO_SELECTION, HasSelection());
    QMenu* channels = popup.findChild<QMenu*>(QStringLiteral("Channels"));
    QAction* first = vlt::FindMenuCommand(popup, ID_CHANNEL_FIRST);
    if (!channels || !first)
        return;
    // The channels that have an item: ids 0 to 15, by their own ids, so that
    // a source that reserves ids without channels leaves no dead items.
    bool any = false;
    for (const auto& [id, chan] : m_sourceTable.Channels()) {
        if (id >= kMenuChannels)
            break;
        QAction* item = any ? vlt::AddMenuCommand(*channels, ID_CHANNEL_FIRST + int(id),
                                                  QStringLiteral("Channel %1").arg(id + 1))
                            : first;
        if (!any) {
            item->setText(QStringLiteral("Channel %1").arg(id + 1));
            item->setData(ID_CHANNEL_FIRST + int(id));
        }
        item->setCheckable(true);
        item->setChecked(!chan.IsHidden());
        any = true;
    }
    if (!any) {
        first->setText(QStringLiteral("No channels available"));
        first->setEnabled(false);
    }
}

void CScopeCtrl::ShowContextMenu(const QPoint& point)
{
    QMenu context(m_wnd.data());
    LoadContextMenu(context);
    BuildChannelMenu(context);
    const QPoint global = WindowExists() ? m_wnd->mapToGlobal(point) : point;
    const int command = vlt::TrackPopupMenu(context, global);
    if (command != 0)
        OnContextMenuCommand(command);
}

void CScopeCtrl::OnContextMenuCommand(int command)
{
    if (command >= ID_CHANNEL_FIRST && command < ID_CHANNEL_FIRST + int(kMenuChannels)) {
        const uint32_t chanId = uint32_t(command - ID_CHANNEL_FIRST);
        SetChannelVisibility(chanId, !IsChannelHidden(chanId));
        return;
    }
    switch (command) {
    case ID_ZOOM_OUT_TO_MAXIMUM:
        put_PageWidth(MaxSampleCount() == 0 ? m_maxPageWidth
                                            : uint32_t(std::min<uint64_t>(MaxSampleCount(), m_maxPageWidth)));
        put_StartSample(0);
        break;
    case ID_ZOOM_TO_SELECTION:
        if (HasSelection())
            ZoomToSelection();
        break;
    case ID_REFRESH_CONTENT:
        Redraw();
        break;
    default: // the legend, and anything else, does nothing
        break;
    }
}
