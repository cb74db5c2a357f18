#pragma once
// What the service host's document asks of its main window.
#include <string>

class IMainFrameServices {
public:
    // A text in the status bar's message pane; a non-zero time-out (ms)
    // clears it again unless another text has replaced it meanwhile.
    virtual void SetTimedStatusText(const std::string& text, unsigned timeoutMs) = 0;
    // A text in the message pane until another replaces it.
    virtual void SetMessageText(const std::string& text) = 0;
    // The notification icon and its tip follow the running state.
    virtual void RefreshNotifyIcon() = 0;

protected:
    ~IMainFrameServices() = default;
};
