#include <cstdio>

int main() {
  std::fprintf(stderr, "wdeint: not built yet\n");
  return 2;
}
