// Something the kernel-streaming layer sends requests to: a filter or a pin
// with its device handle. The handle is closed with the object.
#pragma once

#include "platform/audio/KsDevices.h"

class CKsIrpTarget {
public:
    CKsIrpTarget() = default;
    virtual ~CKsIrpTarget();
    CKsIrpTarget(const CKsIrpTarget&) = delete;
    CKsIrpTarget& operator=(const CKsIrpTarget&) = delete;

    HANDLE GetHandle() const { return m_handle; }
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }

protected:
    void CloseTargetHandle();

    HANDLE m_handle = INVALID_HANDLE_VALUE;
};
