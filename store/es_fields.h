// Runs of ES10.4 fields at a fixed stride, read several at a time: the columns of a VE row
// (stride 11) or the cross sections of consecutive DEA rows (stride 22).
//
// On x86-64 processors with AVX2 four fields are checked and converted together; elsewhere,
// and for whatever the blocks of four leave over, field by field. Either way every value is
// the one read_es_unsigned gives for the same ten characters, bit for bit: the conversion is
// the same exact product, done in the same order of operations.
#pragma once

#include <cstddef>

namespace sigmat::store {

// Reads up to `count` fields, field k in the ten characters at p + k * stride, into out[k],
// and stops at the first field that is not in the layout (read_es_unsigned false). Returns
// the number of fields read. Bytes of the text are read up to `readable_end` (exclusive),
// never further, so the fields themselves must end by then.
std::size_t read_es_fields(const char* p, std::size_t stride, std::size_t count,
                           const char* readable_end, double* out);

// Whether read_es_fields reads four fields at a time on this processor. The wide path can be
// switched off, for measurements and to test both ways on the same machine; it is never on
// where the processor lacks it.
bool es_fields_wide();
void set_es_fields_wide(bool on);

} // namespace sigmat::store
