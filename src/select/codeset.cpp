#include "select/codeset.h"

#include "imageops/buffers.h"

namespace {

// Buffers grow in steps of this many entries; the last entry always stays 0.
constexpr int32_t kGrowEntries = 100;

CodeSet theSet = {nullptr, 0, nullptr, 0};

uint16_t *AllocEntries(int32_t entries)
{
    return static_cast<uint16_t *>(
        AllocBuf(static_cast<uint32_t>(entries) * sizeof(uint16_t), 1, 0));
}

void ClearState()
{
    theSet.codes = nullptr;
    theSet.end = nullptr;
    theSet.count = 0;
    theSet.capacity = 0;
}

uint16_t *ReleaseSet()
{
    if (theSet.codes == nullptr)
        return nullptr;
    FreeBuf(theSet.codes);
    ClearState();
    return nullptr;
}

uint16_t *CreateSet()
{
    // A set left over from an earlier paint would otherwise be lost.
    ReleaseSet();
    theSet.count = 0;
    theSet.capacity = kGrowEntries;
    theSet.codes = AllocEntries(kGrowEntries);
    theSet.end = theSet.codes;
    if (theSet.codes == nullptr)
        ClearState();
    return theSet.codes;
}

uint16_t *GrowAndAdd(uint16_t code)
{
    int32_t capacity = theSet.capacity + kGrowEntries;
    uint16_t *grown = AllocEntries(capacity);
    if (grown == nullptr)
        return theSet.codes; // the code is dropped; the set stays as it was
    // Entries behind count are always 0, so count bounds the copy as well.
    int32_t kept = 0;
    while (kept < theSet.count && theSet.codes[kept] != 0) {
        grown[kept] = theSet.codes[kept];
        ++kept;
    }
    grown[kept] = code;
    FreeBuf(theSet.codes);
    theSet.codes = grown;
    theSet.end = grown + kept + 1;
    theSet.capacity = capacity;
    theSet.count += 1;
    return theSet.codes;
}

uint16_t *AddToSet(uint16_t code)
{
    // A set whose creation failed has no buffer and stays empty.
    if (theSet.codes == nullptr)
        return nullptr;
    if (theSet.count < theSet.capacity - 1) {
        *theSet.end = code;
        ++theSet.end;
        ++theSet.count;
        return theSet.codes;
    }
    return GrowAndAdd(code);
}

uint16_t *RemoveFromSet(uint16_t code)
{
    if (theSet.codes == nullptr)
        return nullptr;
    int32_t out = 0;
    for (int32_t in = 0; in < theSet.count; ++in) {
        if (theSet.codes[in] != code)
            theSet.codes[out++] = theSet.codes[in];
    }
    if (out == theSet.count)
        return theSet.codes;
    while (theSet.count > out) {
        --theSet.count;
        theSet.codes[theSet.count] = 0;
    }
    theSet.end = theSet.codes + out;
    return theSet.codes;
}

} // namespace

uint16_t *CodeSetOp(int32_t operation, int32_t code)
{
    uint16_t low = static_cast<uint16_t>(code);
    switch (operation) {
    case CODESET_CREATE:
        return CreateSet();
    case CODESET_ADD:
        return AddToSet(low);
    case CODESET_RELEASE:
        return ReleaseSet();
    case CODESET_REMOVE:
        return RemoveFromSet(low);
    default:
        return theSet.codes;
    }
}

uint16_t *AddCode(int32_t code)
{
    return CodeSetOp(CODESET_ADD, code);
}

int32_t HasCode(const uint16_t *list, int32_t code)
{
    if (list == nullptr)
        return 0;
    uint16_t low = static_cast<uint16_t>(code);
    for (; *list != 0; ++list) {
        if (*list == low)
            return 1;
    }
    return 0;
}

const CodeSet *CodeSetState()
{
    return &theSet;
}
