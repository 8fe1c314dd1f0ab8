// How the readers convert the data files' ES10.4 numbers ("1.2340E-17"): field by field, or
// four fields at a time with 256-bit vectors where the processor has AVX2. Every way gives the
// same bits; the choice is for speed, and for tests and measurements that run each way on one
// machine.
#pragma once

namespace sigmat::store {

enum class FieldReading {
    automatic,      // four at a time where the processor has AVX2, else one by one
    one_by_one,     // field by field, as on any processor
    four_at_a_time, // where the processor has AVX2 (elsewhere one by one)
};

} // namespace sigmat::store
