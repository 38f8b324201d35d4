// The loop player's own interface as its host calls it: clips registered
// from the host's clip pool, the pool itself, the metronome's sounds,
// pitches, levels and switches, and previews. Slots 3-6 are its automation
// (dispatch) slots, which answer E_NOTIMPL and which the host never calls.
//
// What the metronome relies on: the other beats' click wave may be handed
// over through LoadBeatSound, or through LoadMeasureSound with the name
// "Other" (any other name loads the measure click); both reach the beat
// voice. MeasureSynth and BeatSynth are 1 for the synthesized tone and 0 for
// the loaded wave: a "use the wave" flag is sent inverted. A click whose
// wave could not be loaded sounds the tone.
//
// Threads: the host's UI thread; the player takes its own lock.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_ITamblor, 0x316CC764, 0xF559, 0x4070, 0xB5, 0x6C, 0xCE, 0x31, 0x58, 0x57, 0xE9, 0x79);

struct ITamblor : IUnknown {
    STDMETHOD(GetTypeInfoCount)(UINT* count) = 0;
    STDMETHOD(GetTypeInfo)(UINT index, DWORD locale, void** info) = 0;
    STDMETHOD(GetIDsOfNames)(REFIID riid, void* names, UINT count, DWORD locale, LONG* ids) = 0;
    STDMETHOD(Invoke)(LONG id, REFIID riid, DWORD locale, WORD flags, void* params, void* result, void* exception,
                      UINT* argument) = 0;
    // Clips are the loop-clip library's objects, by pointer.
    STDMETHOD(AddClipCopy)(const char* name, LONG kind, void** clip, void* source, DWORD* id) = 0;
    STDMETHOD(AddClipCopyOf)(const char* name, LONG kind, void** clip, DWORD source, DWORD* id) = 0;
    STDMETHOD(AddLinkedClip)(const char* name, LONG kind, void** clip, void* source, DWORD* id) = 0;
    STDMETHOD(RegisterClip)(DWORD id) = 0;
    STDMETHOD(UnregisterClip)(DWORD id) = 0;
    STDMETHOD(get_ClipPool)(void** pool) = 0;
    STDMETHOD(put_ClipPool)(void* pool) = 0;
    STDMETHOD(LoadMeasureSound)(const char* name, const char* path, LONG* result) = 0;
    STDMETHOD(LoadBeatSound)(const char* name, const char* path, LONG* result) = 0;
    STDMETHOD(get_ClickLength)(LONG* ticks) = 0;
    STDMETHOD(put_ClickLength)(LONG ticks) = 0;
    STDMETHOD(get_MeasurePitch)(LONG* note) = 0;
    STDMETHOD(put_MeasurePitch)(LONG note) = 0;
    STDMETHOD(get_MeasureLevel)(LONG* level) = 0;
    STDMETHOD(put_MeasureLevel)(LONG level) = 0;
    STDMETHOD(get_BeatPitch)(LONG* note) = 0;
    STDMETHOD(put_BeatPitch)(LONG note) = 0;
    STDMETHOD(get_BeatLevel)(LONG* level) = 0;
    STDMETHOD(put_BeatLevel)(LONG level) = 0;
    STDMETHOD(get_IsClicking)(LONG* clicking) = 0;
    STDMETHOD(get_Gain)(float* gain) = 0;
    STDMETHOD(put_Gain)(float gain) = 0;
    STDMETHOD(get_MetronomeMode)(LONG* mode) = 0;
    STDMETHOD(put_MetronomeMode)(LONG mode) = 0;
    STDMETHOD(get_MeasureSynth)(LONG* synth) = 0;
    STDMETHOD(put_MeasureSynth)(LONG synth) = 0;
    STDMETHOD(get_BeatSynth)(LONG* synth) = 0;
    STDMETHOD(put_BeatSynth)(LONG synth) = 0;
    STDMETHOD(get_PlayPatternClips)(LONG* on) = 0;
    STDMETHOD(put_PlayPatternClips)(LONG on) = 0;
    STDMETHOD(get_PlayPreviewClips)(LONG* on) = 0;
    STDMETHOD(put_PlayPreviewClips)(LONG on) = 0;
    STDMETHOD(get_MetronomeOn)(LONG* on) = 0;
    STDMETHOD(put_MetronomeOn)(LONG on) = 0;
    STDMETHOD(AddPreviewFile)(const char* path) = 0;
    STDMETHOD(ClearPreviewFiles)() = 0;
    STDMETHOD(StartPreview)() = 0;
    STDMETHOD(StopPreview)() = 0;
};
