#pragma once
// The handle a library call works through, for the back-ends that keep
// state per handle (a remote board's connection). Set for the length of the
// call on the calling thread; scopes nest.
#include "CConnection.h"

namespace tq8 {

class CConnectionScope {
public:
    explicit CConnectionScope(CConnection* connection);
    ~CConnectionScope();
    CConnectionScope(const CConnectionScope&) = delete;
    CConnectionScope& operator=(const CConnectionScope&) = delete;

    // Null outside a call.
    static CConnection* Current();

private:
    CConnection* m_previous;
};

} // namespace tq8
