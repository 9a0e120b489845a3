/* paint_sample: a host in a few lines. It opens the sample catalogue's two
 * resource modules, paints the house into a software device context and
 * writes the picture as a binary PPM.
 *
 *   paint_sample build/samples/house build/samples/house-aux house.ppm
 *
 * A module is a resource DLL or a directory of <id>.bin files.
 */
#include <piecepaint/host.h>
#include <piecepaint/piecepaint.h>

#include <stdio.h>

static int write_ppm(const char *path, HDC hdc)
{
    int width = 0, height = 0;
    const uint32_t *pixels = ppDCPixels(hdc, &width, &height);
    FILE *file = fopen(path, "wb");
    if (file == NULL)
        return 0;
    fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (long i = 0; i < (long)width * height; ++i) {
        unsigned char rgb[3] = {(unsigned char)(pixels[i] >> 16), (unsigned char)(pixels[i] >> 8),
                                (unsigned char)pixels[i]};
        fwrite(rgb, 1, 3, file);
    }
    return fclose(file) == 0;
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: paint_sample MODULE AUX-MODULE OUT.ppm\n");
        return 2;
    }
    HMODULE art = ppOpenModule(argv[1]); /* catalogue and piece bitmaps */
    HMODULE aux = ppOpenModule(argv[2]); /* badge and the 0x10 pieces */
    HDC hdc = ppCreateDC(PP_DEVICE_TRUECOLOR, 640, 480);
    int result = -1;
    if (art != NULL && aux != NULL && hdc != NULL) {
        OptionRecord options = {0};
        options.bits0 = 4u << 14 /* F0 = 4: blue roof */ | 1u << 8 /* P0 = 1: smoke */;
        uint16_t extra[] = {500, 0}; /* 500: the house */
        result = PaintPrt(hdc, art, aux, 0, 0, 640, 480, 640, 480, /*showBadge*/ 1,
                          /*levelRequest*/ 0, /*zoomPercent*/ 0, &options, /*background*/ 224,
                          /*brightness*/ 0, extra);
        printf("PaintPrt returned %d\n", result); /* 0: drawn */
        if (result == 0 && !write_ppm(argv[3], hdc))
            result = -1;
    }
    ppDeleteDC(hdc);
    ppCloseModule(aux);
    ppCloseModule(art);
    return result == 0 ? 0 : 1;
}
