// The main of the benchmarks that need Qt: widgets available, no screen.

#include "bench/BenchSupport.h"

int main(int argc, char** argv) {
  return varnholt::bench::RunOffscreen(argc, argv);
}
