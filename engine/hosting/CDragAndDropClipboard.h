// The clipboard that carries patterns and effects while they are dragged
// between views: the edit clipboard's behaviour under its own instance, so
// a drag never disturbs what the user copied. UI thread only.
#pragma once

#include "engine/hosting/CClipboard.h"

class CDragAndDropClipboard : public CClipboard {
public:
    ~CDragAndDropClipboard() override;
};
