// The image component's factory object: its library, the library's factory query
// entry and the factory it answered.
#pragma once

#include <cstdint>

#include "platform/WinTypes.h"

#define TQIMG_EXPORT_QUERYFACTORY "pclQueryIMGFactory"

// Reference-counted interface; its third operation releases a reference.
class IIMGFactory {
public:
    virtual int32_t nQueryInterface(const void *pIdentifiant, void **ppObjet) = 0;
    virtual uint32_t dwAddRef() = 0;
    virtual uint32_t dwRelease() = 0;

protected:
    ~IIMGFactory() = default; // released, never deleted
};

extern "C" typedef IIMGFactory *(*PFN_QUERYIMGFACTORY)(void);

extern HINSTANCE ghIMGInstance;
extern PFN_QUERYIMGFACTORY gpclQueryIMGFactory;
extern IIMGFactory *gpclIMGFactory;

// Takes the library (its handle is closed by IMG_bRelease) and asks it for its
// factory; false, with the library closed, when it has none. A second call
// releases the first factory (and closes the first library when it differs).
bool IMG_bInit(HINSTANCE hLibrairie);
// Releases the factory and closes the library; false (handle kept) when closing fails.
bool IMG_bRelease();
