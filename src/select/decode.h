// Turns the host's OptionRecord into option codes in the code set.
#ifndef PIECEPAINT_SELECT_DECODE_H
#define PIECEPAINT_SELECT_DECODE_H

#include "piecepaint/piecepaint.h"

#include <cstdint>

void DecodeOptions(const OptionRecord *options);

// values: F0..F19 (or P0..P4) as small integers.
int32_t TranslateRangeHigh(uint16_t listCode, const uint8_t *values, int32_t start, int32_t length,
                           int32_t multiplier, int32_t base, int32_t threshold);
int32_t TranslateRange(uint16_t listCode, const uint8_t *values, int32_t start, int32_t length,
                       int32_t multiplier, int32_t base);

#endif
