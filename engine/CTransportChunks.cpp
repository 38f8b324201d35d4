#include "engine/CTransportChunks.h"

#include <algorithm>

#include "model/CKelPersistArchive.h"

HRESULT CTransportChunks::PersistTransportState(CKelPersistArchive* archive, TransportState* state)
{
    BYTE reserved = 0;
    DWORD spare[4] = {};
    HRESULT hr = archive->PersistBytes(1, &reserved);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &state->playPosition);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &state->renderPosition);
    if (SUCCEEDED(hr))
        hr = archive->PersistBool(&state->loopOn);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &state->loopStart);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &state->loopEnd);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof spare, spare);
    return hr;
}

HRESULT CTransportChunks::PersistMetronome(CKelPersistArchive* archive, IPersistStreamInit* sync,
                                           MetronomeState* state)
{
    constexpr ULONG kFixedBytes = 4 + 4 + 1 + 16;
    HRESULT hr = S_OK;
    if (archive->IsSaving()) {
        if (sync)
            hr = archive->PersistObject(sync);
    } else if (SUCCEEDED(archive->CheckRemaining(kFixedBytes + 1))) {
        // The chunk holds the generator's object: it was saved by an engine
        // that had one, whether or not this one has.
        if (sync) {
            hr = archive->PersistObject(sync);
        } else {
            ULONGLONG length = 0;
            hr = archive->PersistBytes(sizeof length, &length);
            if (SUCCEEDED(hr) && length > sizeof length)
                hr = archive->CheckRemaining(length - sizeof length);
            for (ULONGLONG left = length > sizeof length ? length - sizeof length : 0; SUCCEEDED(hr) && left > 0;) {
                BYTE scratch[256];
                const ULONG n = static_cast<ULONG>(std::min<ULONGLONG>(left, sizeof scratch));
                hr = archive->PersistBytes(n, scratch);
                left -= n;
            }
        }
    }
    DWORD spare[4] = {};
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &state->metronomeOn);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(4, &state->countInOn);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(1, &state->countInBeats);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof spare, spare);
    return hr;
}
