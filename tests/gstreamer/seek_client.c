/* Runs a raw I420 clip through `wdeinterlace` with the given properties,
 * plays it until frames from FIRST + 4 on have come out, then seeks
 * (flushing) back to frame FIRST and writes every buffer that reaches the
 * sink after the seek. The sink holds one buffer at a time, so the element
 * is at most a few frames ahead: a frame it kept over the flush would come
 * out again, inside the new segment.
 * Usage: seek_client IN.raw WIDTH HEIGHT FIRST OUT.raw "ELEMENT PROPERTIES" */
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  gchar* description;
  GstElement* pipeline;
  GstElement* sink;
  GstSample* sample;
  GError* error = NULL;
  FILE* out;
  int first;

  gst_init(&argc, &argv);
  if (argc != 7) {
    fprintf(stderr, "usage: seek_client IN.raw WIDTH HEIGHT FIRST OUT.raw PROPERTIES\n");
    return 2;
  }
  first = atoi(argv[4]);
  description = g_strdup_printf(
      "filesrc location=%s ! rawvideoparse format=i420 width=%s height=%s framerate=25/1 "
      "interlaced=true top-field-first=true ! wdeinterlace %s ! "
      "appsink name=sink sync=false max-buffers=1",
      argv[1], argv[2], argv[3], argv[6]);
  pipeline = gst_parse_launch(description, &error);
  g_free(description);
  if (pipeline == NULL) {
    fprintf(stderr, "seek_client: %s\n", error->message);
    return 2;
  }
  sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  out = fopen(argv[5], "wb");
  if (sink == NULL || out == NULL) return 2;
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  for (;;) {
    GstClockTime pts;
    sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    if (sample == NULL) {
      fprintf(stderr, "seek_client: the stream ended before frame %d\n", first + 4);
      return 1;
    }
    pts = GST_BUFFER_PTS(gst_sample_get_buffer(sample));
    gst_sample_unref(sample);
    if (GST_CLOCK_TIME_IS_VALID(pts) && pts >= (GstClockTime)(first + 4) * GST_SECOND / 25) break;
  }
  if (!gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                               (GstSeekFlags)(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                               (gint64)first * GST_SECOND / 25)) {
    fprintf(stderr, "seek_client: seek refused\n");
    return 1;
  }
  while ((sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) != NULL) {
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      fwrite(map.data, 1, map.size, out);
      gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  return fclose(out) == 0 ? 0 : 2;
}
