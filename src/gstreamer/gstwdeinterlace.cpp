// libgstwdeinterlace.so: the `wdeinterlace` element. One core stream per
// element instance, remade when the picture size changes; planar 8-bit 4:2:0
// (I420, YV12) in, progressive out, one buffer per frame or one per field.
#include <gst/base/gstbasetransform.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "core/stream.h"

namespace {

using wdi::core::Field;
using wdi::core::Status;
using wdi::core::Stream;

// The meanings and nicks of GStreamer's own deinterlace element.
enum Mode { kModeAuto = 0, kModeInterlaced = 1, kModeDisabled = 2 };
enum Fields { kFieldsAll = 0, kFieldsTop = 1, kFieldsBottom = 2 };
enum Layout { kLayoutAuto = 0, kLayoutTff = 1, kLayoutBff = 2 };

enum Property {
  kPropMode = 1,
  kPropFields,
  kPropTff,
  kPropMethod,
  kPropSearchArea,
  kPropDetectionThreshold,
  kPropBlockDistanceThreshold,
  kPropReplacementThreshold,
  kPropReplaceOnlyInterlaced,
  kPropSearchOnInterpolated,
  kPropRegionFile,
};

}  // namespace

G_BEGIN_DECLS

struct GstWdeinterlace {
  GstBaseTransform parent;
  // Properties.
  gint mode;
  gint fields;
  gint tff;
  wdi::DeinterlaceParameters params;
  gchar* regionFile;
  bool regionChanged;  // region-file set since the stream last loaded it
  // The stream of the negotiated caps.
  Stream* stream;
  GstVideoInfo in;
  GstVideoInfo out;
  bool interlacedCaps;  // interleaved or mixed input
  // The buffer being turned into one or two outputs (generate_output).
  GstBuffer* pending;
  int emitted;
  // Method 6 reads a frame's neighbours: the frames before and after the
  // pending one, and the frame held back until the one after it arrives.
  GstBuffer* before;
  GstBuffer* after;
  GstBuffer* held;
};

struct GstWdeinterlaceClass {
  GstBaseTransformClass parent;
};

GType gst_wdeinterlace_get_type(void);

G_END_DECLS

G_DEFINE_TYPE(GstWdeinterlace, gst_wdeinterlace, GST_TYPE_BASE_TRANSFORM)

namespace {

GST_DEBUG_CATEGORY_STATIC(wdi_debug);
#define GST_CAT_DEFAULT wdi_debug

#define WDI_CAPS                                    \
  "video/x-raw, format = (string) { I420, YV12 }, " \
  "width = (int) [ 1, 16384 ], height = (int) [ 1, 16384 ], framerate = (fraction) [ 0, MAX ]"

GstStaticPadTemplate sinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(WDI_CAPS));
GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(WDI_CAPS));

GType modeType() {
  static GType type = 0;
  static const GEnumValue values[] = {
      {kModeAuto, "Auto detection (interleaved streams; in mixed ones the flagged buffers)",
       "auto"},
      {kModeInterlaced, "Force deinterlacing", "interlaced"},
      {kModeDisabled, "Run in passthrough mode", "disabled"},
      {0, nullptr, nullptr}};
  if (g_once_init_enter(&type))
    g_once_init_leave(&type, g_enum_register_static("GstWdeinterlaceModes", values));
  return type;
}

GType fieldsType() {
  static GType type = 0;
  static const GEnumValue values[] = {{kFieldsAll, "All fields (one frame per field)", "all"},
                                      {kFieldsTop, "Top field only", "top"},
                                      {kFieldsBottom, "Bottom field only", "bottom"},
                                      {0, nullptr, nullptr}};
  if (g_once_init_enter(&type))
    g_once_init_leave(&type, g_enum_register_static("GstWdeinterlaceFields", values));
  return type;
}

GType layoutType() {
  static GType type = 0;
  static const GEnumValue values[] = {{kLayoutAuto, "Auto detection", "auto"},
                                      {kLayoutTff, "Top field first", "tff"},
                                      {kLayoutBff, "Bottom field first", "bff"},
                                      {0, nullptr, nullptr}};
  if (g_once_init_enter(&type))
    g_once_init_leave(&type, g_enum_register_static("GstWdeinterlaceFieldLayout", values));
  return type;
}

GstWdeinterlace* self(gpointer p) { return reinterpret_cast<GstWdeinterlace*>(p); }

bool fieldRate(const GstWdeinterlace* s) { return s->fields == kFieldsAll; }

// Fills the stream's region from the property, on the streaming thread; false
// (with an element error) when the file does not load.
bool applyRegion(GstWdeinterlace* s) {
  GST_OBJECT_LOCK(s);
  std::string path = s->regionFile != nullptr ? s->regionFile : "";
  s->regionChanged = false;
  GST_OBJECT_UNLOCK(s);
  s->stream->clearRegion();
  if (path.empty()) return true;
  const Status status = s->stream->loadRegion(path.c_str());
  if (status == Status::Ok) return true;
  if (status == Status::RegionFileUnreadable) {
    GST_ELEMENT_ERROR(s, RESOURCE, OPEN_READ,
                      ("Could not open the region file \"%s\".", path.c_str()),
                      ("region-file: %s", g_strerror(errno)));
  } else {
    GST_ELEMENT_ERROR(s, RESOURCE, READ,
                      ("\"%s\" is not a region file this filter takes.", path.c_str()),
                      ("region-file: a .rect file of [[(left,top)-(right,bottom)]] sections"));
  }
  return false;
}

void gst_wdeinterlace_set_property(GObject* object, guint id, const GValue* value,
                                   GParamSpec* pspec) {
  GstWdeinterlace* s = self(object);
  GST_OBJECT_LOCK(s);
  switch (id) {
    case kPropMode:
      s->mode = g_value_get_enum(value);
      break;
    case kPropFields:
      s->fields = g_value_get_enum(value);
      break;
    case kPropTff:
      s->tff = g_value_get_enum(value);
      break;
    case kPropMethod:
      s->params.method = g_value_get_int(value);
      break;
    case kPropSearchArea:
      s->params.searchArea = g_value_get_int(value);
      break;
    case kPropDetectionThreshold:
      s->params.detectionThreshold = static_cast<int32_t>(g_value_get_uint(value));
      break;
    case kPropBlockDistanceThreshold:
      s->params.blockDistanceThreshold = static_cast<int32_t>(g_value_get_uint(value));
      break;
    case kPropReplacementThreshold:
      s->params.replacementThreshold = g_value_get_int(value);
      break;
    case kPropReplaceOnlyInterlaced:
      s->params.replaceOnlyInterlaced = g_value_get_boolean(value) ? 1 : 0;
      break;
    case kPropSearchOnInterpolated:
      s->params.searchOnInterpolated = g_value_get_boolean(value) ? 1 : 0;
      break;
    case kPropRegionFile:
      g_free(s->regionFile);
      s->regionFile = g_value_dup_string(value);
      s->regionChanged = true;  // loaded before the next frame
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
      break;
  }
  GST_OBJECT_UNLOCK(s);
  // The output caps depend on these.
  if (id == kPropMode || id == kPropFields)
    gst_base_transform_reconfigure_src(GST_BASE_TRANSFORM(s));
}

void gst_wdeinterlace_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  GstWdeinterlace* s = self(object);
  GST_OBJECT_LOCK(s);
  switch (id) {
    case kPropMode:
      g_value_set_enum(value, s->mode);
      break;
    case kPropFields:
      g_value_set_enum(value, s->fields);
      break;
    case kPropTff:
      g_value_set_enum(value, s->tff);
      break;
    case kPropMethod:
      g_value_set_int(value, s->params.method);
      break;
    case kPropSearchArea:
      g_value_set_int(value, s->params.searchArea);
      break;
    case kPropDetectionThreshold:
      g_value_set_uint(value,
                       static_cast<guint>(static_cast<uint32_t>(s->params.detectionThreshold)));
      break;
    case kPropBlockDistanceThreshold:
      g_value_set_uint(value,
                       static_cast<guint>(static_cast<uint32_t>(s->params.blockDistanceThreshold)));
      break;
    case kPropReplacementThreshold:
      g_value_set_int(value, s->params.replacementThreshold);
      break;
    case kPropReplaceOnlyInterlaced:
      g_value_set_boolean(value, s->params.replaceOnlyInterlaced != 0);
      break;
    case kPropSearchOnInterpolated:
      g_value_set_boolean(value, s->params.searchOnInterpolated != 0);
      break;
    case kPropRegionFile:
      g_value_set_string(value, s->regionFile);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
      break;
  }
  GST_OBJECT_UNLOCK(s);
}

void releaseStream(GstWdeinterlace* s) {
  delete s->stream;
  s->stream = nullptr;
}

// Drops every frame held, the one being split and those method 6 keeps (a
// flush, a stop, the end).
void dropHistory(GstWdeinterlace* s) {
  for (GstBuffer** b : {&s->pending, &s->before, &s->after, &s->held})
    gst_buffer_replace(b, nullptr);
}

void gst_wdeinterlace_finalize(GObject* object) {
  GstWdeinterlace* s = self(object);
  releaseStream(s);
  g_free(s->regionFile);
  dropHistory(s);
  G_OBJECT_CLASS(gst_wdeinterlace_parent_class)->finalize(object);
}

// Frame rate times num/den, left alone when unset or variable (0/1).
void scaleRate(GstStructure* st, gint num, gint den) {
  gint n, d;
  if (!gst_structure_get_fraction(st, "framerate", &n, &d) || n == 0) return;
  gint rn, rd;
  gst_util_fraction_multiply(n, d, num, den, &rn, &rd);
  gst_structure_set(st, "framerate", GST_TYPE_FRACTION, rn, rd, nullptr);
}

// Whether caps with this interlace mode are deinterlaced at all.
bool processesMode(const GstWdeinterlace* s, const gchar* interlaceMode) {
  if (s->mode == kModeDisabled) return false;
  if (s->mode == kModeInterlaced) return true;
  return interlaceMode != nullptr && (std::strcmp(interlaceMode, "interleaved") == 0 ||
                                      std::strcmp(interlaceMode, "mixed") == 0);
}

GstCaps* gst_wdeinterlace_transform_caps(GstBaseTransform* trans, GstPadDirection direction,
                                         GstCaps* caps, GstCaps* filter) {
  GstWdeinterlace* s = self(trans);
  GST_OBJECT_LOCK(s);
  const bool doubled = fieldRate(s);
  const gint mode = s->mode;
  GST_OBJECT_UNLOCK(s);
  GstCaps* result = gst_caps_new_empty();
  for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
    GstStructure* st = gst_structure_copy(gst_caps_get_structure(caps, i));
    if (direction == GST_PAD_SINK) {
      const gchar* im = gst_structure_get_string(st, "interlace-mode");
      // Passed-through caps stay as they are; others come out progressive.
      const bool processed = mode == kModeInterlaced || (mode == kModeAuto && im != nullptr &&
                                                         std::strcmp(im, "progressive") != 0);
      if (processed || im == nullptr) {
        GstStructure* progressive = gst_structure_copy(st);
        gst_structure_set(progressive, "interlace-mode", G_TYPE_STRING, "progressive", nullptr);
        gst_structure_remove_field(progressive, "field-order");
        if (doubled && mode != kModeDisabled) scaleRate(progressive, 2, 1);
        gst_caps_append_structure(result, progressive);
      }
      if (!processed) gst_caps_append_structure(result, gst_structure_copy(st));
      gst_structure_free(st);
    } else {
      // Upstream of progressive output: interlaced at the frame rate, or the same.
      GstStructure* same = gst_structure_copy(st);
      gst_structure_remove_field(st, "interlace-mode");
      gst_structure_remove_field(st, "field-order");
      if (doubled && mode != kModeDisabled) scaleRate(st, 1, 2);
      gst_caps_append_structure(result, st);
      gst_caps_append_structure(result, same);
    }
  }
  if (filter != nullptr) {
    GstCaps* both = gst_caps_intersect_full(filter, result, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(result);
    result = both;
  }
  return result;
}

gboolean gst_wdeinterlace_set_caps(GstBaseTransform* trans, GstCaps* incaps, GstCaps* outcaps) {
  GstWdeinterlace* s = self(trans);
  GstVideoInfo in, out;
  if (!gst_video_info_from_caps(&in, incaps) || !gst_video_info_from_caps(&out, outcaps)) {
    return FALSE;
  }
  const bool sizeChanged = s->stream == nullptr ||
                           GST_VIDEO_INFO_WIDTH(&in) != GST_VIDEO_INFO_WIDTH(&s->in) ||
                           GST_VIDEO_INFO_HEIGHT(&in) != GST_VIDEO_INFO_HEIGHT(&s->in);
  s->in = in;
  s->out = out;
  const GstVideoInterlaceMode im = GST_VIDEO_INFO_INTERLACE_MODE(&in);
  s->interlacedCaps =
      im == GST_VIDEO_INTERLACE_MODE_INTERLEAVED || im == GST_VIDEO_INTERLACE_MODE_MIXED;
  const gchar* modeName = gst_video_interlace_mode_to_string(im);
  const bool passthrough =
      !processesMode(s, modeName) || GST_VIDEO_INFO_FORMAT(&in) != GST_VIDEO_INFO_FORMAT(&out);
  if (passthrough) {
    gst_base_transform_set_passthrough(trans, TRUE);
    return TRUE;
  }
  gst_base_transform_set_passthrough(trans, FALSE);
  if (sizeChanged) {
    releaseStream(s);
    Status status = Status::Ok;
    s->stream =
        Stream::create(GST_VIDEO_INFO_WIDTH(&in), GST_VIDEO_INFO_HEIGHT(&in), &status).release();
    if (s->stream == nullptr) {
      GST_ELEMENT_ERROR(s, CORE, FAILED,
                        ("Cannot set up the deinterlacer for %dx%d pictures.",
                         GST_VIDEO_INFO_WIDTH(&in), GST_VIDEO_INFO_HEIGHT(&in)),
                        ("status %d", static_cast<int>(status)));
      return FALSE;
    }
    if (!applyRegion(s)) return FALSE;
  }
  return TRUE;
}

// Whether this buffer is deinterlaced, and which field comes first in it.
bool bufferIsProcessed(const GstWdeinterlace* s, GstBuffer* buffer) {
  if (s->mode == kModeInterlaced) return true;
  if (GST_VIDEO_INFO_INTERLACE_MODE(&s->in) == GST_VIDEO_INTERLACE_MODE_MIXED) {
    return GST_BUFFER_FLAG_IS_SET(buffer, GST_VIDEO_BUFFER_FLAG_INTERLACED);
  }
  return s->interlacedCaps;
}

bool topFieldFirst(const GstWdeinterlace* s, GstBuffer* buffer) {
  if (s->tff != kLayoutAuto) return s->tff == kLayoutTff;
  switch (GST_VIDEO_INFO_FIELD_ORDER(&s->in)) {
    case GST_VIDEO_FIELD_ORDER_TOP_FIELD_FIRST:
      return true;
    case GST_VIDEO_FIELD_ORDER_BOTTOM_FIELD_FIRST:
      return false;
    default:
      break;
  }
  // Buffer flags say the order of interlaced buffers; without any, top first.
  if (GST_BUFFER_FLAG_IS_SET(buffer, GST_VIDEO_BUFFER_FLAG_INTERLACED)) {
    return GST_BUFFER_FLAG_IS_SET(buffer, GST_VIDEO_BUFFER_FLAG_TFF);
  }
  return true;
}

bool temporal(GstWdeinterlace* s) {
  GST_OBJECT_LOCK(s);
  const bool on = s->params.method == wdi::core::kTemporalMethod;
  GST_OBJECT_UNLOCK(s);
  return on && !gst_base_transform_is_passthrough(GST_BASE_TRANSFORM(s));
}

// The pending buffer is done: with method 6 it becomes the frame before.
void finishPending(GstWdeinterlace* s) {
  if (s->held == nullptr && s->after != nullptr) {
    gst_buffer_replace(&s->before, s->pending);
    s->held = s->after;  // owned
    s->after = nullptr;
  } else {
    gst_buffer_replace(&s->before, nullptr);
  }
  gst_buffer_replace(&s->pending, nullptr);
}

GstFlowReturn gst_wdeinterlace_submit_input_buffer(GstBaseTransform* trans, gboolean,
                                                   GstBuffer* input) {
  GstWdeinterlace* s = self(trans);
  gst_buffer_replace(&s->pending, nullptr);
  s->emitted = 0;
  if (!temporal(s)) {
    dropHistory(s);
    s->pending = input;  // owned
    return GST_FLOW_OK;
  }
  // Held back until the next frame arrives; then the held one goes out.
  if (s->held == nullptr) {
    s->held = input;
    return GST_FLOW_OK;
  }
  s->pending = s->held;
  s->held = nullptr;
  gst_buffer_replace(&s->after, nullptr);
  s->after = input;
  return GST_FLOW_OK;
}

GstFlowReturn gst_wdeinterlace_generate_output(GstBaseTransform* trans, GstBuffer** outbuf) {
  GstWdeinterlace* s = self(trans);
  *outbuf = nullptr;
  GstBuffer* input = s->pending;
  if (input == nullptr) return GST_FLOW_OK;
  if (gst_base_transform_is_passthrough(trans)) {
    *outbuf = input;
    s->pending = nullptr;
    dropHistory(s);
    return GST_FLOW_OK;
  }
  GST_OBJECT_LOCK(s);
  const wdi::DeinterlaceParameters params = s->params;
  const gint fields = s->fields;
  const bool regionChanged = s->regionChanged;
  GST_OBJECT_UNLOCK(s);
  if (regionChanged && !applyRegion(s)) return GST_FLOW_ERROR;
  const int outputs = fields == kFieldsAll ? 2 : 1;
  if (s->emitted >= outputs) {
    finishPending(s);
    return GST_FLOW_OK;
  }
  const int k = s->emitted++;

  GstBuffer* out = nullptr;
  GstBufferPool* pool = gst_base_transform_get_buffer_pool(trans);
  GstFlowReturn ret = GST_FLOW_ERROR;
  if (pool != nullptr) {
    ret = gst_buffer_pool_acquire_buffer(pool, &out, nullptr);
    gst_object_unref(pool);
  }
  if (ret != GST_FLOW_OK) {
    out = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&s->out), nullptr);
    if (out == nullptr) return GST_FLOW_ERROR;
  }
  gst_buffer_copy_into(out, input, GST_BUFFER_COPY_METADATA, 0, static_cast<gsize>(-1));
  GST_BUFFER_FLAG_UNSET(out, GST_VIDEO_BUFFER_FLAG_INTERLACED);
  GST_BUFFER_FLAG_UNSET(out, GST_VIDEO_BUFFER_FLAG_TFF);
  GST_BUFFER_FLAG_UNSET(out, GST_VIDEO_BUFFER_FLAG_RFF);
  GST_BUFFER_FLAG_UNSET(out, GST_VIDEO_BUFFER_FLAG_ONEFIELD);
  if (outputs == 2) {
    // Each field's frame lasts half the input frame.
    GstClockTime duration = GST_BUFFER_DURATION(input);
    if (!GST_CLOCK_TIME_IS_VALID(duration) && GST_VIDEO_INFO_FPS_N(&s->in) > 0) {
      duration = gst_util_uint64_scale(GST_SECOND, GST_VIDEO_INFO_FPS_D(&s->in),
                                       GST_VIDEO_INFO_FPS_N(&s->in));
    }
    if (GST_CLOCK_TIME_IS_VALID(duration)) {
      GST_BUFFER_DURATION(out) = duration / 2;
      if (GST_BUFFER_PTS_IS_VALID(input))
        GST_BUFFER_PTS(out) = GST_BUFFER_PTS(input) + k * (duration / 2);
      if (k == 1) GST_BUFFER_DTS(out) = GST_CLOCK_TIME_NONE;
    }
    if (k == 1) GST_BUFFER_FLAG_UNSET(out, GST_BUFFER_FLAG_DISCONT);
  }

  GstVideoFrame inFrame, outFrame;
  if (!gst_video_frame_map(&inFrame, &s->in, input, GST_MAP_READ)) {
    gst_buffer_unref(out);
    return GST_FLOW_ERROR;
  }
  if (!gst_video_frame_map(&outFrame, &s->out, out, GST_MAP_WRITE)) {
    gst_video_frame_unmap(&inFrame);
    gst_buffer_unref(out);
    return GST_FLOW_ERROR;
  }
  if (!bufferIsProcessed(s, input)) {
    gst_video_frame_copy(&outFrame, &inFrame);  // strides of their own
  } else {
    const bool tff = topFieldFirst(s, input);
    Field kept = Field::Bottom;
    if (fields == kFieldsAll) {
      kept = (k == 0) == tff ? Field::Top : Field::Bottom;
    } else {
      kept = fields == kFieldsTop ? Field::Top : Field::Bottom;
    }
    s->stream->setParameters(params);
    s->stream->setKeptField(kept);
    s->stream->setTopFieldFirst(tff);
    wdi::core::InPlane planesIn[3], planesBefore[3], planesAfter[3];
    wdi::core::OutPlane planesOut[3];
    // Components 0, 1, 2 are Y, U (Cb), V (Cr) for I420 and YV12 alike.
    auto planesOf = [](const GstVideoFrame& f, wdi::core::InPlane planes[3]) {
      for (int c = 0; c < 3; ++c) {
        planes[c] = {static_cast<const uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(&f, c)),
                     GST_VIDEO_FRAME_COMP_STRIDE(&f, c)};
      }
    };
    planesOf(inFrame, planesIn);
    for (int c = 0; c < 3; ++c) {
      planesOut[c] = {static_cast<uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(&outFrame, c)),
                      GST_VIDEO_FRAME_COMP_STRIDE(&outFrame, c)};
    }
    GstVideoFrame beforeFrame, afterFrame;
    const bool haveBefore = params.method == wdi::core::kTemporalMethod && s->before != nullptr &&
                            gst_video_frame_map(&beforeFrame, &s->in, s->before, GST_MAP_READ);
    const bool haveAfter = params.method == wdi::core::kTemporalMethod && s->after != nullptr &&
                           gst_video_frame_map(&afterFrame, &s->in, s->after, GST_MAP_READ);
    if (haveBefore) planesOf(beforeFrame, planesBefore);
    if (haveAfter) planesOf(afterFrame, planesAfter);
    s->stream->process(planesIn, planesOut, haveBefore ? planesBefore : nullptr,
                       haveAfter ? planesAfter : nullptr);
    if (haveBefore) gst_video_frame_unmap(&beforeFrame);
    if (haveAfter) gst_video_frame_unmap(&afterFrame);
  }
  gst_video_frame_unmap(&outFrame);
  gst_video_frame_unmap(&inFrame);
  *outbuf = out;
  if (s->emitted >= outputs) finishPending(s);
  return GST_FLOW_OK;
}

// A region file that does not load stops the pipeline here, before any data
// flows, rather than in the middle of negotiation.
gboolean gst_wdeinterlace_start(GstBaseTransform* trans) {
  GstWdeinterlace* s = self(trans);
  std::unique_ptr<Stream> probe = Stream::create(16, 16, nullptr);
  if (probe == nullptr) return FALSE;
  Stream* kept = s->stream;
  s->stream = probe.get();
  const bool loaded = applyRegion(s);
  s->stream = kept;
  GST_OBJECT_LOCK(s);
  s->regionChanged = true;  // loaded again into the stream of the caps
  GST_OBJECT_UNLOCK(s);
  return loaded ? TRUE : FALSE;
}

gboolean gst_wdeinterlace_stop(GstBaseTransform* trans) {
  GstWdeinterlace* s = self(trans);
  dropHistory(s);
  releaseStream(s);
  return TRUE;
}

// The frame held back for method 6 goes out with no frame after it, before
// the end of the stream or new caps.
void drain(GstBaseTransform* trans) {
  GstWdeinterlace* s = self(trans);
  if (s->held == nullptr || s->pending != nullptr) return;
  s->pending = s->held;
  s->held = nullptr;
  gst_buffer_replace(&s->after, nullptr);
  s->emitted = 0;
  GstBuffer* out = nullptr;
  while (s->pending != nullptr && gst_wdeinterlace_generate_output(trans, &out) == GST_FLOW_OK) {
    if (out != nullptr && gst_pad_push(GST_BASE_TRANSFORM_SRC_PAD(trans), out) != GST_FLOW_OK)
      break;
    out = nullptr;
  }
  dropHistory(s);
}

gboolean gst_wdeinterlace_sink_event(GstBaseTransform* trans, GstEvent* event) {
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_FLUSH_STOP:
      // Nothing stale comes out after a flush.
      dropHistory(self(trans));
      break;
    case GST_EVENT_EOS:
    case GST_EVENT_CAPS:
      drain(trans);
      break;
    default:
      break;
  }
  return GST_BASE_TRANSFORM_CLASS(gst_wdeinterlace_parent_class)->sink_event(trans, event);
}

// Method 6 holds one frame back: that much latency on top of upstream's.
gboolean gst_wdeinterlace_query(GstBaseTransform* trans, GstPadDirection direction,
                                GstQuery* query) {
  const gboolean ok =
      GST_BASE_TRANSFORM_CLASS(gst_wdeinterlace_parent_class)->query(trans, direction, query);
  GstWdeinterlace* s = self(trans);
  if (ok && direction == GST_PAD_SRC && GST_QUERY_TYPE(query) == GST_QUERY_LATENCY && temporal(s) &&
      GST_VIDEO_INFO_FPS_N(&s->in) > 0) {
    gboolean live;
    GstClockTime min, max;
    gst_query_parse_latency(query, &live, &min, &max);
    const GstClockTime frame = gst_util_uint64_scale(GST_SECOND, GST_VIDEO_INFO_FPS_D(&s->in),
                                                     GST_VIDEO_INFO_FPS_N(&s->in));
    gst_query_set_latency(query, live, min + frame,
                          GST_CLOCK_TIME_IS_VALID(max) ? max + frame : max);
  }
  return ok;
}

}  // namespace

static void gst_wdeinterlace_class_init(GstWdeinterlaceClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  GstBaseTransformClass* trans = GST_BASE_TRANSFORM_CLASS(klass);
  object->set_property = gst_wdeinterlace_set_property;
  object->get_property = gst_wdeinterlace_get_property;
  object->finalize = gst_wdeinterlace_finalize;

  const auto rw = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
  const wdi::DeinterlaceParameters& d = wdi::kDefaultParameters;
  g_object_class_install_property(
      object, kPropMode,
      g_param_spec_enum("mode", "Mode", "Deinterlace mode", modeType(), kModeAuto, rw));
  g_object_class_install_property(
      object, kPropFields,
      g_param_spec_enum("fields", "Fields", "Fields to use for deinterlacing", fieldsType(),
                        kFieldsAll, rw));
  g_object_class_install_property(object, kPropTff,
                                  g_param_spec_enum("tff", "tff", "Deinterlace top field first",
                                                    layoutType(), kLayoutAuto, rw));
  g_object_class_install_property(
      object, kPropMethod,
      g_param_spec_int("method", "Method",
                       "0 none, 1 only even rows, 2 simple interpolation, 3 area based "
                       "interpolation, 4 area based motion estimation, 5 advanced method, "
                       "6 temporal area based (reads the frames before and after: one frame of "
                       "latency)",
                       0, wdi::core::kLastMethod, d.method, rw));
  g_object_class_install_property(
      object, kPropSearchArea,
      g_param_spec_int("search-area", "Search area", "Motion search range in pixels", G_MININT32,
                       G_MAXINT32, d.searchArea, rw));
  g_object_class_install_property(
      object, kPropDetectionThreshold,
      g_param_spec_uint("detection-threshold", "Detection threshold",
                        "Interlace detection threshold (the low 16 bits of its half count)", 0,
                        G_MAXUINT32, static_cast<guint>(d.detectionThreshold), rw));
  g_object_class_install_property(
      object, kPropBlockDistanceThreshold,
      g_param_spec_uint("block-distance-threshold", "Block distance threshold",
                        "Block match threshold (sum of squared differences of a 16x8 field block)",
                        0, G_MAXUINT32, static_cast<guint>(d.blockDistanceThreshold), rw));
  g_object_class_install_property(
      object, kPropReplacementThreshold,
      g_param_spec_int("replacement-threshold", "Replacement threshold",
                       "Per-pixel replacement threshold of method 5 (0 replaces nothing)",
                       G_MININT32, G_MAXINT32, d.replacementThreshold, rw));
  g_object_class_install_property(
      object, kPropReplaceOnlyInterlaced,
      g_param_spec_boolean("replace-only-interlaced", "Replace only interlaced",
                           "Restore every pixel the detection did not mark", FALSE, rw));
  g_object_class_install_property(
      object, kPropSearchOnInterpolated,
      g_param_spec_boolean("search-on-interpolated", "Search on interpolated",
                           "Method 5 searches the interpolated image", FALSE, rw));
  g_object_class_install_property(
      object, kPropRegionFile,
      g_param_spec_string("region-file", "Region file",
                          "Processing region (.rect file); empty: the whole frame", nullptr, rw));

  gst_element_class_set_static_metadata(element, "Wyndvale deinterlacer",
                                        "Filter/Effect/Video/Deinterlace",
                                        "Removes interlace effect.", "Wyndvale");
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);

  trans->transform_caps = gst_wdeinterlace_transform_caps;
  trans->set_caps = gst_wdeinterlace_set_caps;
  trans->submit_input_buffer = gst_wdeinterlace_submit_input_buffer;
  trans->generate_output = gst_wdeinterlace_generate_output;
  trans->start = gst_wdeinterlace_start;
  trans->stop = gst_wdeinterlace_stop;
  trans->sink_event = gst_wdeinterlace_sink_event;
  trans->query = gst_wdeinterlace_query;
  trans->passthrough_on_same_caps = FALSE;

  gst_type_mark_as_plugin_api(modeType(), static_cast<GstPluginAPIFlags>(0));
  gst_type_mark_as_plugin_api(fieldsType(), static_cast<GstPluginAPIFlags>(0));
  gst_type_mark_as_plugin_api(layoutType(), static_cast<GstPluginAPIFlags>(0));
}

static void gst_wdeinterlace_init(GstWdeinterlace* s) {
  s->mode = kModeAuto;
  s->fields = kFieldsAll;
  s->tff = kLayoutAuto;
  s->params = wdi::kDefaultParameters;
  s->regionFile = nullptr;
  s->regionChanged = false;
  s->stream = nullptr;
  s->pending = nullptr;
  s->emitted = 0;
  s->before = s->after = s->held = nullptr;
  s->interlacedCaps = false;
  gst_video_info_init(&s->in);
  gst_video_info_init(&s->out);
}

static gboolean plugin_init(GstPlugin* plugin) {
  GST_DEBUG_CATEGORY_INIT(wdi_debug, "wdeinterlace", 0, "wdeinterlace");
  return gst_element_register(plugin, "wdeinterlace", GST_RANK_NONE, gst_wdeinterlace_get_type());
}

#define PACKAGE "wdeinterlace"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, wdeinterlace,
                  "Deinterlacing filter with a processing region", plugin_init, WDI_GST_VERSION,
                  "Proprietary", "wdeinterlace", "Wyndvale")
