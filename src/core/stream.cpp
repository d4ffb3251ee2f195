#include "core/stream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "pipeline/yuv420_frame.h"
#include "region/block_mask.h"

namespace wdi::core {

namespace {

// Reverses the order of the rows of each plane of a w x h Yuv420Frame. h is a
// multiple of 16, so the chroma planes have an even number of rows too and
// every row changes field, in luma and chroma alike.
void mirrorRows(const uint8_t* src, uint8_t* dst, uint32_t w, uint32_t h) {
  const size_t cw = w / 2;
  const size_t ch = h / 2;
  for (size_t r = 0; r < h; ++r) std::memcpy(dst + r * w, src + (h - 1 - r) * w, w);
  for (const size_t offset : {Yuv420Frame::vOffset(w, h), Yuv420Frame::uOffset(w, h)}) {
    for (size_t r = 0; r < ch; ++r) {
      std::memcpy(dst + offset + r * cw, src + offset + (ch - 1 - r) * cw, cw);
    }
  }
}

// Rows of plane p (Y, Cb, Cr) in an engine frame.
uint32_t paddedRows(const FrameGeometry& g, int p) {
  return p == 0 ? g.paddedHeight : g.paddedHeight / 2;
}

void copyPlane(const uint8_t* src, ptrdiff_t srcStride, uint8_t* dst, ptrdiff_t dstStride,
               uint32_t width, uint32_t height) {
  for (uint32_t r = 0; r < height; ++r) {
    std::memcpy(dst + r * dstStride, src + r * srcStride, width);
  }
}

}  // namespace

std::unique_ptr<Stream> Stream::create(uint32_t width, uint32_t height, Status* status) {
  Status ignored;
  if (status == nullptr) status = &ignored;
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
    *status = Status::BadSize;
    return nullptr;
  }
  try {
    std::unique_ptr<Stream> s(new Stream());
    s->geometry_ = makeGeometry(width, height);
    const FrameGeometry& g = s->geometry_;
    s->engine_.init(g.paddedWidth, g.paddedHeight);
    // Nothing here reads the records of blocks that take no copy.
    s->engine_.setCopiesOnly(true);
    s->temporal_.init(g.paddedWidth, g.paddedHeight);
    const size_t frame = g.engineBytes();
    for (auto* buffer : {&s->paddedIn_, &s->paddedOut_, &s->mirroredIn_, &s->mirroredOut_,
                         &s->paddedPrev_, &s->paddedNext_}) {
      // Zeroed, so that no byte a method leaves alone is ever uninitialised;
      // calloc's fresh pages stay untouched (not resident) until a path uses
      // them.
      buffer->reset(static_cast<uint8_t*>(std::calloc(frame, 1)));
      if (*buffer == nullptr) throw std::bad_alloc();
    }
    const uint32_t entries =
        BlockMaskEntries(static_cast<int32_t>(g.paddedWidth), static_cast<int32_t>(g.paddedHeight));
    s->mask_.reset(new int32_t[entries]);
    s->mirroredMask_.reset(new int32_t[entries]);
    s->rebuildMask();
    *status = Status::Ok;
    return s;
  } catch (const std::bad_alloc&) {
    *status = Status::NoMemory;
    return nullptr;
  }
}

Stream::~Stream() = default;

void Stream::FreeDeleter::operator()(uint8_t* p) const { std::free(p); }

void Stream::rebuildMask() {
  const auto w = static_cast<int32_t>(geometry_.paddedWidth);
  const auto h = static_cast<int32_t>(geometry_.paddedHeight);
  BuildBlockMask(mask_.get(), &region_, w, h);
  regionEmpty_ = true;
  const uint32_t entries = BlockMaskEntries(w, h);
  for (uint32_t i = 0; i < entries; ++i) {
    if (mask_[i] == 0) regionEmpty_ = false;
  }
  // The same blocks for the upside-down frame: h is a multiple of 16, so the
  // 8-row luma and 4-row chroma blocks map onto whole blocks.
  const uint32_t columns = static_cast<uint32_t>(w + 7) / 8;
  const uint32_t rows = static_cast<uint32_t>(h + 7) / 8;
  for (uint32_t r = 0; r < rows; ++r) {
    std::memcpy(mirroredMask_.get() + size_t{r} * columns,
                mask_.get() + size_t{rows - 1 - r} * columns, columns * sizeof(int32_t));
  }
}

void Stream::clearRegion() {
  region_.entries.clear();
  region_.lastId = 0;
  rebuildMask();
}

Status Stream::addRect(bool include, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (region_.AddRect(include, left, top, right, bottom) < 0) return Status::RectRefused;
  rebuildMask();
  return Status::Ok;
}

Status Stream::loadRegion(const char* path) {
  if (path == nullptr) return Status::InvalidArgument;
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return Status::RegionFileUnreadable;
  std::fclose(f);
  if (region_.LoadFromFile(path) != 0) return Status::RegionFileInvalid;
  rebuildMask();
  return Status::Ok;
}

Status Stream::setRegion(const CRectList& region) {
  try {
    std::list<RectEntry> copy = region.entries;
    region_.entries.swap(copy);
  } catch (const std::bad_alloc&) {
    return Status::NoMemory;
  }
  region_.lastId = region.lastId;
  rebuildMask();
  return Status::Ok;
}

void Stream::processMirrored(const uint8_t* in, uint8_t* out) {
  const uint32_t w = geometry_.paddedWidth;
  const uint32_t h = geometry_.paddedHeight;
  engine_.process(in, out, &params_);
  if (!regionEmpty_) {
    ApplyBlockMask(mirroredMask_.get(), in, out, static_cast<int32_t>(w), static_cast<int32_t>(h));
  }
}

void Stream::processPadded(const uint8_t* in, uint8_t* out, const uint8_t* prev,
                           const uint8_t* next) {
  const uint32_t w = geometry_.paddedWidth;
  const uint32_t h = geometry_.paddedHeight;
  lastIn_ = in;
  if (params_.method != kTemporalMethod && keptField_ == Field::Top) {
    // The top field kept: the same arithmetic on the picture upside down.
    mirrorRows(in, mirroredIn_.get(), w, h);
    processMirrored(mirroredIn_.get(), mirroredOut_.get());
    mirrorRows(mirroredOut_.get(), out, w, h);
    return;
  }
  if (params_.method == kTemporalMethod) {
    const bool top = keptField_ == Field::Top;
    temporal_.process(prev, in, next, out, top, top == topFieldFirst_);
  } else {
    engine_.process(in, out, &params_);
  }
  if (!regionEmpty_) {
    ApplyBlockMask(mask_.get(), in, out, static_cast<int32_t>(w), static_cast<int32_t>(h));
  }
}

void Stream::process(const InPlane in[3], const OutPlane out[3], const InPlane* prev,
                     const InPlane* next) {
  const FrameGeometry& g = geometry_;
  // Methods 0-5 keeping the top field work on upside-down frames: the
  // picture goes straight into and out of them, with no copy in between.
  const bool upsideDown = !usesNeighbours() && keptField_ == Field::Top;
  PlaneRef planes[3];
  // Where picture row 0 of each plane of an engine frame lies, and the step
  // to the next picture row.
  ptrdiff_t steps[3];
  auto rowsOf = [&](uint8_t* frame) {
    pictureInEngineFrame(frame, g, planes);
    for (int p = 0; p < 3; ++p) {
      steps[p] = static_cast<ptrdiff_t>(planes[p].stride);
      if (upsideDown) {
        planes[p].data += (static_cast<ptrdiff_t>(paddedRows(g, p)) - 1) * steps[p];
        steps[p] = -steps[p];
      }
    }
  };
  // Copies a picture into a padded frame; null when there is none.
  auto pad = [&](const InPlane* src, uint8_t* frame) -> const uint8_t* {
    if (src == nullptr) return nullptr;
    rowsOf(frame);
    for (int p = 0; p < 3; ++p) {
      const PlaneRef& m = planes[p];
      copyPlane(src[p].data, src[p].stride, m.data, steps[p], m.width, m.height);
      padImage(m.data, steps[p], 1, m.width, m.height, static_cast<uint32_t>(m.stride),
               paddedRows(g, p));
    }
    return frame;
  };
  // Both orientations use the same pair of frames (the picture fills every
  // byte of it), so that a stream giving one output per field keeps half as
  // many frames in the caches.
  pad(in, paddedIn_.get());
  if (upsideDown) {
    lastIn_ = nullptr;
    processMirrored(paddedIn_.get(), paddedOut_.get());
  } else {
    const bool temporal = usesNeighbours();
    processPadded(paddedIn_.get(), paddedOut_.get(),
                  temporal ? pad(prev, paddedPrev_.get()) : nullptr,
                  temporal ? pad(next, paddedNext_.get()) : nullptr);
  }
  rowsOf(paddedOut_.get());
  for (int p = 0; p < 3; ++p) {
    copyPlane(planes[p].data, steps[p], out[p].data, out[p].stride, planes[p].width,
              planes[p].height);
  }
}

}  // namespace wdi::core
