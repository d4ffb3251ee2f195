/* A C89 program on the installed library: deinterlaces the frames of an 8-bit
 * 4:2:0 YUV4MPEG2 file, each with the frames before and after it, and writes
 * them as raw planes (Y, Cb, Cr per frame).
 * Usage: c_client IN.y4m OUT.raw bottom|top METHOD [REGION.rect] [+|-L,T,R,B] */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wdeinterlace.h>

static int fail(const char* what, int status) {
  fprintf(stderr, "c_client: %s: %s\n", what, wdi_status_text(status));
  return 1;
}

/* Reads one line (without its end) into line; 0 at the end of the file. */
static int read_line(FILE* f, char* line, size_t size) {
  size_t n = 0;
  int c;
  while ((c = getc(f)) != EOF && c != '\n') {
    if (n + 1 < size) line[n++] = (char)c;
  }
  line[n] = '\0';
  return c != EOF || n > 0;
}

int main(int argc, char** argv) {
  FILE* in;
  FILE* out;
  char line[512];
  const char* tag;
  unsigned long w = 0, h = 0, cw, ch;
  size_t luma, chroma;
  unsigned char* frames[3]; /* before, this one, after */
  int have[3] = {0, 0, 0};
  unsigned char* result;
  const unsigned char* planes[3][3];
  unsigned char* swap;
  int i;
  unsigned char* planes_out[3];
  ptrdiff_t strides[3];
  wdi_stream* stream;
  int status;

  if (argc < 5) {
    fprintf(stderr, "usage: c_client IN.y4m OUT.raw bottom|top METHOD [REGION.rect] [RECT]\n");
    return 2;
  }
  in = fopen(argv[1], "rb");
  out = fopen(argv[2], "wb");
  if (in == NULL || out == NULL || !read_line(in, line, sizeof line)) return 2;
  for (tag = strchr(line, ' '); tag != NULL; tag = strchr(tag + 1, ' ')) {
    if (tag[1] == 'W') w = strtoul(tag + 2, NULL, 10);
    if (tag[1] == 'H') h = strtoul(tag + 2, NULL, 10);
  }
  cw = (w + 1) / 2;
  ch = (h + 1) / 2;
  luma = (size_t)w * h;
  chroma = (size_t)cw * ch;

  stream = wdi_create(w, h, &status);
  if (stream == NULL) return fail("create", status);
  status =
      wdi_set_kept_field(stream, strcmp(argv[3], "top") == 0 ? WDI_FIELD_TOP : WDI_FIELD_BOTTOM);
  if (status == WDI_OK) status = wdi_set_option(stream, WDI_OPTION_METHOD, atol(argv[4]));
  if (status != WDI_OK) return fail("options", status);
  if (argc > 5 && argv[5][0] != '\0') {
    status = wdi_load_region(stream, argv[5]);
    if (status != WDI_OK) return fail(argv[5], status);
  }
  if (argc > 6) {
    long e[4];
    if (sscanf(argv[6] + 1, "%ld,%ld,%ld,%ld", &e[0], &e[1], &e[2], &e[3]) != 4) return 2;
    status = wdi_add_rect(stream, argv[6][0] == '+', e[0], e[1], e[2], e[3]);
    if (status != WDI_OK) return fail(argv[6], status);
  }

  result = (unsigned char*)malloc(luma + 2 * chroma);
  if (result == NULL) return 2;
  for (i = 0; i < 3; ++i) {
    frames[i] = (unsigned char*)malloc(luma + 2 * chroma);
    if (frames[i] == NULL) return 2;
  }
  strides[0] = (ptrdiff_t)w;
  strides[1] = strides[2] = (ptrdiff_t)cw;
  planes_out[0] = result;
  planes_out[1] = result + luma;
  planes_out[2] = result + luma + chroma;
  /* The frame after is read before a frame is processed. */
  have[2] = read_line(in, line, sizeof line) &&
            fread(frames[2], 1, luma + 2 * chroma, in) == luma + 2 * chroma;
  for (;;) {
    swap = frames[0];
    frames[0] = frames[1];
    frames[1] = frames[2];
    frames[2] = swap;
    have[0] = have[1];
    have[1] = have[2];
    if (!have[1]) break;
    have[2] = read_line(in, line, sizeof line) &&
              fread(frames[2], 1, luma + 2 * chroma, in) == luma + 2 * chroma;
    for (i = 0; i < 3; ++i) {
      planes[i][0] = frames[i];
      planes[i][1] = frames[i] + luma;
      planes[i][2] = frames[i] + luma + chroma;
    }
    status = wdi_process_temporal(stream, have[0] ? planes[0] : NULL, have[0] ? strides : NULL,
                                  planes[1], strides, have[2] ? planes[2] : NULL,
                                  have[2] ? strides : NULL, planes_out, strides);
    if (status != WDI_OK) return fail("process", status);
    if (fwrite(result, 1, luma + 2 * chroma, out) != luma + 2 * chroma) return 2;
  }
  wdi_destroy(stream);
  for (i = 0; i < 3; ++i) free(frames[i]);
  free(result);
  fclose(in);
  return fclose(out) == 0 ? 0 : 2;
}
