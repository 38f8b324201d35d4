// The plug-in manager: a plug-in library hands it one factory per plug-in
// class and forwards its own COM entry points to it. The manager keeps the
// table of class templates, makes the wrapper filter of each registered
// class when COM asks, and writes and removes the registry entries,
// including the maker's category key under which the studio finds audio
// effects.
//
// Limits: 128 templates in all, 32 per kind; a factory past either limit
// is refused with E_UNEXPECTED. The factories are not referenced: they
// live as long as the plug-in library.
//
// Threads: AddFactory and registration on the loading thread; the class
// objects on any thread COM calls them on.
#pragma once

#include "IAsyncFactory.h"
#include "IBufToBufFactory.h"
#include "IInPlaceFactory.h"
#include "IPlugInRegInfo.h"
#include "IPropPageFactory.h"
#include "platform/win/Module.h"

#define FENDREL_EXPORT __attribute__((visibility("default")))

class FENDREL_EXPORT CActiveMovieManager {
public:
    static constexpr int kMaxTemplates = 128;
    static constexpr int kMaxPerKind = 32;
    enum Kind { kInPlace, kBufToBuf, kAsync, kPropPage, kKinds };

    // One template of the table: what COM's class lookup needs.
    struct Template {
        const WCHAR* name;
        const CLSID* clsid;
        Kind kind;
        int slot;
        IPlugInRegInfo* regInfo;  // none for property pages
    };

    static HRESULT AddFactory(IInPlaceFactory* factory);
    static HRESULT AddFactory(IBufToBufFactory* factory);
    static HRESULT AddFactory(IAsyncFactory* factory);
    static HRESULT AddFactory(IPropPageFactory* factory);

    static HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
    static HRESULT CanUnloadNow();
    // Registers every template of the table for the library `module`.
    // All or nothing: a failure removes what this call wrote.
    static HRESULT RegisterServer(HMODULE module);
    static HRESULT UnregisterServer();
    // Registers another library through its own DllRegisterServer, then
    // empties the table. 1 when that call existed and succeeded, else 0
    // (the table untouched when the library did not load).
    static int RegisterAX(const char* fileName);

    // The template count, and the count of one kind.
    static int TemplateCount();
    static int KindCount(Kind kind);
    static const Template* TemplateAt(int index);

    // The wrapper object of `kind` around its slot's factory: null with
    // *phr E_UNEXPECTED for an empty slot.
    static IUnknown* CreateWrapper(Kind kind, int slot, IUnknown* outer, HRESULT* phr);

private:
    static HRESULT Add(Kind kind, void* factory, const CLSID* clsid, const WCHAR* name, IPlugInRegInfo* regInfo);
    static HRESULT RegisterTemplate(const Template& t, const char* path);
    static HRESULT UnregisterTemplate(const Template& t);
};
