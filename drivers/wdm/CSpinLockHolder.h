#pragma once
// Holds the device spin lock for a scope.
// Threads: dispatch routines, the interrupt service's DPCs and the timer; see TQ8_DEVICE_EXTENSION.
#include "TQ8Driver.h"

class CSpinLockHolder {
public:
    explicit CSpinLockHolder(TQ8_DEVICE_EXTENSION* ext) : m_ext(ext) { kern::KeAcquireSpinLock(&ext->spinLock, &m_irql); }
    ~CSpinLockHolder() { kern::KeReleaseSpinLock(&m_ext->spinLock, m_irql); }
    CSpinLockHolder(const CSpinLockHolder&) = delete;
    CSpinLockHolder& operator=(const CSpinLockHolder&) = delete;

private:
    TQ8_DEVICE_EXTENSION* m_ext;
    kern::KIRQL m_irql = 0;
};
