/* option_record: builds an option record with the header's field helpers,
 * sets F0 = 4, P0 = 1 and the flag 0x800, and paints the sample with it.
 *
 *   option_record build/samples/house build/samples/house-aux
 *
 * F0 is three bits of bits0 from bit 14, P0 two bits from bit 8, and the
 * flag is bit 11; decoding turns them into the codes 593, 72 and 69, which
 * the catalogue's rules read. The same record packed by hand is
 *   bits0 = 4u << 14 | 1u << 8 | 0x800u.
 */
#include <piecepaint/host.h>
#include <piecepaint/piecepaint.h>

#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: option_record MODULE AUX-MODULE\n");
        return 2;
    }
    OptionRecord options = {0};
    ppOptionSetField(&options, 0, 4); /* F0 = 4 */
    ppOptionSetPair(&options, 0, 1);  /* P0 = 1 */
    options.bits0 |= PP_OPTION_FLAG_800;
    printf("bits0 0x%08x bits1 0x%08x bits2 0x%08x\n", (unsigned)options.bits0,
           (unsigned)options.bits1, (unsigned)options.bits2);
    if (options.bits0 != (4u << 14 | 1u << 8 | 0x800u)) {
        fprintf(stderr, "the helpers packed the record differently\n");
        return 1;
    }

    HMODULE art = ppOpenModule(argv[1]);
    HMODULE aux = ppOpenModule(argv[2]);
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, 320, 240);
    int result = -1;
    if (art != NULL && aux != NULL && hdc != NULL) {
        uint16_t extra[] = {500, 0}; /* ended by 0 */
        result =
            PaintPrt(hdc, art, aux, 0, 0, 320, 240, 320, 240, 0, 0, 0, &options, 224, 0, extra);
        printf("result %d: %s\n", result, ppResultText(result));
    }
    ppDeleteDC(hdc);
    ppCloseModule(aux);
    ppCloseModule(art);
    return result == PP_RESULT_OK ? 0 : 1;
}
