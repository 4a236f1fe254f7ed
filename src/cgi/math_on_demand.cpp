// The few functions of the C math library that the program's own copy of
// ICU refers to, loaded from that library on their first call instead of at
// every start.
//
// Every request is a fresh process. Loading the math library (opening and
// mapping it, relocating it, looking its symbols up) costs a process about
// as much as a tenth of a whole GET of a large configuration, and a request
// never calls these functions: they belong to ICU's number formatting. The
// program therefore defines them itself, so that the linker (told to record
// only the libraries it takes symbols from) leaves the math library out; a
// first call opens it and forwards to the real function, so results and
// errno are the library's own.
//
// Only the CGI program built with its own ICU uses this file (see
// src/cgi/CMakeLists.txt); a program linked against shared ICU needs the
// library at start anyway. A function ICU comes to need that is not listed
// here is simply taken from the library, which is then loaded at start as
// before.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

void* MathLibrary() {
  static void* const library = [] {
    void* handle = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      std::fprintf(stderr, "cfgout: cannot load the math library: %s\n", dlerror());
      std::abort();
    }
    return handle;
  }();
  return library;
}

template <typename Function>
Function Resolve(const char* name) {
  void* symbol = dlsym(MathLibrary(), name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "cfgout: the math library has no %s\n", name);
    std::abort();
  }
  return reinterpret_cast<Function>(symbol);
}

}  // namespace

// Each forwards to the library's function of the same name, resolved once.
#define CFGOUT_FORWARD(Return, name, Parameters, Arguments)                          \
  extern "C" Return name Parameters {                                                 \
    static const auto real = Resolve<Return(*) Parameters>(#name);                    \
    return real Arguments;                                                            \
  }

CFGOUT_FORWARD(double, floor, (double x), (x))
CFGOUT_FORWARD(double, round, (double x), (x))
CFGOUT_FORWARD(double, log, (double x), (x))
CFGOUT_FORWARD(double, fmod, (double x, double y), (x, y))
CFGOUT_FORWARD(double, pow, (double x, double y), (x, y))
CFGOUT_FORWARD(double, modf, (double x, double* whole), (x, whole))
CFGOUT_FORWARD(float, expf, (float x), (x))
CFGOUT_FORWARD(float, tanhf, (float x), (x))

#undef CFGOUT_FORWARD
