// Four doubles in one vector register: the lanes of the transforms that run
// four at a time. Loads and stores go through memcpy (no alignment needed)
// and take the vector by reference: a 32-byte vector passed by value changes
// the ABI between the AVX2 and the portable build of a function.
#pragma once

#include <cstring>

namespace zeph {

using FourDoubles = double __attribute__((vector_size(32)));

inline void LoadFourDoubles(FourDoubles& v, const double* p) {
    std::memcpy(&v, p, sizeof v);
}

inline void StoreFourDoubles(double* p, const FourDoubles& v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace zeph
