#pragma once
// The sync-device manager's window as the main frame drives it: the frame
// creates it through a registered factory on first use, shows and hides it,
// selects a device's row and has it refill itself when the devices change.
#include <cstdint>
#include <functional>

class CVltHub6Mgr;
class QWidget;

class ISyncManagerWindow {
public:
    // (owner, the workspace's sync-device manager) -> the window, owned by
    // the owner as its child; null when it cannot be made.
    using Factory = std::function<ISyncManagerWindow*(QWidget* owner, CVltHub6Mgr& manager)>;

    virtual QWidget* GetWidget() = 0;
    // The row of the device, selected; -1 for id 0 or an id without a row.
    virtual int SelectDevice(int32_t instanceId) = 0;
    // Rows and output lists anew from the manager and the open boards.
    virtual void RefillFromManager() = 0;

protected:
    ~ISyncManagerWindow() = default;
};
