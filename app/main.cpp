#include "app/Application.h"

int main(int argc, char** argv) {
  return varnholt::RunVarnholt(argc, argv);
}
