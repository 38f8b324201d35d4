#include "model/CMeterKey.h"

#include <cstdint>

#include "model/CKelPersistArchive.h"

namespace {

// The resolution a signature stands alone at: the song's.
constexpr LONG kTicksPerQuarter = 960;

}  // namespace

CMeterKey::CMeterKey() : CKelPersistObject(MakeKelVersionWord(kMajor, 0)) {}

CMeterKey::CMeterKey(LONG measure, LONG numerator, LONG power, LONG key) : CMeterKey()
{
    m_measure = measure;
    m_numerator = numerator;
    m_power = power;
    m_key = key;
}

bool CMeterKey::IsValid(LONG numerator, LONG power, LONG key, LONG ticksPerQuarter)
{
    return numerator >= 1 && numerator <= INT8_MAX && power >= 0 && power < 31 &&
           (static_cast<LONGLONG>(ticksPerQuarter) * 4 >> power) >= 1 && key >= INT8_MIN && key <= INT8_MAX;
}

STDMETHODIMP CMeterKey::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    LONG measure = m_measure;
    std::int8_t numerator = static_cast<std::int8_t>(m_numerator);
    std::uint8_t power = static_cast<std::uint8_t>(m_power);
    std::int8_t key = static_cast<std::int8_t>(m_key);
    HRESULT hr = archive->PersistBytes(sizeof measure, &measure);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof numerator, &numerator);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof power, &power);
    if (SUCCEEDED(hr))
        hr = archive->PersistBytes(sizeof key, &key);
    if (FAILED(hr) || archive->IsSaving())
        return hr;
    if (!IsValid(numerator, power, key, kTicksPerQuarter))
        return E_INVALIDARG;
    m_measure = measure;
    m_numerator = numerator;
    m_power = power;
    m_key = key;
    return S_OK;
}
