// The progress line on standard error and the closing summary.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace wdi::cli {

class ProgressLine {
 public:
  // `enabled` false makes every call a no-op.
  ProgressLine(bool enabled, std::FILE* out) : enabled_(enabled), out_(out) {}
  // Rewrites the line at most a few times a second.
  void update(uint64_t frames);
  // Writes the final count and ends the line, if anything was shown.
  void finish(uint64_t frames);

 private:
  void show(uint64_t frames);
  bool enabled_;
  std::FILE* out_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_ = start_;
};

// Frames per second, 0 for an empty or instantaneous run.
double framesPerSecond(uint64_t frames, double seconds);

}  // namespace wdi::cli
