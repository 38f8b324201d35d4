#include "platform/com/StreamSupport.h"

#include <limits>

#include "platform/com/TaskMemory.h"
#include "platform/win/WideString.h"

namespace mvcom {

HRESULT ResolveSeek(LONGLONG move, DWORD origin, ULONGLONG current, ULONGLONG size, ULONGLONG& result)
{
    constexpr ULONGLONG kMax = static_cast<ULONGLONG>(std::numeric_limits<LONGLONG>::max());
    ULONGLONG base = 0;
    switch (origin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = current; break;
    case STREAM_SEEK_END: base = size; break;
    default: return STG_E_INVALIDFUNCTION;
    }
    LONGLONG target = 0;
    if (base > kMax || __builtin_add_overflow(static_cast<LONGLONG>(base), move, &target) || target < 0)
        return STG_E_INVALIDFUNCTION;
    result = static_cast<ULONGLONG>(target);
    return S_OK;
}

HRESULT FillStreamStat(STATSTG* stat, DWORD flags, ULONGLONG size, const char16_t* name)
{
    if (!stat)
        return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = size;
    if (name && !(flags & STATFLAG_NONAME)) {
        std::size_t bytes = (mvwin::WideLength(name) + 1) * sizeof(char16_t);
        auto* copy = static_cast<char16_t*>(CoTaskMemAlloc(bytes));
        if (!copy)
            return STG_E_INSUFFICIENTMEMORY;
        std::memcpy(copy, name, bytes);
        stat->pwcsName = copy;
    }
    return S_OK;
}

}  // namespace mvcom
