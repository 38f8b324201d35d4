// What makes a plug-in library an in-process server: its table of classes
// (each plug-in defines PlugInFactories), the four entry points built from
// it, and the library's lock count. Registration writes the COM keys of
// every class and, for every filter class, its entry in the filter
// catalogue (an audio "Input" and an audio "Output") and a key under the
// plug-in category the host scans (HKEY_CLASSES_ROOT\<category>\{clsid}) with the
// class's "Description", "HelpFilePath" and "HelpFileTopic" (a 32-bit
// number, as the host reads it).
//
// The category is a build parameter of each plug-in: MV_SYNTH_CATEGORY,
// "MfxSoftSynths" unless the plug-in's build says otherwise.
//
// Threads: the entry points and factories on the UI thread.
#pragma once

#include <span>

#include "platform/com/InprocServer.h"

#ifndef MV_SYNTH_CATEGORY
#define MV_SYNTH_CATEGORY "MfxSoftSynths"
#endif

namespace mvsynth {

struct FactoryTemplate {
    const char* name;
    const CLSID* clsid;
    HRESULT (*create)(IUnknown* outer, REFIID riid, void** ppv);
    // A filter class is catalogued and gets a category key; a property
    // page gets neither.
    bool filterSetup;
    // A filter the host must not list by itself is catalogued without one.
    bool categoryKey = true;
};

// Defined by each plug-in: its classes, filters first.
std::span<const FactoryTemplate> PlugInFactories();

// The category key's path of a class, without the root.
std::string CategoryKey(REFCLSID clsid);

// Objects and locks that keep the library loaded.
void LockModule();
void UnlockModule();

}  // namespace mvsynth
