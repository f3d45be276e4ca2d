#include "driver/driver.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // In text mode Windows would write each "\n" as "\r\n"; in binary mode the console gets
  // the same bytes as on every other system.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  return orvalis::RunOrvalis(argc, argv);
}
