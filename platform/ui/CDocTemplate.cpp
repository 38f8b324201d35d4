#include "platform/ui/CDocTemplate.h"

BOOL CDocTemplate::GetDocString(CString& out, DocStringIndex index) const
{
    switch (index) {
    case filterName: out = m_filterName; return !out.IsEmpty();
    case filterExt: out = m_filterExt; return !out.IsEmpty();
    default: out = ""; return FALSE;
    }
}
