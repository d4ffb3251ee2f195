// The C API: the core stream behind an opaque handle. Nothing thrown gets
// past these functions.
#include <wdeinterlace.h>

#include <cstdint>
#include <exception>

#include "core/stream.h"

#ifndef WDI_VERSION_TEXT
#define WDI_VERSION_TEXT "unknown"
#endif

using wdi::core::Status;

struct wdi_stream {
  std::unique_ptr<wdi::core::Stream> core;
};

namespace {

int code(Status s) { return static_cast<int>(s); }

// A long as the 32-bit value a field holds: [lo, hi] must hold it.
bool toInt32(long value, long long lo, long long hi, int32_t* out) {
  const long long v = value;
  if (v < lo || v > hi) return false;
  *out = static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(v)));
  return true;
}

constexpr long long kInt32Min = -2147483648LL;
constexpr long long kInt32Max = 2147483647LL;
constexpr long long kUint32Max = 4294967295LL;

template <typename F>
int guarded(F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return WDI_ERR_NO_MEMORY;
  } catch (...) {
    return WDI_ERR_INTERNAL;
  }
}

}  // namespace

extern "C" {

const char* wdi_version(void) { return WDI_VERSION_TEXT; }

const char* wdi_status_text(int status) {
  switch (status) {
    case WDI_OK:
      return "success";
    case WDI_ERR_INVALID_ARGUMENT:
      return "invalid argument (a null pointer, an unknown option or a value out of range)";
    case WDI_ERR_BAD_SIZE:
      return "picture size out of range (each side 1 to 16384)";
    case WDI_ERR_NO_MEMORY:
      return "out of memory";
    case WDI_ERR_RECT_REFUSED:
      return "rectangle refused (negative or inverted edges, or a single pixel)";
    case WDI_ERR_REGION_FILE_OPEN:
      return "the region file cannot be opened";
    case WDI_ERR_REGION_FILE_INVALID:
      return "not a region file this filter takes";
    case WDI_ERR_INTERNAL:
      return "internal error";
    default:
      return "unknown status";
  }
}

wdi_stream* wdi_create(unsigned long width, unsigned long height, int* status) {
  int ignored;
  if (status == nullptr) status = &ignored;
  if (width == 0 || height == 0 || width > wdi::core::kMaxSide || height > wdi::core::kMaxSide) {
    *status = WDI_ERR_BAD_SIZE;
    return nullptr;
  }
  wdi_stream* stream = nullptr;
  *status = guarded([&] {
    Status s = Status::Ok;
    auto core =
        wdi::core::Stream::create(static_cast<uint32_t>(width), static_cast<uint32_t>(height), &s);
    if (core == nullptr) return code(s);
    stream = new wdi_stream{std::move(core)};
    return WDI_OK;
  });
  return stream;
}

void wdi_destroy(wdi_stream* stream) { delete stream; }

int wdi_set_option(wdi_stream* stream, int option, long value) {
  if (stream == nullptr) return WDI_ERR_INVALID_ARGUMENT;
  wdi::DeinterlaceParameters p = stream->core->parameters();
  int32_t v = 0;
  bool ok = false;
  switch (option) {
    case WDI_OPTION_METHOD:
      ok = toInt32(value, 0, wdi::core::kLastMethod, &p.method);
      break;
    case WDI_OPTION_SEARCH_AREA:
      ok = toInt32(value, kInt32Min, kInt32Max, &p.searchArea);
      break;
    case WDI_OPTION_DETECTION_THRESHOLD:
      ok = toInt32(value, kInt32Min, kUint32Max, &p.detectionThreshold);
      break;
    case WDI_OPTION_BLOCK_DISTANCE_THRESHOLD:
      ok = toInt32(value, kInt32Min, kUint32Max, &p.blockDistanceThreshold);
      break;
    case WDI_OPTION_REPLACEMENT_THRESHOLD:
      ok = toInt32(value, kInt32Min, kInt32Max, &p.replacementThreshold);
      break;
    case WDI_OPTION_REPLACE_ONLY_INTERLACED:
      ok = toInt32(value, 0, 1, &v);
      p.replaceOnlyInterlaced = static_cast<uint8_t>(v);
      break;
    case WDI_OPTION_SEARCH_ON_INTERPOLATED:
      ok = toInt32(value, 0, 1, &v);
      p.searchOnInterpolated = static_cast<uint8_t>(v);
      break;
    default:
      break;
  }
  if (!ok) return WDI_ERR_INVALID_ARGUMENT;
  stream->core->setParameters(p);
  return WDI_OK;
}

int wdi_get_option(const wdi_stream* stream, int option, long* value) {
  if (stream == nullptr || value == nullptr) return WDI_ERR_INVALID_ARGUMENT;
  const wdi::DeinterlaceParameters& p = stream->core->parameters();
  switch (option) {
    case WDI_OPTION_METHOD:
      *value = p.method;
      return WDI_OK;
    case WDI_OPTION_SEARCH_AREA:
      *value = p.searchArea;
      return WDI_OK;
    case WDI_OPTION_DETECTION_THRESHOLD:
      *value = static_cast<long>(static_cast<uint32_t>(p.detectionThreshold));
      return WDI_OK;
    case WDI_OPTION_BLOCK_DISTANCE_THRESHOLD:
      *value = static_cast<long>(static_cast<uint32_t>(p.blockDistanceThreshold));
      return WDI_OK;
    case WDI_OPTION_REPLACEMENT_THRESHOLD:
      *value = p.replacementThreshold;
      return WDI_OK;
    case WDI_OPTION_REPLACE_ONLY_INTERLACED:
      *value = p.replaceOnlyInterlaced;
      return WDI_OK;
    case WDI_OPTION_SEARCH_ON_INTERPOLATED:
      *value = p.searchOnInterpolated;
      return WDI_OK;
    default:
      return WDI_ERR_INVALID_ARGUMENT;
  }
}

int wdi_set_kept_field(wdi_stream* stream, int field) {
  if (stream == nullptr || (field != WDI_FIELD_BOTTOM && field != WDI_FIELD_TOP)) {
    return WDI_ERR_INVALID_ARGUMENT;
  }
  stream->core->setKeptField(field == WDI_FIELD_TOP ? wdi::core::Field::Top
                                                    : wdi::core::Field::Bottom);
  return WDI_OK;
}

int wdi_clear_region(wdi_stream* stream) {
  if (stream == nullptr) return WDI_ERR_INVALID_ARGUMENT;
  stream->core->clearRegion();
  return WDI_OK;
}

int wdi_add_rect(wdi_stream* stream, int include, long left, long top, long right, long bottom) {
  if (stream == nullptr) return WDI_ERR_INVALID_ARGUMENT;
  int32_t edges[4];
  const long values[4] = {left, top, right, bottom};
  for (int i = 0; i < 4; ++i) {
    if (!toInt32(values[i], kInt32Min, kInt32Max, &edges[i])) return WDI_ERR_RECT_REFUSED;
  }
  return guarded([&] {
    return code(stream->core->addRect(include != 0, edges[0], edges[1], edges[2], edges[3]));
  });
}

int wdi_load_region(wdi_stream* stream, const char* path) {
  if (stream == nullptr || path == nullptr) return WDI_ERR_INVALID_ARGUMENT;
  return guarded([&] { return code(stream->core->loadRegion(path)); });
}

int wdi_set_field_order(wdi_stream* stream, int order) {
  if (stream == nullptr || (order != WDI_TOP_FIELD_FIRST && order != WDI_BOTTOM_FIELD_FIRST)) {
    return WDI_ERR_INVALID_ARGUMENT;
  }
  stream->core->setTopFieldFirst(order == WDI_TOP_FIELD_FIRST);
  return WDI_OK;
}

int wdi_process_temporal(wdi_stream* stream, const unsigned char* const prev[3],
                         const ptrdiff_t prev_stride[3], const unsigned char* const in[3],
                         const ptrdiff_t in_stride[3], const unsigned char* const next[3],
                         const ptrdiff_t next_stride[3], unsigned char* const out[3],
                         const ptrdiff_t out_stride[3]) {
  if (stream == nullptr || in == nullptr || in_stride == nullptr || out == nullptr ||
      out_stride == nullptr || (prev != nullptr && prev_stride == nullptr) ||
      (next != nullptr && next_stride == nullptr)) {
    return WDI_ERR_INVALID_ARGUMENT;
  }
  wdi::core::InPlane inPlanes[3], prevPlanes[3], nextPlanes[3];
  wdi::core::OutPlane outPlanes[3];
  for (int p = 0; p < 3; ++p) {
    if (in[p] == nullptr || out[p] == nullptr || (prev != nullptr && prev[p] == nullptr) ||
        (next != nullptr && next[p] == nullptr)) {
      return WDI_ERR_INVALID_ARGUMENT;
    }
    inPlanes[p] = {in[p], in_stride[p]};
    outPlanes[p] = {out[p], out_stride[p]};
    if (prev != nullptr) prevPlanes[p] = {prev[p], prev_stride[p]};
    if (next != nullptr) nextPlanes[p] = {next[p], next_stride[p]};
  }
  return guarded([&] {
    stream->core->process(inPlanes, outPlanes, prev != nullptr ? prevPlanes : nullptr,
                          next != nullptr ? nextPlanes : nullptr);
    return WDI_OK;
  });
}

int wdi_process(wdi_stream* stream, const unsigned char* const in[3], const ptrdiff_t in_stride[3],
                unsigned char* const out[3], const ptrdiff_t out_stride[3]) {
  return wdi_process_temporal(stream, nullptr, nullptr, in, in_stride, nullptr, nullptr, out,
                              out_stride);
}

}  // extern "C"
