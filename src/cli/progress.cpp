#include "cli/progress.h"

namespace wdi::cli {

double framesPerSecond(uint64_t frames, double seconds) {
  return seconds > 0 ? static_cast<double>(frames) / seconds : 0.0;
}

void ProgressLine::show(uint64_t frames) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::fprintf(out_, "\rwdeint: %llu frames, %.1f fps   ", static_cast<unsigned long long>(frames),
               framesPerSecond(frames, seconds));
  std::fflush(out_);
  shown_ = true;
}

void ProgressLine::update(uint64_t frames) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < std::chrono::milliseconds(250)) return;
  last_ = now;
  show(frames);
}

void ProgressLine::finish(uint64_t frames) {
  if (!enabled_ || !shown_) return;
  show(frames);
  std::fputc('\n', out_);
}

}  // namespace wdi::cli
