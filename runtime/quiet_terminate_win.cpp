// The handler that ends the program when the C++ library gives up (a string
// that cannot grow, say). The library's own verbose handler prints the
// failure's demangled type to a console, which a GUI program does not have,
// and brings a demangler and a printf along: about a fifth of the program's
// size. Defined here, in an object that every program links directly, it
// takes the place of the library's.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
