#pragma once
// Holds the device mutex for a scope.
// Threads: the dispatch routines; the mutex keeps their programming sequences apart.
#include "TQ8Driver.h"

class CMutexHolder {
public:
    explicit CMutexHolder(TQ8_DEVICE_EXTENSION* ext) : m_ext(ext) { kern::ExAcquireFastMutex(&ext->deviceMutex); }
    ~CMutexHolder() { kern::ExReleaseFastMutex(&m_ext->deviceMutex); }
    CMutexHolder(const CMutexHolder&) = delete;
    CMutexHolder& operator=(const CMutexHolder&) = delete;

private:
    TQ8_DEVICE_EXTENSION* m_ext;
};
