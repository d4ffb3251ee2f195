/* A C89 program on the installed library: deinterlaces the frames of an 8-bit
 * 4:2:0 YUV4MPEG2 file and writes them as raw planes (Y, Cb, Cr per frame).
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
  unsigned char* frame;
  unsigned char* result;
  const unsigned char* planes_in[3];
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

  frame = (unsigned char*)malloc(luma + 2 * chroma);
  result = (unsigned char*)malloc(luma + 2 * chroma);
  if (frame == NULL || result == NULL) return 2;
  strides[0] = (ptrdiff_t)w;
  strides[1] = strides[2] = (ptrdiff_t)cw;
  planes_in[0] = frame;
  planes_in[1] = frame + luma;
  planes_in[2] = frame + luma + chroma;
  planes_out[0] = result;
  planes_out[1] = result + luma;
  planes_out[2] = result + luma + chroma;
  while (read_line(in, line, sizeof line)) {
    if (fread(frame, 1, luma + 2 * chroma, in) != luma + 2 * chroma) return 2;
    status = wdi_process(stream, planes_in, strides, planes_out, strides);
    if (status != WDI_OK) return fail("process", status);
    if (fwrite(result, 1, luma + 2 * chroma, out) != luma + 2 * chroma) return 2;
  }
  wdi_destroy(stream);
  free(frame);
  free(result);
  fclose(in);
  return fclose(out) == 0 ? 0 : 2;
}
