// The sample gain plug-in: every sample times the gain (0.5 unless told),
// on 32-bit float audio of one or two channels; its state is the gain.
// The async kind offers 44.1 kHz 16-bit PCM only, and only counts what it
// receives.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "GainClasses.h"
#include "plugmgr/CActiveMovieManager.h"
#include "plugmgr/IAMovieSetup.h"
#include "plugmgr/IPlugInProcess.h"
#include "plugmgr/IPlugInTimedProcess.h"
#include "platform/com/InprocServer.h"

namespace {

using namespace mvtest;

class GainProcessor final : public IPlugInProcess, public IPlugInTimedProcess, public IGainProbe, public IAMovieSetup {
public:
    explicit GainProcessor(bool canFailSetup) : m_canFailSetup(canFailSetup) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPlugInProcess))
            *ppv = static_cast<IPlugInProcess*>(this);
        else if (IsEqualGUID(riid, IID_IPlugInTimedProcess))
            *ppv = static_cast<IPlugInTimedProcess*>(this);
        else if (IsEqualGUID(riid, IID_IGainProbe))
            *ppv = static_cast<IGainProbe*>(this);
        else if (IsEqualGUID(riid, IID_IAMovieSetup))
            *ppv = static_cast<IAMovieSetup*>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    STDMETHODIMP_(ULONG) GetStateSize() override { return sizeof(float); }
    STDMETHODIMP_(BOOL) GetState(BYTE* buffer, ULONG size) override
    {
        if (size != sizeof m_gain)
            return FALSE;
        std::memcpy(buffer, &m_gain, sizeof m_gain);
        return TRUE;
    }
    STDMETHODIMP_(BOOL) SetState(const BYTE* buffer, ULONG size) override
    {
        if (size != sizeof m_gain)
            return FALSE;
        std::memcpy(&m_gain, buffer, sizeof m_gain);
        return TRUE;
    }
    STDMETHODIMP_(BOOL) AcceptFormat(const WAVEFORMATEX* f) override
    {
        return f->wFormatTag == WAVE_FORMAT_IEEE_FLOAT && f->wBitsPerSample == 32 && f->nChannels <= 2;
    }
    STDMETHODIMP_(BOOL) SetFormat(const WAVEFORMATEX* f) override
    {
        m_channels = f->nChannels;
        return TRUE;
    }
    STDMETHODIMP_(BOOL) AcceptOutputFormat(const WAVEFORMATEX* f) override
    {
        return f->wFormatTag == WAVE_FORMAT_PCM && f->nSamplesPerSec == 44100;
    }
    STDMETHODIMP_(BOOL) Start() override { return TRUE; }
    STDMETHODIMP_(BOOL) Stop() override { return TRUE; }
    STDMETHODIMP_(BOOL) EndOfStream() override { return TRUE; }
    STDMETHODIMP_(BOOL) ProcessInPlace(BYTE* buffer, LONG frames) override
    {
        m_position = -1;
        Scale(reinterpret_cast<float*>(buffer), reinterpret_cast<float*>(buffer), frames);
        return TRUE;
    }
    STDMETHODIMP_(BOOL) ProcessBufToBuf(const BYTE* in, LONG inFrames, BYTE* out, LONG* outFrames) override
    {
        const LONG n = inFrames < *outFrames ? inFrames : *outFrames;
        Scale(reinterpret_cast<const float*>(in), reinterpret_cast<float*>(out), n);
        *outFrames = n;
        return TRUE;
    }
    STDMETHODIMP_(BOOL) Receive(IMediaSample*) override
    {
        ++m_received;
        return TRUE;
    }
    STDMETHODIMP_(BOOL) ProcessInPlaceAt(LONGLONG position, BYTE* buffer, LONG frames) override
    {
        m_position = position;
        Scale(reinterpret_cast<float*>(buffer), reinterpret_cast<float*>(buffer), frames);
        return TRUE;
    }

    STDMETHODIMP_(void) SetGain(float gain) override { m_gain = gain; }
    STDMETHODIMP_(LONGLONG) LastPosition() override { return m_position; }
    STDMETHODIMP_(LONG) SamplesReceived() override { return m_received; }

    STDMETHODIMP Register() override { return m_canFailSetup && std::getenv(kFailSetupVariable) ? E_FAIL : S_OK; }
    STDMETHODIMP Unregister() override { return S_OK; }

private:
    void Scale(const float* in, float* out, LONG frames)
    {
        for (LONG i = 0; i < frames * m_channels; ++i)
            out[i] = in[i] * m_gain;
    }

    bool m_canFailSetup;
    std::atomic<ULONG> m_refs{1};
    float m_gain = 0.5f;
    WORD m_channels = 2;
    std::atomic<LONGLONG> m_position{-1};
    std::atomic<LONG> m_received{0};
};

template <class Kind>
class GainFactory final : public Kind, public IPlugInRegInfo {
public:
    GainFactory(const CLSID* clsid, const WCHAR* name) : m_clsid(clsid), m_name(name) {}
    const CLSID* GetClassId() override { return m_clsid; }
    const WCHAR* GetName() override { return m_name; }
    IUnknown* CreateProcessor() override
    {
        return static_cast<IPlugInProcess*>(new GainProcessor(std::is_same_v<Kind, IBufToBufFactory>));
    }
    const char* GetDescription() override { return kGainDescription; }
    const char* GetHelpFilePath() override { return "gain.hlp"; }
    DWORD GetHelpTopic() override { return 7; }

private:
    const CLSID* m_clsid;
    const WCHAR* m_name;
};

class GainPageFactory final : public IPropPageFactory {
public:
    const CLSID* GetClassId() override { return &CLSID_GainPage; }
    const WCHAR* GetName() override { return u"Test Gain Page"; }
};

GainFactory<IInPlaceFactory> g_inPlace(&CLSID_GainInPlace, u"Morvane Test Gain");
GainFactory<IBufToBufFactory> g_bufToBuf(&CLSID_GainBufToBuf, u"Morvane Test Gain Copy");
GainFactory<IAsyncFactory> g_async(&CLSID_GainAsync, u"Morvane Test Gain Sink");
GainPageFactory g_page;

// The library's start-up: one factory per class.
const bool g_added = [] {
    CActiveMovieManager::AddFactory(&g_inPlace);
    CActiveMovieManager::AddFactory(&g_bufToBuf);
    CActiveMovieManager::AddFactory(&g_async);
    CActiveMovieManager::AddFactory(&g_page);
    return true;
}();

}  // namespace

MV_COM_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return CActiveMovieManager::GetClassObject(clsid, riid, ppv);
}

MV_COM_EXPORT HRESULT DllCanUnloadNow() { return CActiveMovieManager::CanUnloadNow(); }

MV_COM_EXPORT HRESULT DllRegisterServer()
{
    HMODULE self = ModuleOfAddress(reinterpret_cast<const void*>(&DllRegisterServer));
    const HRESULT hr = CActiveMovieManager::RegisterServer(self);
    FreeLibrary(self);
    return hr;
}

MV_COM_EXPORT HRESULT DllUnregisterServer() { return CActiveMovieManager::UnregisterServer(); }
