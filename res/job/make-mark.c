/* Draws the default job's watermark, mark.png: a translucent dark pill with soft, blurred
 * edges and the word "Tessmark" in white with a soft glow.
 * Build and run: cc -O2 -o make-mark make-mark.c $(pkg-config --cflags --libs cairo) -lm
 *                ./make-mark mark.png */
#include <cairo.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kWidth = 320, kHeight = 110, kBlurRadius = 4, kBlurPasses = 3 };

/* Three box blurs approximate a Gaussian; premultiplied pixels blur channel by channel. */
static void BoxBlur(unsigned char* pixels, int stride, int width, int height, int radius)
{
    unsigned char* copy = malloc((size_t)stride * height);
    for (int pass = 0; pass < 2; ++pass) {
        memcpy(copy, pixels, (size_t)stride * height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                for (int c = 0; c < 4; ++c) {
                    int sum = 0, count = 0;
                    for (int d = -radius; d <= radius; ++d) {
                        int sx = pass == 0 ? x + d : x;
                        int sy = pass == 0 ? y : y + d;
                        if (sx < 0 || sy < 0 || sx >= width || sy >= height)
                            continue;
                        sum += copy[sy * stride + sx * 4 + c];
                        ++count;
                    }
                    pixels[y * stride + x * 4 + c] = (unsigned char)((sum + count / 2) / count);
                }
            }
        }
    }
    free(copy);
}

static void Pill(cairo_t* cr, double x, double y, double w, double h)
{
    double r = h / 2;
    cairo_new_path(cr);
    cairo_arc(cr, x + r, y + r, r, M_PI / 2, 3 * M_PI / 2);
    cairo_arc(cr, x + w - r, y + r, r, 3 * M_PI / 2, M_PI / 2);
    cairo_close_path(cr);
}

static void Word(cairo_t* cr)
{
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 46);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, "Tessmark", &extents);
    cairo_move_to(cr, (kWidth - extents.width) / 2 - extents.x_bearing,
                  (kHeight - extents.height) / 2 - extents.y_bearing);
    cairo_show_text(cr, "Tessmark");
}

int main(int argc, char** argv)
{
    const char* out = argc > 1 ? argv[1] : "mark.png";

    /* Layer 1: the pill, blurred so its edge fades out over several pixels. */
    cairo_surface_t* base = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cr = cairo_create(base);
    Pill(cr, 14, 14, kWidth - 28, kHeight - 28);
    cairo_set_source_rgba(cr, 0.05, 0.08, 0.15, 0.55);
    cairo_fill(cr);
    /* The glow behind the word. */
    cairo_set_source_rgba(cr, 1, 1, 1, 0.6);
    Word(cr);
    cairo_surface_flush(base);
    for (int i = 0; i < kBlurPasses; ++i)
        BoxBlur(cairo_image_surface_get_data(base), cairo_image_surface_get_stride(base), kWidth, kHeight, kBlurRadius);
    cairo_surface_mark_dirty(base);

    /* Layer 2: the crisp word on top. */
    cairo_set_source_rgba(cr, 1, 1, 1, 0.92);
    Word(cr);
    cairo_destroy(cr);

    cairo_status_t status = cairo_surface_write_to_png(base, out);
    cairo_surface_destroy(base);
    if (status != CAIRO_STATUS_SUCCESS) {
        fprintf(stderr, "make-mark: %s\n", cairo_status_to_string(status));
        return 1;
    }
    return 0;
}
