// Window classes registered on first use: the toolkit's self-drawn controls
// and bars each register theirs once, whoever creates the first window.
// UI thread only.
#pragma once

#include "platform/ui/CWnd.h"

// Registers the class unless one of that name exists; returns the name. The
// background is a system colour index + 1 (0 for none). A failed
// registration throws CResourceException.
const char* RegisterWindowClassOnce(const char* className, UINT classStyle, HCURSOR cursor,
                                    int background, void* icon = nullptr);
