/* piecepaint: paints one composite picture into a device context.
 *
 * The three exports of the library. A host passes a device context, the
 * resource modules that hold the catalogue (RT_RCDATA 999), the piece bitmaps
 * and the badge (RT_RCDATA 29891), its option record and a list of extra
 * option codes; PaintPrt selects, lays out, composes and draws the picture and
 * returns a result code (PP_RESULT_*).
 */
#ifndef PIECEPAINT_PIECEPAINT_H
#define PIECEPAINT_PIECEPAINT_H

#include <stdint.h>

#include "piecepaint/version.h"

#ifdef _WIN32
#include <windows.h>
#ifdef PIECEPAINT_BUILDING
#define PIECEPAINT_API __declspec(dllexport)
#elif defined(PIECEPAINT_STATIC)
#define PIECEPAINT_API
#else
#define PIECEPAINT_API __declspec(dllimport)
#endif
#else
/* Off Windows the portable layer supplies opaque handles of the same names. */
typedef struct HDC__ *HDC;
typedef struct HINSTANCE__ *HMODULE;
#ifndef WINAPI
#define WINAPI
#endif
#define PIECEPAINT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The host's configuration: packed fields, list codes and selectors. */
typedef struct OptionRecord {
    uint32_t bits0;           /* P4..P0, flags 0x400/0x800, M0, F0..F5 */
    uint32_t bits1;           /* F6..F15 */
    uint32_t bits2;           /* F16..F19, M2 */
    uint16_t singleCode;      /* one list code, used when codeList is null or empty */
    const uint16_t *codeList; /* zero-terminated list codes, or null */
    uint16_t selector1;       /* translated through the 2-bit fields */
    uint16_t selector2;       /* translated through the 3-bit fields */
    int16_t extraFlag;        /* exactly 1 adds code 88 */
} OptionRecord;

/* Result codes of PaintPrt. */
enum {
    PP_RESULT_OK = 0,
    PP_RESULT_NOTHING_SELECTED = 1,
    PP_RESULT_NO_HEADER_MEMORY = 2,
    PP_RESULT_NO_PICTURE_MEMORY = 3,
    PP_RESULT_NOT_FOUND = 7,
    PP_RESULT_LOAD_FAILED = 8,
    PP_RESULT_NO_PIECE_MEMORY = 12,
    PP_RESULT_LOCK_FAILED = 14
};

/* Resource ids the library reads. */
enum { PP_CATALOGUE_ID = 999, PP_BADGE_ID = 29891 };

PIECEPAINT_API int WINAPI PaintPrt(HDC hdc, HMODULE resModule, HMODULE auxModule, int destLeft,
                                   int destTop, int destWidth, int destHeight, int availWidth,
                                   int availHeight, int showBadge, int levelRequest,
                                   int zoomPercent, const OptionRecord *options, int background,
                                   int brightness, const uint16_t *extraCodes);

/* Answers the palette messages 2, 15, 783 and 1025; every other message returns 0. */
PIECEPAINT_API int WINAPI ManagePal(HDC hdc, int flag, unsigned int message);

/* Does nothing. */
PIECEPAINT_API void WINAPI ShowPrtInit(void);

#ifdef __cplusplus
}
#endif

#endif
