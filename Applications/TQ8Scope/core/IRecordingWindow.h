#pragma once
// The recording window as the main frame and the documents reach it: the
// main frame makes it through a registered factory on first use, shows and
// hides it, asks whether it records and ends a recording; documents add and
// remove their boards.
#include <functional>

#include "TQ8_64.h"

class CPersistentOpts;
class CRecParamsManager;
class QWidget;

class IRecordingWindow {
public:
    // (owner, the workspace's recording parameters, the options or null) ->
    // the window, a child of the owner; null when it cannot be made.
    using Factory = std::function<IRecordingWindow*(QWidget* owner, CRecParamsManager& manager,
                                                    CPersistentOpts* options)>;

    virtual QWidget* GetWidget() = 0;
    virtual bool IsRecording() const = 0;
    virtual void StopRecording() = 0;
    virtual void AddDevice(TQ8_HANDLE device) = 0;
    virtual void RemoveDevice(TQ8_HANDLE device) = 0;
    virtual void RefreshDeviceNames() = 0;

protected:
    ~IRecordingWindow() = default;
};
