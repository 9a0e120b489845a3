// The process-wide set of 16-bit option codes that one paint builds up.
#ifndef PIECEPAINT_SELECT_CODESET_H
#define PIECEPAINT_SELECT_CODESET_H

#include <cstdint>

enum : int32_t {
    CODESET_CREATE = 1,
    CODESET_ADD = 2,
    CODESET_RELEASE = 5,
    CODESET_GET = 7,
    CODESET_REMOVE = 9
};

struct CodeSet {
    uint16_t *codes;  // zero-terminated; null while no set exists
    int32_t count;    // codes stored
    uint16_t *end;    // where the next code goes
    int32_t capacity; // entries in the buffer
};

// Performs one operation and returns the codes buffer afterwards.
uint16_t *CodeSetOp(int32_t operation, int32_t code);
uint16_t *AddCode(int32_t code);
// 1 when the low 16 bits of code occur in list before its terminator.
int32_t HasCode(const uint16_t *list, int32_t code);

// Read-only view of the set's state, for tests and diagnostics.
const CodeSet *CodeSetState();

#endif
