#include "CActiveMovieManager.h"

#include <cstring>
#include <new>
#include <string>

#include "CPlugInClassFactory.h"
#include "CPlugInFilter.h"
#include "CPlugInObjects.h"
#include "IAMovieSetup.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/InprocServer.h"
#include "platform/media/FilterMapper.h"
#include "platform/registry/Registry.h"
#include "platform/res/MessageBox.h"
#include "platform/win/Guid.h"
#include "platform/win/WideString.h"

namespace {

// The maker's category, where the studio looks for audio effects.
constexpr const char* kCategory = "VarnholtPlugIns";
// No automatic graph building picks a plug-in.
constexpr DWORD kMerit = 0x200000;

MV_DEFINE_GUID(CLSID_FilterMapper2, 0xCDA42200, 0xBD88, 0x11D0, 0xBD, 0x4E, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86);
MV_DEFINE_GUID(IID_IFilterMapper2, 0xB79BB0B0, 0x33C1, 0x11D1, 0xAB, 0xE1, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75);

CActiveMovieManager::Template g_templates[CActiveMovieManager::kMaxTemplates];
int g_templateCount = 0;
void* g_factories[CActiveMovieManager::kKinds][CActiveMovieManager::kMaxPerKind];
int g_kindCounts[CActiveMovieManager::kKinds];

std::string ClassKey(REFCLSID clsid) { return "CLSID\\" + mvwin::GuidToString(clsid); }
std::string CategoryKey(REFCLSID clsid) { return std::string(kCategory) + "\\" + mvwin::GuidToString(clsid); }

// The key and all below it, depth first; a key that is not there is no
// failure.
LONG DeleteKeyTree(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    LONG err = RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (err == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (err != ERROR_SUCCESS)
        return err;
    for (;;) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if ((err = DeleteKeyTree(key, name)) != ERROR_SUCCESS) {
            RegCloseKey(key);
            return err;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(root, path.c_str());
}

// The filter catalogue: IFilterMapper2 where there is one, else IFilterMapper.
IFilterMapper* OpenMapper(HRESULT* phr)
{
    IUnknown* two = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                   reinterpret_cast<void**>(&two))) &&
        two) {
        // No second-generation mapper speaks our first-generation calls.
        two->Release();
    }
    IFilterMapper* mapper = nullptr;
    *phr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                            reinterpret_cast<void**>(&mapper));
    if (FAILED(*phr) || !mapper) {
        if (SUCCEEDED(*phr))
            *phr = E_NOINTERFACE;
        return nullptr;
    }
    return mapper;
}

HRESULT CallSetup(const CActiveMovieManager::Template& t, bool registering)
{
    HRESULT hr = S_OK;
    IUnknown* object = CActiveMovieManager::CreateWrapper(t.kind, t.slot, nullptr, &hr);
    if (!object)
        return S_OK;  // an object that cannot be made has no setup to call
    IAMovieSetup* setup = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup))) && setup) {
        hr = registering ? setup->Register() : setup->Unregister();
        setup->Release();
    }
    object->Release();
    return hr;
}

HRESULT WriteCategoryKey(const CActiveMovieManager::Template& t)
{
    HKEY key = nullptr;
    LONG err = RegCreateKeyExA(HKEY_CLASSES_ROOT, CategoryKey(*t.clsid).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                               nullptr, &key, nullptr);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    const char* description = t.regInfo->GetDescription() ? t.regInfo->GetDescription() : "";
    const char* help = t.regInfo->GetHelpFilePath() ? t.regInfo->GetHelpFilePath() : "";
    const DWORD topic = t.regInfo->GetHelpTopic();
    err = RegSetValueExA(key, "Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(description),
                         static_cast<DWORD>(std::strlen(description) + 1));
    if (err == ERROR_SUCCESS)
        err = RegSetValueExA(key, "HelpFilePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(help),
                             static_cast<DWORD>(std::strlen(help) + 1));
    if (err == ERROR_SUCCESS)
        err = RegSetValueExA(key, "HelpFileTopic", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&topic), sizeof topic);
    RegCloseKey(key);
    return err == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(err);
}

HRESULT RegisterFilterPins(IFilterMapper* mapper, const CActiveMovieManager::Template& t)
{
    const CLSID clsid = *t.clsid;
    HRESULT hr = mapper->RegisterFilter(clsid, t.name, kMerit);
    if (SUCCEEDED(hr))
        hr = mapper->RegisterPin(clsid, u"Input", FALSE, FALSE, FALSE, FALSE, GUID_NULL, u"Output");
    if (SUCCEEDED(hr))
        hr = mapper->RegisterPinType(clsid, u"Input", MEDIATYPE_Audio, GUID_NULL);
    if (SUCCEEDED(hr))
        hr = mapper->RegisterPin(clsid, u"Output", FALSE, TRUE, FALSE, FALSE, GUID_NULL, u"Input");
    if (SUCCEEDED(hr))
        hr = mapper->RegisterPinType(clsid, u"Output", MEDIATYPE_Audio, GUID_NULL);
    return hr;
}

IFilterMapper* g_mapper = nullptr;  // while a registration runs

}  // namespace

HRESULT CActiveMovieManager::Add(Kind kind, void* factory, const CLSID* clsid, const WCHAR* name,
                                 IPlugInRegInfo* regInfo)
{
    if (g_templateCount >= kMaxTemplates || g_kindCounts[kind] >= kMaxPerKind)
        return E_UNEXPECTED;
    const int slot = g_kindCounts[kind]++;
    g_factories[kind][slot] = factory;
    g_templates[g_templateCount++] = Template{name, clsid, kind, slot, regInfo};
    return S_OK;
}

HRESULT CActiveMovieManager::AddFactory(IInPlaceFactory* f)
{
    return f ? Add(kInPlace, f, f->GetClassId(), f->GetName(), RegInfoOfFilterFactory(f)) : E_POINTER;
}
HRESULT CActiveMovieManager::AddFactory(IBufToBufFactory* f)
{
    return f ? Add(kBufToBuf, f, f->GetClassId(), f->GetName(), RegInfoOfFilterFactory(f)) : E_POINTER;
}
HRESULT CActiveMovieManager::AddFactory(IAsyncFactory* f)
{
    return f ? Add(kAsync, f, f->GetClassId(), f->GetName(), RegInfoOfFilterFactory(f)) : E_POINTER;
}
HRESULT CActiveMovieManager::AddFactory(IPropPageFactory* f)
{
    return f ? Add(kPropPage, f, f->GetClassId(), f->GetName(), nullptr) : E_POINTER;
}

int CActiveMovieManager::TemplateCount() { return g_templateCount; }
int CActiveMovieManager::KindCount(Kind kind) { return kind >= 0 && kind < kKinds ? g_kindCounts[kind] : 0; }
const CActiveMovieManager::Template* CActiveMovieManager::TemplateAt(int index)
{
    return index >= 0 && index < g_templateCount ? &g_templates[index] : nullptr;
}

IUnknown* CActiveMovieManager::CreateWrapper(Kind kind, int slot, IUnknown* outer, HRESULT* phr)
{
    if (kind < 0 || kind >= kKinds || slot < 0 || slot >= g_kindCounts[kind] || !g_factories[kind][slot]) {
        *phr = E_UNEXPECTED;
        return nullptr;
    }
    void* factory = g_factories[kind][slot];
    const CLSID* clsid = nullptr;
    IUnknown* processor = nullptr;
    CPlugInFilter::Kind filterKind = CPlugInFilter::kInPlace;
    switch (kind) {
    case kInPlace:
        clsid = static_cast<IInPlaceFactory*>(factory)->GetClassId();
        processor = static_cast<IInPlaceFactory*>(factory)->CreateProcessor();
        break;
    case kBufToBuf:
        clsid = static_cast<IBufToBufFactory*>(factory)->GetClassId();
        processor = static_cast<IBufToBufFactory*>(factory)->CreateProcessor();
        filterKind = CPlugInFilter::kBufToBuf;
        break;
    case kAsync:
        clsid = static_cast<IAsyncFactory*>(factory)->GetClassId();
        processor = static_cast<IAsyncFactory*>(factory)->CreateProcessor();
        filterKind = CPlugInFilter::kAsync;
        break;
    default:
        // The page wrapper stands on the window layer's property pages.
        *phr = E_NOTIMPL;
        return nullptr;
    }
    CUnknown* object = CPlugInFilter::Create(filterKind, clsid ? *clsid : GUID_NULL, processor, outer, phr);
    if (!object)
        return nullptr;
    object->NonDelegatingAddRef();
    IUnknown* unknown = nullptr;
    object->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
    object->NonDelegatingRelease();
    return unknown;
}

HRESULT CActiveMovieManager::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (int i = 0; i < g_templateCount; ++i) {
        if (!IsEqualGUID(clsid, *g_templates[i].clsid))
            continue;
        auto* factory = new (std::nothrow) CPlugInClassFactory(g_templates[i].kind, g_templates[i].slot);
        if (!factory)
            return E_OUTOFMEMORY;
        factory->AddRef();
        HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CActiveMovieManager::CanUnloadNow() { return CPlugInObjects::CanUnload() ? S_OK : S_FALSE; }

HRESULT CActiveMovieManager::RegisterTemplate(const Template& t, const char* path)
{
    const std::string name = mvwin::Utf16ToUtf8(t.name ? t.name : u"");
    if (HRESULT hr = mvcom::RegisterInprocServer(*t.clsid, name.c_str(), path); FAILED(hr))
        return hr;
    if (!t.regInfo)
        return S_OK;  // a property page: its class key only
    if (HRESULT hr = RegisterFilterPins(g_mapper, t); FAILED(hr))
        return hr;
    if (HRESULT hr = CallSetup(t, true); FAILED(hr))
        return hr;
    return WriteCategoryKey(t);
}

HRESULT CActiveMovieManager::UnregisterTemplate(const Template& t)
{
    HRESULT first = S_OK;
    if (t.regInfo) {
        if (g_mapper)
            g_mapper->UnregisterFilter(*t.clsid);  // a filter that is not catalogued is no error
        first = CallSetup(t, false);
    }
    if (LONG err = DeleteKeyTree(HKEY_CLASSES_ROOT, ClassKey(*t.clsid)); err != ERROR_SUCCESS && SUCCEEDED(first))
        first = HRESULT_FROM_WIN32(err);
    if (LONG err = DeleteKeyTree(HKEY_CLASSES_ROOT, CategoryKey(*t.clsid)); err != ERROR_SUCCESS && SUCCEEDED(first))
        first = HRESULT_FROM_WIN32(err);
    return first;
}

HRESULT CActiveMovieManager::RegisterServer(HMODULE module)
{
    HRESULT hr = S_OK;
    g_mapper = OpenMapper(&hr);
    if (!g_mapper) {
        MessageBoxA(nullptr, "DirectShow not installed", "Plug-In Error", MB_OK);
        return hr;
    }
    char path[4096];
    if (GetModuleFileNameA(module, path, sizeof path) == 0 || !path[0]) {
        g_mapper->Release();
        g_mapper = nullptr;
        return SELFREG_E_CLASS;
    }
    // Libraries carry no type library here: there is none to register.
    int failed = -1;
    for (int i = 0; i < g_templateCount && failed < 0; ++i)
        if (FAILED(hr = RegisterTemplate(g_templates[i], path)))
            failed = i;
    if (failed >= 0) {
        // All or nothing: a half-registered library would be listed but
        // could not be made.
        for (int i = 0; i <= failed; ++i)
            UnregisterTemplate(g_templates[i]);
    }
    g_mapper->Release();
    g_mapper = nullptr;
    return failed >= 0 ? hr : S_OK;
}

HRESULT CActiveMovieManager::UnregisterServer()
{
    HRESULT hr = S_OK;
    g_mapper = OpenMapper(&hr);
    if (!g_mapper) {
        MessageBoxA(nullptr, "DirectShow not installed", "Plug-In Error", MB_OK);
        return hr;
    }
    HRESULT first = S_OK;
    for (int i = 0; i < g_templateCount && SUCCEEDED(first); ++i)
        first = UnregisterTemplate(g_templates[i]);
    g_mapper->Release();
    g_mapper = nullptr;
    return first;
}

int CActiveMovieManager::RegisterAX(const char* fileName)
{
    CoInitialize(nullptr);
    HMODULE library = LoadLibraryA(fileName);
    if (!library)
        return 0;
    auto reg = reinterpret_cast<DllRegisterServerFn>(GetProcAddress(library, "DllRegisterServer"));
    const bool ok = reg && SUCCEEDED(reg());
    FreeLibrary(library);
    for (int& n : g_kindCounts)
        n = 0;
    g_templateCount = 0;
    return ok ? 1 : 0;
}
