// The installed ASIO drivers, in the order of the subkeys of
// HKEY_LOCAL_MACHINE "software\asio". A subkey is a driver when its "clsid"
// value names a class whose in-process server is registered under
// HKEY_CLASSES_ROOT "clsid" (the class id compared without regard to case)
// and whose library file exists; three class ids known to misbehave in a
// host are never listed. A driver's name is the subkey's "description", or
// the subkey's own name without one.
//
// While it lists at least one driver the list keeps COM initialised on the
// thread that built it; build and delete it on the same thread (the UI
// thread).
//
// Results are 0 on success, or the driver-list codes below, or the
// creation's HRESULT.
#pragma once

#include <string>
#include <vector>

#include "platform/audio/IAsioDriver.h"
#include "platform/win/WinTypes.h"

class CAsioDriverList {
public:
    static constexpr LONG kInvalidParam = -5001;
    static constexpr LONG kAlreadyOpen = -5002;
    static constexpr LONG kNotFound = -5003;
    // Subkey names longer than this are not read.
    static constexpr int kMaxKeyName = 128;

    CAsioDriverList();
    ~CAsioDriverList();
    CAsioDriverList(const CAsioDriverList&) = delete;
    CAsioDriverList& operator=(const CAsioDriverList&) = delete;

    int GetCount() const { return static_cast<int>(m_records.size()); }
    // Creates driver `index` in process, with its class id as both class and
    // interface id, and keeps it as the record's object; *driver is that
    // object (not AddRef'd for the caller, and null on failure).
    // kInvalidParam for a null out, kNotFound for an unknown index,
    // kAlreadyOpen while the record holds an object.
    LONG OpenDriver(int index, IAsioDriver** driver);
    // Releases the record's object. kNotFound for an unknown index.
    LONG CloseDriver(int index);
    // The driver's name into `name` of `length` bytes; a name that does not
    // fit is cut to length - 4 characters followed by "..." and the
    // terminator. kInvalidParam for a null buffer or a length below 1,
    // kNotFound for an unknown index.
    LONG GetDriverName(int index, char* name, int length) const;

private:
    struct Record {
        CLSID clsid;
        std::string name;
        IAsioDriver* driver;
    };

    std::vector<Record> m_records;
    bool m_comInitialised = false;
};
