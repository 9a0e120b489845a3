/* piecepaint portable host API.
 *
 * Off Windows the library carries its own stand-in for the KERNEL32 resource
 * functions and the GDI32 device calls it uses. A host opens its resource
 * modules and creates device contexts through these functions and passes the
 * handles to PaintPrt and ManagePal exactly as a Windows host would pass
 * module and device-context handles.
 */
#ifndef PIECEPAINT_HOST_H
#define PIECEPAINT_HOST_H

#include "piecepaint/piecepaint.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opens a resource module: a PE image (DLL or EXE, 32- or 64-bit) whose
 * RT_RCDATA resources have integer ids, or a directory of files named
 * <decimal id>.bin. Returns null when the path cannot be read or is not a
 * well-formed module. */
PIECEPAINT_API HMODULE ppOpenModule(const char *path);

/* Closes a module opened with ppOpenModule; null is ignored. */
PIECEPAINT_API void ppCloseModule(HMODULE module);

#ifdef __cplusplus
}
#endif

#endif
