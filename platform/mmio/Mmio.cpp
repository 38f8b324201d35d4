#include "platform/mmio/Mmio.h"

#include <cstdio>
#include <new>

struct MmioFile {
    std::FILE* file = nullptr;
};

namespace {

DWORD ReadLe32(const unsigned char* p)
{
    return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}

bool SeekTo(HMMIO h, long long offset)
{
    return offset >= 0 && offset <= 0x7FFFFFFFLL && fseeko(h->file, off_t(offset), SEEK_SET) == 0;
}

}  // namespace

HMMIO mmioOpen(LPCSTR path, MMIOINFO* info, DWORD flags)
{
    auto fail = [info](UINT error) -> HMMIO {
        if (info) info->wErrorRet = error;
        return nullptr;
    };
    if (!path) return fail(MMIOERR_CANNOTOPEN);
    auto* h = new (std::nothrow) MmioFile;
    if (!h) return fail(MMIOERR_OUTOFMEMORY);
    h->file = std::fopen(path, "rb");
    if (!h->file) {
        delete h;
        return fail(MMIOERR_CANNOTOPEN);
    }
    if (info) info->wErrorRet = MMSYSERR_NOERROR;
    return h;
}

MMRESULT mmioClose(HMMIO h, UINT)
{
    if (!h) return MMSYSERR_INVALHANDLE;
    int rc = std::fclose(h->file);
    delete h;
    return rc == 0 ? MMSYSERR_NOERROR : MMIOERR_CANNOTCLOSE;
}

LONG mmioRead(HMMIO h, char* buffer, LONG bytes)
{
    if (!h || bytes < 0 || (bytes > 0 && !buffer)) return -1;
    size_t got = std::fread(buffer, 1, size_t(bytes), h->file);
    if (got < size_t(bytes) && std::ferror(h->file)) return -1;
    return LONG(got);
}

LONG mmioSeek(HMMIO h, LONG offset, int origin)
{
    if (!h) return -1;
    if (fseeko(h->file, off_t(offset), origin) != 0) return -1;
    off_t at = ftello(h->file);
    if (at < 0 || at > 0x7FFFFFFF) return -1;
    return LONG(at);
}

MMRESULT mmioDescend(HMMIO h, MMCKINFO* ck, const MMCKINFO* parent, UINT flags)
{
    if (!h || !ck) return MMSYSERR_INVALPARAM;
    FOURCC wantId = ck->ckid;
    FOURCC wantType = ck->fccType;
    if (flags & MMIO_FINDRIFF) wantId = FOURCC_RIFF;
    if (flags & MMIO_FINDLIST) wantId = FOURCC_LIST;
    bool search = flags & (MMIO_FINDCHUNK | MMIO_FINDRIFF | MMIO_FINDLIST);
    // The search stops at the parent's end; a parent whose form type has
    // been read counts its size from its data offset like any chunk.
    long long limit = parent ? (long long)parent->dwDataOffset + parent->cksize : -1;

    for (;;) {
        off_t at = ftello(h->file);
        if (at < 0) return MMIOERR_CANNOTSEEK;
        if (limit >= 0 && (long long)at + 8 > limit) return MMIOERR_CHUNKNOTFOUND;
        unsigned char header[12];
        if (std::fread(header, 1, 8, h->file) != 8) return MMIOERR_CHUNKNOTFOUND;
        MMCKINFO found{};
        found.ckid = ReadLe32(header);
        found.cksize = ReadLe32(header + 4);
        if ((long long)at + 8 > 0x7FFFFFFFLL) return MMIOERR_CANNOTSEEK;
        found.dwDataOffset = DWORD(at + 8);
        bool hasType = found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST;
        if (hasType) {
            if (std::fread(header + 8, 1, 4, h->file) != 4) return MMIOERR_CHUNKNOTFOUND;
            found.fccType = ReadLe32(header + 8);
        }
        bool match = !search || (found.ckid == wantId &&
                                 (!(flags & (MMIO_FINDRIFF | MMIO_FINDLIST)) || found.fccType == wantType));
        if (match) {
            *ck = found;
            return MMSYSERR_NOERROR;
        }
        long long next = (long long)found.dwDataOffset + found.cksize + (found.cksize & 1);
        if (!SeekTo(h, next)) return MMIOERR_CHUNKNOTFOUND;
    }
}

MMRESULT mmioAscend(HMMIO h, MMCKINFO* ck, UINT)
{
    if (!h || !ck) return MMSYSERR_INVALPARAM;
    long long end = (long long)ck->dwDataOffset + ck->cksize + (ck->cksize & 1);
    return SeekTo(h, end) ? MMSYSERR_NOERROR : MMIOERR_CANNOTSEEK;
}
