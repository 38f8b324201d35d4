// The host side of the ASIO interface: one driver is loaded at a time,
// process-wide, and these calls go to it. The back-end creates a driver
// object by class identifier and makes it current with
// mvasio::SetCurrentDriver; ASIOExit lets go of it again (the driver closes
// its device with its last reference).
//
// Every call answers kAsioNotPresent while no driver is current. Calls come
// from the UI thread, except ASIOOutputReady, which the buffer switch makes
// on the driver's thread; a driver stays alive until such a call returns
// (see IAsioDriver.h).
#pragma once

#include "platform/audio/IAsioDriver.h"

namespace mvasio {

// Makes `driver` current (AddRef'd), letting go of the one before; null
// just lets go.
void SetCurrentDriver(IAsioDriver* driver);
// The current driver, not AddRef'd; null when none.
IAsioDriver* GetCurrentDriver();

}  // namespace mvasio

// info->asioVersion and info->sysRef in; the driver's name, version and, on
// failure, its error message out. kAsioNotPresent when the driver cannot
// reach its device.
AsioError ASIOInit(AsioDriverInfo* info);
AsioError ASIOExit();
AsioError ASIOStart();
AsioError ASIOStop();
AsioError ASIOGetChannels(std::int32_t* inputs, std::int32_t* outputs);
AsioError ASIOGetBufferSize(std::int32_t* minimum, std::int32_t* maximum, std::int32_t* preferred,
                            std::int32_t* granularity);
AsioError ASIOCanSampleRate(double rate);
AsioError ASIOGetSampleRate(double* rate);
AsioError ASIOSetSampleRate(double rate);
AsioError ASIOGetChannelInfo(AsioChannelInfo* info);
AsioError ASIOCreateBuffers(AsioBufferInfo* infos, std::int32_t count, std::int32_t frames,
                            const AsioCallbacks* callbacks);
AsioError ASIODisposeBuffers();
AsioError ASIOControlPanel();
// Audio thread: no allocation, no blocking.
AsioError ASIOOutputReady();
