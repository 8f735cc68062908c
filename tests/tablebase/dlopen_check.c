/* Loads the tablebase library the way another program would, finds the eight functions by
   name and probes one position: White Ka1, Qh1 against Kc3, White to move, is a win.
   Usage: dlopen_check LIBRARY TABLE_DIRECTORY. Exit status 0 when everything answered. */
#include <dlfcn.h>
#include <stdio.h>

typedef int (*InitExtern)(const char*, int);
typedef int (*NoArguments)(void);
typedef int (*Probe)(const int*, const int*, const int*, int, int, int*);
typedef int (*HasEndgames)(unsigned char*, int);

int main(int argc, char** argv) {
  static const char* const names[] = {"TBInitExtern", "TBInit", "TBExit", "TBProbeList",
                                      "TBMaxPiece", "TBHasEndgames", "TBNewGame",
                                      "TBGetDecompressTableSize"};
  void* functions[8];
  void* library;
  int i, result = 0;
  int counters[10] = {0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
  int white[24] = {0}, black[24] = {0};
  unsigned char present[6];
  if (argc < 3) return 2;
  library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  for (i = 0; i < 8; ++i) {
    functions[i] = dlsym(library, names[i]);
    if (!functions[i]) {
      fprintf(stderr, "missing %s\n", names[i]);
      return 1;
    }
  }
  if (((NoArguments)functions[4])() != 0) return 1;
  if (((InitExtern)functions[0])(argv[2], 1024) < 3) return 1;
  white[0] = 0;       /* a1 */
  white[4 * 5] = 7;   /* queen h1 */
  black[0] = 18;      /* c3 */
  if (((Probe)functions[3])(counters, white, black, 0, 0, &result) != 1 || result <= 0) {
    fprintf(stderr, "probe failed (%d)\n", result);
    return 1;
  }
  if (((HasEndgames)functions[5])(present, 6) != 6 || present[5] != 1) return 1;
  if (((NoArguments)functions[6])() != 0) return 1;
  if (((NoArguments)functions[2])() != 1 || ((NoArguments)functions[4])() != 0) return 1;
  dlclose(library);
  printf("mate in %d\n", result);
  return 0;
}
