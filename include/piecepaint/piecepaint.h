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

/* The host's configuration: packed fields, list codes and selectors.
 *
 * Each small field that holds a value v other than 0 adds one option code
 * to the paint's code set (docs/host.md has the full table):
 *   field    word   first bit      width  values  code added
 *   F0..F5   bits0  14 + 3i        3      1..3    3i + v + 1
 *   F6..F15  bits1  3(i - 6)       3      4..7    4i + v + 589
 *   F16..F19 bits2  3(i - 16)      3
 *   P0..P4   bits0  8 - 2i         2      1..3    3i + v + 71
 *   M0       bits0  12             2      1, 2    70, 71 (3 adds nothing)
 *   M2       bits2  12             2      1, 2    87, 65 (3 adds nothing)
 *   flag     bits0  10 (0x400)     1      1       67
 *   flag     bits0  11 (0x800)     1      1       69
 * Bits not listed are never read. The fields also translate the list codes
 * and the two selectors (docs/host.md). */
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

/* Where each field of the option record lies. Words are numbered 0, 1, 2
 * for bits0, bits1, bits2. */
enum {
    PP_OPTION_F_COUNT = 20, /* F0..F19 */
    PP_OPTION_F_WIDTH = 3,
    PP_OPTION_P_COUNT = 5, /* P0..P4, all in bits0 */
    PP_OPTION_P_WIDTH = 2,
    PP_OPTION_M0_SHIFT = 12, /* in bits0 */
    PP_OPTION_M2_SHIFT = 12, /* in bits2 */
    PP_OPTION_M_WIDTH = 2
};
#define PP_OPTION_FLAG_400 0x400u /* bits0: adds code 67 */
#define PP_OPTION_FLAG_800 0x800u /* bits0: adds code 69 */

/* The word (0..2) and first bit of field Fi, i in 0..19. */
static inline int ppOptionFieldWord(int i)
{
    return i < 6 ? 0 : (i < 16 ? 1 : 2);
}
static inline int ppOptionFieldShift(int i)
{
    return i < 6 ? 14 + 3 * i : (i < 16 ? 3 * (i - 6) : 3 * (i - 16));
}
/* The first bit of pair field Pi in bits0, i in 0..4. */
static inline int ppOptionPairShift(int i)
{
    return 8 - 2 * i;
}

static inline uint32_t *ppOptionWord(OptionRecord *r, int word)
{
    return word == 0 ? &r->bits0 : (word == 1 ? &r->bits1 : &r->bits2);
}
static inline uint32_t ppOptionPut(uint32_t word, int shift, int width, uint32_t value)
{
    uint32_t mask = ((1u << width) - 1u) << shift;
    return (word & ~mask) | ((value << shift) & mask);
}
/* Set Fi (0..7), Pi (0..3), M0 or M2 (0..3); other fields are kept. */
static inline void ppOptionSetField(OptionRecord *r, int i, uint32_t value)
{
    uint32_t *w = ppOptionWord(r, ppOptionFieldWord(i));
    *w = ppOptionPut(*w, ppOptionFieldShift(i), PP_OPTION_F_WIDTH, value);
}
static inline void ppOptionSetPair(OptionRecord *r, int i, uint32_t value)
{
    r->bits0 = ppOptionPut(r->bits0, ppOptionPairShift(i), PP_OPTION_P_WIDTH, value);
}
static inline void ppOptionSetM0(OptionRecord *r, uint32_t value)
{
    r->bits0 = ppOptionPut(r->bits0, PP_OPTION_M0_SHIFT, PP_OPTION_M_WIDTH, value);
}
static inline void ppOptionSetM2(OptionRecord *r, uint32_t value)
{
    r->bits2 = ppOptionPut(r->bits2, PP_OPTION_M2_SHIFT, PP_OPTION_M_WIDTH, value);
}

/* Result codes of PaintPrt (ppResultText in host.h puts them in words). */
enum {
    PP_RESULT_OK = 0,                /* picture drawn */
    PP_RESULT_NOTHING_SELECTED = 1,  /* the configuration selects no piece; nothing drawn */
    PP_RESULT_NO_HEADER_MEMORY = 2,  /* picture header allocation failed; nothing drawn */
    PP_RESULT_NO_PICTURE_MEMORY = 3, /* picture allocation failed (or over ppSetLimits' bound) */
    PP_RESULT_NOT_FOUND = 7,         /* a resource is missing: see below */
    PP_RESULT_LOAD_FAILED = 8,       /* a resource failed to load or does not hold what it claims */
    PP_RESULT_NO_PIECE_MEMORY = 12,  /* piece record allocation failed; nothing drawn */
    PP_RESULT_LOCK_FAILED = 14       /* a resource failed to lock */
};
/* For 7, 8 and 14: the catalogue or a piece bitmap leaves nothing drawn;
 * the badge leaves everything drawn but the badge. */

/* Resource ids the library reads. */
enum { PP_CATALOGUE_ID = 999, PP_BADGE_ID = 29891 };

/* Paints one picture.
 *   hdc             the device context that receives it
 *   resModule       holds the catalogue (RT_RCDATA 999) and the piece bitmaps
 *   auxModule       holds the badge (29891) and the pieces marked to come
 *                   from it; may be the same module as resModule
 *   destLeft, destTop, destWidth, destHeight
 *                   the destination rectangle in device pixels; the picture
 *                   is centred in it, the rest filled with the background grey
 *   availWidth, availHeight
 *                   the space offered to the picture in pixels, the badge's
 *                   room included when it is shown: the layout's size limit
 *                   and the fit mode's target
 *   showBadge       0 or not: only zero or non-zero matters
 *   levelRequest    0: the largest size level that fits availWidth x
 *                   availHeight is chosen and the picture fitted to it;
 *                   r in 1..5 fixes size level 5 - r (1 gives 4, 5 gives 0)
 *                   and makes zoomPercent apply
 *   zoomPercent     zoom in percent with a non-zero levelRequest; 0 is
 *                   natural size; ignored when levelRequest is 0
 *   options         the option record, or null for none
 *   background      only the low 8 bits are read: the grey level of the
 *                   surrounding fill and, in a 256-colour picture, the
 *                   palette index of its background
 *   brightness      offset added by the brightness adjustment, when the
 *                   catalogue asks for it
 *   extraCodes      option codes added before the record is decoded, ended
 *                   by 0; may be null
 * Returns a PP_RESULT_* code. */
PIECEPAINT_API int WINAPI PaintPrt(HDC hdc, HMODULE resModule, HMODULE auxModule, int destLeft,
                                   int destTop, int destWidth, int destHeight, int availWidth,
                                   int availHeight, int showBadge, int levelRequest,
                                   int zoomPercent, const OptionRecord *options, int background,
                                   int brightness, const uint16_t *extraCodes);

/* Answers a window's palette messages with the library's one 256-entry
 * palette, kept process-wide from the first 783 or 1025 until 2:
 *   783 (WM_QUERYNEWPALETTE), 1025 (WM_USER + 1)
 *        build the palette if there is none, realise it on hdc and select
 *        the previous palette back (as a background palette); return the
 *        number of entries mapped. 1025 selects the palette as a
 *        background palette, 783 in the foreground.
 *   15 (WM_PAINT)
 *        flag 0: select the palette into hdc as a background palette and
 *        realise it; flag non-zero: select the previous palette back.
 *        Returns 0. PaintPrt sends both itself when the catalogue asks.
 *   2 (WM_DESTROY)
 *        select the previous palette back and delete the library's.
 *        Returns 0.
 * Every other message returns 0 and does nothing; so do 2 and 15 while no
 * palette exists. Only message 15 reads flag. */
PIECEPAINT_API int WINAPI ManagePal(HDC hdc, int flag, unsigned int message);

/* Does nothing. */
PIECEPAINT_API void WINAPI ShowPrtInit(void);

#ifdef __cplusplus
}
#endif

#endif
