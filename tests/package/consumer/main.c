/* Paints nothing: a missing catalogue must give result 7 through the
 * installed headers and library. */
#include <piecepaint/host.h>
#include <piecepaint/piecepaint.h>

#include <stdio.h>

int main(void)
{
    HDC dc = ppCreateDC(PP_DEVICE_TRUECOLOR, 8, 8);
    int result = PaintPrt(dc, NULL, NULL, 0, 0, 8, 8, 8, 8, 0, 0, 0, NULL, 192, 0, NULL);
    ppDeleteDC(dc);
    ShowPrtInit();
    printf("result %d\n", result);
    return result == PP_RESULT_NOT_FOUND ? 0 : 1;
}
