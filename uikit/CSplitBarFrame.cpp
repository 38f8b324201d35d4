#include "uikit/CSplitBarFrame.h"

BOOL CSplitBarFrame::OnCreateClient(CREATESTRUCT*, CCreateContext*)
{
    return TRUE;
}
