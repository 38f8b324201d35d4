#include "engine/hosting/CDragAndDropClipboard.h"

CDragAndDropClipboard::~CDragAndDropClipboard() = default;
