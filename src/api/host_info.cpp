// The library's version and the words for its result codes.
#include "piecepaint/host.h"

extern "C" const char *ppVersion(void)
{
    return PIECEPAINT_VERSION_STRING;
}

extern "C" const char *ppResultText(int result)
{
    switch (result) {
    case PP_RESULT_OK:
        return "picture drawn";
    case PP_RESULT_NOTHING_SELECTED:
        return "the configuration selects no piece; nothing drawn";
    case PP_RESULT_NO_HEADER_MEMORY:
        return "out of memory for the picture header; nothing drawn";
    case PP_RESULT_NO_PICTURE_MEMORY:
        return "out of memory for the picture; nothing drawn";
    case PP_RESULT_NOT_FOUND:
        return "a resource was not found (the catalogue or a piece: nothing drawn; the badge: "
               "everything else drawn)";
    case PP_RESULT_LOAD_FAILED:
        return "a resource could not be loaded, or does not hold what it claims (the catalogue "
               "or a piece: nothing drawn; the badge: everything else drawn)";
    case PP_RESULT_NO_PIECE_MEMORY:
        return "out of memory for the piece records; nothing drawn";
    case PP_RESULT_LOCK_FAILED:
        return "a resource could not be locked (the catalogue or a piece: nothing drawn; the "
               "badge: everything else drawn)";
    default:
        return "unknown result";
    }
}
