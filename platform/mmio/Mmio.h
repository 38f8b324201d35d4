// RIFF file I/O with the multimedia calls' names, codes and structures, over
// stdio: open a file for reading, walk its chunks (descend into one, ascend
// out of it), read and seek. Only what the loop-clip reader calls; files are
// read, never written. A handle is used by one thread at a time.
//
// Chunk sizes are taken from the file as they stand: a caller that must not
// read past a chunk or the file compares the descriptor's offset and size
// with the end it trusts.
#pragma once

#include "platform/win/WinTypes.h"

using FOURCC = DWORD;
using MMRESULT = UINT;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d)
{
    return FOURCC(BYTE(a)) | FOURCC(BYTE(b)) << 8 | FOURCC(BYTE(c)) << 16 | FOURCC(BYTE(d)) << 24;
}

constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MMIOERR_BASE = 256;
constexpr MMRESULT MMIOERR_FILENOTFOUND = MMIOERR_BASE + 1;
constexpr MMRESULT MMIOERR_OUTOFMEMORY = MMIOERR_BASE + 2;
constexpr MMRESULT MMIOERR_CANNOTOPEN = MMIOERR_BASE + 3;
constexpr MMRESULT MMIOERR_CANNOTCLOSE = MMIOERR_BASE + 4;
constexpr MMRESULT MMIOERR_CANNOTREAD = MMIOERR_BASE + 5;
constexpr MMRESULT MMIOERR_CANNOTWRITE = MMIOERR_BASE + 6;
constexpr MMRESULT MMIOERR_CANNOTSEEK = MMIOERR_BASE + 7;
constexpr MMRESULT MMIOERR_CANNOTEXPAND = MMIOERR_BASE + 8;
constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = MMIOERR_BASE + 9;
constexpr MMRESULT MMIOERR_INVALIDFILE = MMIOERR_BASE + 16;

// Open flags: reading is the only mode; the I/O buffer is stdio's.
constexpr DWORD MMIO_READ = 0x00000000;
constexpr DWORD MMIO_ALLOCBUF = 0x00010000;

// Descend flags.
constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;
constexpr UINT MMIO_FINDLIST = 0x0040;

// Chunk descriptor flag: the chunk was written by this handle (never here).
constexpr DWORD MMIO_DIRTY = 0x10000000;

struct MMCKINFO {
    FOURCC ckid;
    DWORD cksize;
    FOURCC fccType;       // form or list type of a RIFF or LIST chunk
    DWORD dwDataOffset;   // file offset of the chunk's data
    DWORD dwFlags;
};

// The fields of the open record the reader uses: the error of a failed open.
struct MMIOINFO {
    DWORD dwFlags;
    UINT wErrorRet;
};

struct MmioFile;
using HMMIO = MmioFile*;

// Null on failure, with the reason in info->wErrorRet when info is given.
HMMIO mmioOpen(LPCSTR path, MMIOINFO* info, DWORD flags);
MMRESULT mmioClose(HMMIO h, UINT flags);

// Bytes read (fewer at the end of the file), -1 on an error.
LONG mmioRead(HMMIO h, char* buffer, LONG bytes);

// origin: SEEK_SET, SEEK_CUR or SEEK_END (the stdio values). The new offset,
// or -1 when the seek fails or the offset does not fit.
LONG mmioSeek(HMMIO h, LONG offset, int origin);

// Reads the chunk header at the current position (with MMIO_FINDCHUNK,
// MMIO_FINDRIFF or MMIO_FINDLIST: the first such chunk with ck->ckid, or
// with ck->fccType for RIFF and LIST, before the parent's end). The file is
// left at the chunk's data (after the form type of a RIFF or LIST chunk).
// MMIOERR_CHUNKNOTFOUND when the search ends without it.
MMRESULT mmioDescend(HMMIO h, MMCKINFO* ck, const MMCKINFO* parent, UINT flags);

// Seeks to the end of the chunk, past the pad byte of an odd size.
MMRESULT mmioAscend(HMMIO h, MMCKINFO* ck, UINT flags);
