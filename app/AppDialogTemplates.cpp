#include "app/AppDialogTemplates.h"

#include "platform/ui/DialogTemplateText.h"

extern const char g_MorvaneDialogs[];

namespace mvapp {

bool LoadAppDialogTemplates(CString* error)
{
    static CString failure;
    static const bool loaded = mvui::LoadDialogTemplates(g_MorvaneDialogs, failure);
    if (error)
        *error = failure;
    return loaded;
}

}  // namespace mvapp
