#pragma once
// The end of a program asked for by a signal (SIGTERM at the end of the
// session or a shutdown, SIGINT, SIGHUP) turned into a call on the user-
// interface thread, so that the program can end as if its window closed.
#include <functional>

namespace vlt {

// Installs the handlers; the call runs on the thread that installed them,
// from its event loop. Installing again replaces the call.
bool OnTerminationSignal(std::function<void()> handler);

} // namespace vlt
