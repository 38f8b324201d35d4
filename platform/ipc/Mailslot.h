// Mailslots: one process reads whole messages that others write, over a
// POSIX message queue. The reading side creates the slot and owns it: the
// slot's name is removed when its handle is closed, and a writer that opens
// it later fails. Writers never block: a message that does not fit (too
// large, or the queue full) is refused. Handles are closed with CloseHandle.
#pragma once

#include "platform/sync/Handle.h"

constexpr DWORD MAILSLOT_WAIT_FOREVER = 0xFFFFFFFFu;
constexpr DWORD MAILSLOT_NO_MESSAGE = 0xFFFFFFFFu;

// The reading end. `maxMessageSize` 0 takes the largest size the system
// allows; `readTimeout` in milliseconds, or MAILSLOT_WAIT_FOREVER.
// INVALID_HANDLE_VALUE when the name is taken or cannot be made.
HANDLE CreateMailslotA(LPCSTR name, DWORD maxMessageSize, DWORD readTimeout, LPSECURITY_ATTRIBUTES security);

// A writing end of an existing slot (what opening "\\.\mailslot\..." for
// writing with OPEN_EXISTING gives); INVALID_HANDLE_VALUE when none exists.
HANDLE OpenMailslotA(LPCSTR name);

// Writes one message of `size` bytes; *written is size on success, else 0.
// FALSE for a read handle, a message over the slot's size, a full queue.
BOOL WriteMailslot(HANDLE slot, LPCVOID buffer, DWORD size, DWORD* written);

// Reads the next message, waiting up to the slot's read timeout. FALSE when
// none came, or when `size` is too small for it (the message stays).
BOOL ReadMailslot(HANDLE slot, LPVOID buffer, DWORD size, DWORD* read);

// Any out-parameter may be null. nextSize is MAILSLOT_NO_MESSAGE when the
// slot is empty. Reading end only.
BOOL GetMailslotInfo(HANDLE slot, DWORD* maxMessageSize, DWORD* nextSize, DWORD* messageCount, DWORD* readTimeout);
