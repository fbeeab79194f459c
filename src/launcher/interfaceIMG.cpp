// The image component's factory object.
#include "launcher/interfaceIMG.h"
#include "launcher/TQExternSymbole.h"

#include <dlfcn.h>

#include <cstring>

HINSTANCE ghIMGInstance = nullptr;
PFN_QUERYIMGFACTORY gpclQueryIMGFactory = nullptr;
IIMGFactory *gpclIMGFactory = nullptr;

namespace {

void LibereFabrique()
{
    if (gpclIMGFactory)
        gpclIMGFactory->dwRelease();
    gpclIMGFactory = nullptr;
}

void FermeLibrairie()
{
    if (ghIMGInstance)
        dlclose(ghIMGInstance);
    ghIMGInstance = nullptr;
    gpclQueryIMGFactory = nullptr;
}

} // namespace

bool IMG_bInit(HINSTANCE hLibrairie)
{
    LibereFabrique();
    if (ghIMGInstance && ghIMGInstance != hLibrairie)
        FermeLibrairie();
    ghIMGInstance = hLibrairie;
    gpclQueryIMGFactory = pfnExport<PFN_QUERYIMGFACTORY>(hLibrairie, TQIMG_EXPORT_QUERYFACTORY);
    if (gpclQueryIMGFactory)
        gpclIMGFactory = gpclQueryIMGFactory();
    if (!gpclIMGFactory) {
        FermeLibrairie();
        return false;
    }
    return true;
}

bool IMG_bRelease()
{
    LibereFabrique();
    if (ghIMGInstance) {
        if (dlclose(ghIMGInstance) != 0)
            return false;
        ghIMGInstance = nullptr;
        gpclQueryIMGFactory = nullptr;
    }
    return true;
}
