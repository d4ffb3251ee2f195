/* wdeinterlace: a deinterlacing filter for planar 8-bit 4:2:0 video.
 *
 * One stream (wdi_stream) deinterlaces pictures of one size, one at a time:
 * it keeps one field of each picture as it is and rebuilds the other. Streams
 * share nothing, so any number of them may be used at once, each from its own
 * thread; one stream must not be used from two threads at the same time.
 * Everything a stream needs is allocated by wdi_create; wdi_process allocates
 * nothing. Every function returns a status (WDI_OK or a negative WDI_ERR_*)
 * unless it says otherwise; wdi_status_text describes each.
 *
 * Plain C89; usable from C++. */
#ifndef WDEINTERLACE_H
#define WDEINTERLACE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WDI_OK 0
#define WDI_ERR_INVALID_ARGUMENT (-1) /* a null pointer, an unknown option or value */
#define WDI_ERR_BAD_SIZE (-2)         /* a side outside 1..16384 */
#define WDI_ERR_NO_MEMORY (-3)
#define WDI_ERR_RECT_REFUSED (-4)        /* negative or inverted edges, or a single pixel */
#define WDI_ERR_REGION_FILE_OPEN (-5)    /* the region file cannot be opened */
#define WDI_ERR_REGION_FILE_INVALID (-6) /* not a region file the filter takes */
#define WDI_ERR_INTERNAL (-7)

/* Options (wdi_set_option). Defaults in brackets. */
/* 0 none, 1 only even rows, 2 simple interpolation, 3 area based interpolation, 4 area based
 * motion estimation, 5 advanced, 6 temporal area based (reads the pictures before and after:
 * wdi_process_temporal) [4] */
#define WDI_OPTION_METHOD 0
#define WDI_OPTION_SEARCH_AREA 1              /* -2147483648..2147483647 [16] */
#define WDI_OPTION_DETECTION_THRESHOLD 2      /* 32-bit pattern [48] */
#define WDI_OPTION_BLOCK_DISTANCE_THRESHOLD 3 /* 32-bit pattern [8192] */
#define WDI_OPTION_REPLACEMENT_THRESHOLD 4    /* -2147483648..2147483647 [0] */
#define WDI_OPTION_REPLACE_ONLY_INTERLACED 5  /* 0 or 1 [0] */
#define WDI_OPTION_SEARCH_ON_INTERPOLATED 6   /* 0 or 1 [0] */

/* The field kept (wdi_set_kept_field). */
#define WDI_FIELD_BOTTOM 0 /* rows 1, 3, 5, ... kept (the default) */
#define WDI_FIELD_TOP 1    /* rows 0, 2, 4, ... kept */

/* Which field of a picture comes first in time (wdi_set_field_order); method 6
 * reads the fields nearest the kept one by it. */
#define WDI_TOP_FIELD_FIRST 0 /* the default */
#define WDI_BOTTOM_FIELD_FIRST 1

typedef struct wdi_stream wdi_stream;

/* The library's version, e.g. "1.0.0". */
const char* wdi_version(void);

/* A text for every status, e.g. "out of memory"; unknown codes get one too. */
const char* wdi_status_text(int status);

/* A stream for pictures of width x height luma pixels (each 1..16384), with
 * the default options, no region (every pixel processed) and the bottom field
 * kept. Returns NULL on failure and then stores the status in *status, when
 * status is not NULL (WDI_OK on success). */
wdi_stream* wdi_create(unsigned long width, unsigned long height, int* status);

/* Frees the stream; NULL is allowed. */
void wdi_destroy(wdi_stream* stream);

/* Sets one option. The two 32-bit-pattern thresholds take -2147483648 to
 * 4294967295 (a negative value and that value + 2^32 are the same pattern);
 * the detection threshold uses the low 16 bits of its half, so 65536 acts
 * like 0. */
int wdi_set_option(wdi_stream* stream, int option, long value);

/* Reads one option back into *value (thresholds as 0..4294967295). */
int wdi_get_option(const wdi_stream* stream, int option, long* value);

/* WDI_FIELD_BOTTOM or WDI_FIELD_TOP. */
int wdi_set_kept_field(wdi_stream* stream, int field);

/* WDI_TOP_FIELD_FIRST or WDI_BOTTOM_FIELD_FIRST. */
int wdi_set_field_order(wdi_stream* stream, int order);

/* The processing region: an ordered list of rectangles, edges inclusive, in
 * luma pixels from the top-left corner. A pixel takes the kind of the last
 * rectangle that contains it (include != 0: processed, 0: kept as it is);
 * pixels in none are processed. The region acts in 8x8 blocks, each decided
 * by its top-left pixel. */
int wdi_clear_region(wdi_stream* stream);
int wdi_add_rect(wdi_stream* stream, int include, long left, long top, long right, long bottom);
/* Replaces the region by the rectangles of a .rect file; on failure the
 * region stays as it was. */
int wdi_load_region(wdi_stream* stream, const char* path);

/* Deinterlaces one picture. in[0..2] and out[0..2] are the Y, Cb and Cr
 * planes (luma width x height, chroma (width+1)/2 x (height+1)/2 bytes), rows
 * in_stride[i] / out_stride[i] bytes apart (negative strides run bottom-up).
 * The output may not overlap the input. */
int wdi_process(wdi_stream* stream, const unsigned char* const in[3], const ptrdiff_t in_stride[3],
                unsigned char* const out[3], const ptrdiff_t out_stride[3]);

/* The same with the pictures before and after `in` in time (planes and strides as for `in`),
 * which method 6 reads; prev or next NULL (with its strides) where there is none: the
 * first and the last picture of a stream. Other methods ignore them. wdi_process is this
 * call with both NULL. */
int wdi_process_temporal(wdi_stream* stream, const unsigned char* const prev[3],
                         const ptrdiff_t prev_stride[3], const unsigned char* const in[3],
                         const ptrdiff_t in_stride[3], const unsigned char* const next[3],
                         const ptrdiff_t next_stride[3], unsigned char* const out[3],
                         const ptrdiff_t out_stride[3]);

#ifdef __cplusplus
}
#endif

#endif /* WDEINTERLACE_H */
