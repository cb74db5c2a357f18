#include "ErrorBeep.h"

#include <mutex>

#include <QApplication>

namespace vlt {
namespace {
std::mutex g_mutex;
std::function<void()> g_handler;
} // namespace

void ErrorBeep()
{
    std::function<void()> handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;
    }
    if (handler)
        handler();
    else
        QApplication::beep();
}

std::function<void()> SetErrorBeepHandler(std::function<void()> handler)
{
    std::lock_guard lock(g_mutex);
    std::function<void()> previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

} // namespace vlt
