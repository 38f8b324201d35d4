#include "platform/audio/AsioHost.h"

#include <atomic>
#include <cstring>

namespace {

// Written on the UI thread, read by ASIOOutputReady on the driver's thread.
std::atomic<IAsioDriver*> g_driver{nullptr};

// The current driver's `method`, or kAsioNotPresent without a driver.
template <class... Params, class... Args>
AsioError Forward(AsioError (IAsioDriver::*method)(Params...), Args... args)
{
    IAsioDriver* d = g_driver.load();
    return d ? (d->*method)(args...) : kAsioNotPresent;
}

void CopyText(char* dst, std::size_t size, const char* src)
{
    std::strncpy(dst, src, size - 1);
    dst[size - 1] = '\0';
}

}  // namespace

namespace mvasio {

void SetCurrentDriver(IAsioDriver* driver)
{
    if (driver)
        driver->AddRef();
    IAsioDriver* old = g_driver.exchange(driver);
    if (old)
        old->Release();
}

IAsioDriver* GetCurrentDriver()
{
    return g_driver.load();
}

}  // namespace mvasio

AsioError ASIOInit(AsioDriverInfo* info)
{
    IAsioDriver* d = g_driver.load();
    if (!info)
        return kAsioInvalidParameter;
    info->driverVersion = 0;
    info->name[0] = '\0';
    info->errorMessage[0] = '\0';
    if (!d) {
        CopyText(info->errorMessage, sizeof info->errorMessage, "No ASIO driver loaded");
        return kAsioNotPresent;
    }
    if (!d->Init(info->sysRef)) {
        d->GetErrorMessage(info->errorMessage);
        return kAsioNotPresent;
    }
    d->GetDriverName(info->name);
    info->driverVersion = d->GetDriverVersion();
    return kAsioOk;
}

AsioError ASIOExit()
{
    mvasio::SetCurrentDriver(nullptr);
    return kAsioOk;
}

AsioError ASIOStart()
{
    return Forward(&IAsioDriver::Start);
}

AsioError ASIOStop()
{
    return Forward(&IAsioDriver::Stop);
}

AsioError ASIOGetChannels(std::int32_t* inputs, std::int32_t* outputs)
{
    return Forward(&IAsioDriver::GetChannels, inputs, outputs);
}

AsioError ASIOGetBufferSize(std::int32_t* minimum, std::int32_t* maximum, std::int32_t* preferred,
                            std::int32_t* granularity)
{
    return Forward(&IAsioDriver::GetBufferSize, minimum, maximum, preferred, granularity);
}

AsioError ASIOCanSampleRate(double rate)
{
    return Forward(&IAsioDriver::CanSampleRate, rate);
}

AsioError ASIOGetSampleRate(double* rate)
{
    return Forward(&IAsioDriver::GetSampleRate, rate);
}

AsioError ASIOSetSampleRate(double rate)
{
    return Forward(&IAsioDriver::SetSampleRate, rate);
}

AsioError ASIOGetChannelInfo(AsioChannelInfo* info)
{
    return Forward(&IAsioDriver::GetChannelInfo, info);
}

AsioError ASIOCreateBuffers(AsioBufferInfo* infos, std::int32_t count, std::int32_t frames,
                            const AsioCallbacks* callbacks)
{
    return Forward(&IAsioDriver::CreateBuffers, infos, count, frames, callbacks);
}

AsioError ASIODisposeBuffers()
{
    return Forward(&IAsioDriver::DisposeBuffers);
}

AsioError ASIOControlPanel()
{
    return Forward(&IAsioDriver::ControlPanel);
}

AsioError ASIOOutputReady()
{
    return Forward(&IAsioDriver::OutputReady);
}
