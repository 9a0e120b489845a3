/* A Windows host for piecepaint's DLL, used under Wine.
 *
 * It runs a script of device commands on 32-bit top-down DIB-section device
 * contexts and writes what each call returned and what each picture holds,
 * so the same script run on the portable layer can be compared with it.
 *
 *   pp_wine_host <piecepaint.dll> <script> <output folder>
 *
 * The DLL is reached through LoadLibrary and GetProcAddress; built with
 * PP_HOST_LINKED it is called through its import library instead.
 *
 * Script lines (tokens separated by spaces; '#' starts a comment line):
 *   picture <name> <width> <height> <0xRRGGBB fill>
 *   paint <res> <aux> <destLeft> <destTop> <destWidth> <destHeight> <availWidth>
 *         <availHeight> <showBadge> <levelRequest> <zoom> <background> <brightness>
 *         <options> <codeList> <extraCodes>
 *   mode <stretch mode>
 *   clip <left> <top> <right> <bottom>
 *   fill <left> <top> <right> <bottom> <colorref>
 *   frame <left> <top> <right> <bottom> <colorref> <width> <height>
 *   stretch <dx> <dy> <dw> <dh> <sx> <sy> <sw> <sh> <packed DIB file> <offset of the bits>
 *   caps <index> <mask>
 *   palette <0xRRGGBB>[:<0xRRGGBB>...]   (a logical palette, selected)
 *   pal <flag> <message>
 *   end
 * Modules are file names in the script's folder, or '-' for null; a name
 * starting with '+' is loaded as an image (LoadLibrary), any other as a data
 * file. <options> is '-' (null) or b0:b1:b2:single:selector1:selector2:extra;
 * <codeList> and <extraCodes> are '-' (null) or codes joined by ':' (the
 * terminating 0 is added). Every command outside a picture is refused.
 *
 * Output: results.txt, one line per command, "<picture> <command> <result>",
 * and <picture>.pix per picture: "PPX1", width, height (32-bit little-endian)
 * and the pixels as 0x00RRGGBB words, the top row first.
 */
#include <windows.h>

#include "piecepaint/piecepaint.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int(WINAPI *PaintPrtFn)(HDC, HMODULE, HMODULE, int, int, int, int, int, int, int, int, int,
                                const OptionRecord *, int, int, const uint16_t *);
typedef int(WINAPI *ManagePalFn)(HDC, int, unsigned int);
typedef void(WINAPI *ShowPrtInitFn)(void);

static PaintPrtFn paintPrt;
static ManagePalFn managePal;
static ShowPrtInitFn showPrtInit;

enum { MAX_TOKENS = 24, MAX_MODULES = 64, MAX_CODES = 256, MAX_PATH_CHARS = 1024 };

static char scriptFolder[MAX_PATH_CHARS];
static char outputFolder[MAX_PATH_CHARS];
static FILE *results;

struct Module {
    char name[MAX_PATH_CHARS];
    HMODULE handle;
};
static struct Module modules[MAX_MODULES];
static int moduleCount;

struct Picture {
    char name[256];
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    HPALETTE palette;
    uint32_t *pixels;
    int width;
    int height;
};
static struct Picture picture;

static void Join(char *out, const char *folder, const char *name)
{
    snprintf(out, MAX_PATH_CHARS, "%s\\%s", folder, name);
}

static HMODULE OpenModule(const char *token)
{
    int i;
    char path[MAX_PATH_CHARS];
    const char *name = token[0] == '+' ? token + 1 : token;
    HMODULE handle;
    if (strcmp(token, "-") == 0)
        return NULL;
    for (i = 0; i < moduleCount; ++i) {
        if (strcmp(modules[i].name, token) == 0)
            return modules[i].handle;
    }
    Join(path, scriptFolder, name);
    if (token[0] == '+')
        handle = LoadLibraryA(path);
    else
        handle = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (handle == NULL)
        fprintf(stderr, "cannot load %s (error %lu)\n", path, (unsigned long)GetLastError());
    if (moduleCount < MAX_MODULES) {
        snprintf(modules[moduleCount].name, MAX_PATH_CHARS, "%s", token);
        modules[moduleCount].handle = handle;
        ++moduleCount;
    }
    return handle;
}

/* Codes joined by ':' into list, zero-terminated; returns 0 for '-'. */
static int ParseCodes(const char *token, uint16_t *list)
{
    int n = 0;
    const char *p = token;
    if (strcmp(token, "-") == 0)
        return 0;
    while (*p != '\0' && n < MAX_CODES - 1) {
        char *end;
        list[n++] = (uint16_t)strtoul(p, &end, 0);
        p = *end == ':' ? end + 1 : end;
        if (end == p && *p != '\0')
            break;
    }
    list[n] = 0;
    return 1;
}

static int ParseOptions(const char *token, OptionRecord *options)
{
    unsigned long v[7] = {0, 0, 0, 0, 0, 0, 0};
    int i;
    const char *p = token;
    if (strcmp(token, "-") == 0)
        return 0;
    for (i = 0; i < 7 && *p != '\0'; ++i) {
        char *end;
        v[i] = strtoul(p, &end, 0);
        p = *end == ':' ? end + 1 : end;
    }
    memset(options, 0, sizeof *options);
    options->bits0 = (uint32_t)v[0];
    options->bits1 = (uint32_t)v[1];
    options->bits2 = (uint32_t)v[2];
    options->singleCode = (uint16_t)v[3];
    options->selector1 = (uint16_t)v[4];
    options->selector2 = (uint16_t)v[5];
    options->extraFlag = (int16_t)(long)v[6];
    return 1;
}

static int Int(const char *token)
{
    return (int)strtol(token, NULL, 0);
}

static int BeginPicture(char **t, int n)
{
    BITMAPINFO info;
    void *bits = NULL;
    uint32_t fill;
    int i;
    if (n != 5 || picture.dc != NULL)
        return -1;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Int(t[2]);
    info.bmiHeader.biHeight = -Int(t[3]); /* top-down */
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    picture.dc = CreateCompatibleDC(NULL);
    picture.bitmap = CreateDIBSection(picture.dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (picture.dc == NULL || picture.bitmap == NULL || bits == NULL)
        return -2;
    picture.previous = SelectObject(picture.dc, picture.bitmap);
    snprintf(picture.name, sizeof picture.name, "%s", t[1]);
    picture.pixels = (uint32_t *)bits;
    picture.width = Int(t[2]);
    picture.height = Int(t[3]);
    fill = (uint32_t)strtoul(t[4], NULL, 0);
    for (i = 0; i < picture.width * picture.height; ++i)
        picture.pixels[i] = fill;
    GdiFlush();
    return 1;
}

static int EndPicture(void)
{
    char path[MAX_PATH_CHARS];
    char file[300];
    FILE *out;
    uint32_t head[3];
    if (picture.dc == NULL)
        return -1;
    GdiFlush();
    snprintf(file, sizeof file, "%s.pix", picture.name);
    Join(path, outputFolder, file);
    out = fopen(path, "wb");
    if (out == NULL)
        return -2;
    memcpy(&head[0], "PPX1", 4);
    head[1] = (uint32_t)picture.width;
    head[2] = (uint32_t)picture.height;
    fwrite(head, sizeof head, 1, out);
    fwrite(picture.pixels, 4, (size_t)picture.width * (size_t)picture.height, out);
    fclose(out);
    SelectObject(picture.dc, picture.previous);
    if (picture.palette != NULL) {
        SelectPalette(picture.dc, (HPALETTE)GetStockObject(DEFAULT_PALETTE), FALSE);
        DeleteObject(picture.palette);
    }
    DeleteObject(picture.bitmap);
    DeleteDC(picture.dc);
    memset(&picture, 0, sizeof picture);
    return 1;
}

static int Paint(char **t, int n)
{
    OptionRecord options;
    uint16_t codeList[MAX_CODES];
    uint16_t extra[MAX_CODES];
    int hasOptions, hasExtra;
    HMODULE res, aux;
    if (n != 17)
        return -1;
    res = OpenModule(t[1]);
    aux = OpenModule(t[2]);
    hasOptions = ParseOptions(t[14], &options);
    if (hasOptions && ParseCodes(t[15], codeList))
        options.codeList = codeList;
    hasExtra = ParseCodes(t[16], extra);
    return paintPrt(picture.dc, res, aux, Int(t[3]), Int(t[4]), Int(t[5]), Int(t[6]), Int(t[7]),
                    Int(t[8]), Int(t[9]), Int(t[10]), Int(t[11]), hasOptions ? &options : NULL,
                    Int(t[12]), Int(t[13]), hasExtra ? extra : NULL);
}

static int Region(char **t, int n, int command)
{
    HRGN region;
    HBRUSH brush = NULL;
    int result = 0;
    if ((command == 'c' && n != 5) || (command == 'f' && n != 6) || (command == 'r' && n != 8))
        return -1;
    region = CreateRectRgn(Int(t[1]), Int(t[2]), Int(t[3]), Int(t[4]));
    if (command != 'c')
        brush = CreateSolidBrush((COLORREF)strtoul(t[5], NULL, 0));
    if (command == 'c')
        result = (int)(INT_PTR)SelectObject(picture.dc, region);
    else if (command == 'f')
        result = FillRgn(picture.dc, region, brush);
    else
        result = FrameRgn(picture.dc, region, brush, Int(t[6]), Int(t[7]));
    if (brush != NULL)
        DeleteObject(brush);
    DeleteObject(region);
    return result;
}

/* Colours joined by ':' into a logical palette selected in the picture's
 * device context; a later palette replaces it. */
static int SelectLogicalPalette(char **t, int n)
{
    struct {
        WORD version;
        WORD count;
        PALETTEENTRY entries[256];
    } log;
    const char *p;
    HPALETTE palette;
    if (n != 2)
        return -1;
    memset(&log, 0, sizeof log);
    log.version = 0x300;
    for (p = t[1]; *p != '\0' && log.count < 256;) {
        char *end;
        unsigned long rgb = strtoul(p, &end, 0);
        log.entries[log.count].peRed = (BYTE)(rgb >> 16);
        log.entries[log.count].peGreen = (BYTE)(rgb >> 8);
        log.entries[log.count].peBlue = (BYTE)rgb;
        ++log.count;
        if (end == p)
            break;
        p = *end == ':' ? end + 1 : end;
    }
    palette = CreatePalette((LOGPALETTE *)&log);
    if (palette == NULL || SelectPalette(picture.dc, palette, FALSE) == NULL)
        return 0;
    if (picture.palette != NULL)
        DeleteObject(picture.palette);
    picture.palette = palette;
    return 1;
}

static int Stretch(char **t, int n)
{
    char path[MAX_PATH_CHARS];
    FILE *in;
    long size;
    unsigned char *dib;
    int result;
    long offset;
    if (n != 11)
        return -1;
    Join(path, scriptFolder, t[9]);
    in = fopen(path, "rb");
    if (in == NULL)
        return -2;
    fseek(in, 0, SEEK_END);
    size = ftell(in);
    fseek(in, 0, SEEK_SET);
    dib = (unsigned char *)malloc((size_t)size + 16);
    if (dib == NULL || fread(dib, 1, (size_t)size, in) != (size_t)size) {
        fclose(in);
        free(dib);
        return -3;
    }
    fclose(in);
    offset = strtol(t[10], NULL, 0);
    if (offset < 0 || offset > size) {
        free(dib);
        return -4;
    }
    result = StretchDIBits(picture.dc, Int(t[1]), Int(t[2]), Int(t[3]), Int(t[4]), Int(t[5]),
                           Int(t[6]), Int(t[7]), Int(t[8]), dib + offset, (BITMAPINFO *)dib,
                           DIB_RGB_COLORS, SRCCOPY);
    free(dib);
    return result;
}

static int Run(char **t, int n)
{
    const char *c = t[0];
    if (strcmp(c, "picture") == 0)
        return BeginPicture(t, n);
    if (picture.dc == NULL)
        return -1;
    if (strcmp(c, "end") == 0)
        return EndPicture();
    if (strcmp(c, "paint") == 0)
        return Paint(t, n);
    if (strcmp(c, "mode") == 0 && n == 2)
        return SetStretchBltMode(picture.dc, Int(t[1]));
    if (strcmp(c, "clip") == 0)
        return Region(t, n, 'c');
    if (strcmp(c, "fill") == 0)
        return Region(t, n, 'f');
    if (strcmp(c, "frame") == 0)
        return Region(t, n, 'r');
    if (strcmp(c, "stretch") == 0)
        return Stretch(t, n);
    if (strcmp(c, "palette") == 0)
        return SelectLogicalPalette(t, n);
    if (strcmp(c, "caps") == 0 && n == 3)
        return GetDeviceCaps(picture.dc, Int(t[1])) & Int(t[2]);
    if (strcmp(c, "pal") == 0 && n == 3)
        return managePal(picture.dc, Int(t[1]), (unsigned int)strtoul(t[2], NULL, 0));
    return -1;
}

#if defined(__i386__)
/* Calls fn with count zero arguments and returns how many bytes of them the
 * callee took off the stack: 4 * count for a stdcall function, 0 for cdecl. */
int CalleePops(void *fn, int count);
__asm__(".globl _CalleePops\n"
        "_CalleePops:\n"
        "  pushl %ebp\n"
        "  movl %esp, %ebp\n"
        "  pushl %esi\n"
        "  movl %esp, %esi\n"
        "  movl 12(%ebp), %ecx\n"
        "1:\n"
        "  testl %ecx, %ecx\n"
        "  jz 2f\n"
        "  pushl $0\n"
        "  decl %ecx\n"
        "  jmp 1b\n"
        "2:\n"
        "  call *8(%ebp)\n"
        "  movl %esi, %eax\n"
        "  subl %esp, %eax\n"
        "  movl 12(%ebp), %ecx\n"
        "  shll $2, %ecx\n"
        "  subl %eax, %ecx\n"
        "  movl %ecx, %eax\n"
        "  movl %esi, %esp\n"
        "  popl %esi\n"
        "  popl %ebp\n"
        "  ret\n");

/* With every argument zero each export is harmless: PaintPrt finds no
 * catalogue in the null (the host's own) module, ManagePal ignores message 0. */
static void ReportCallingConvention(void)
{
    fprintf(results, "- stdcall-PaintPrt %d\n", CalleePops((void *)paintPrt, 16));
    fprintf(results, "- stdcall-ManagePal %d\n", CalleePops((void *)managePal, 3));
    fprintf(results, "- stdcall-ShowPrtInit %d\n", CalleePops((void *)showPrtInit, 0));
}
#else
static void ReportCallingConvention(void) {}
#endif

static int Bind(const char *dllPath)
{
#ifdef PP_HOST_LINKED
    (void)dllPath;
    paintPrt = PaintPrt;
    managePal = ManagePal;
    showPrtInit = ShowPrtInit;
    return 1;
#else
    HMODULE dll = LoadLibraryA(dllPath);
    if (dll == NULL) {
        fprintf(stderr, "cannot load %s (error %lu)\n", dllPath, (unsigned long)GetLastError());
        return 0;
    }
    paintPrt = (PaintPrtFn)(void *)GetProcAddress(dll, "PaintPrt");
    managePal = (ManagePalFn)(void *)GetProcAddress(dll, "ManagePal");
    showPrtInit = (ShowPrtInitFn)(void *)GetProcAddress(dll, "ShowPrtInit");
    if (paintPrt == NULL || managePal == NULL || showPrtInit == NULL) {
        fprintf(stderr, "%s lacks an export\n", dllPath);
        return 0;
    }
    return 1;
#endif
}

int main(int argc, char **argv)
{
    char path[MAX_PATH_CHARS];
    char line[4096];
    FILE *script;
    char *slash;
    if (argc != 4) {
        fprintf(stderr, "usage: %s <piecepaint.dll> <script> <output folder>\n", argv[0]);
        return 2;
    }
    if (!Bind(argv[1]))
        return 3;
    snprintf(scriptFolder, sizeof scriptFolder, "%s", argv[2]);
    slash = strrchr(scriptFolder, '\\');
    if (slash == NULL)
        slash = strrchr(scriptFolder, '/');
    if (slash != NULL)
        *slash = '\0';
    else
        snprintf(scriptFolder, sizeof scriptFolder, ".");
    snprintf(outputFolder, sizeof outputFolder, "%s", argv[3]);
    script = fopen(argv[2], "r");
    Join(path, outputFolder, "results.txt");
    results = fopen(path, "w");
    if (script == NULL || results == NULL) {
        fprintf(stderr, "cannot open the script or the results\n");
        return 4;
    }
    showPrtInit();
    ReportCallingConvention();
    while (fgets(line, sizeof line, script) != NULL) {
        char *tokens[MAX_TOKENS];
        int n = 0;
        char *p = strtok(line, " \t\r\n");
        while (p != NULL && n < MAX_TOKENS) {
            tokens[n++] = p;
            p = strtok(NULL, " \t\r\n");
        }
        if (n == 0 || tokens[0][0] == '#')
            continue;
        {
            char name[256];
            int result;
            snprintf(name, sizeof name, "%s", picture.dc != NULL ? picture.name : "-");
            result = Run(tokens, n);
            fprintf(results, "%s %s %d\n", strcmp(tokens[0], "picture") == 0 ? tokens[1] : name,
                    tokens[0], result);
        }
    }
    fclose(script);
    fclose(results);
    return 0;
}
