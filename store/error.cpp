#include "store/error.h"

#include <cstring>

namespace sigmat::store {

std::string describe(const DataError& error) {
    std::string out;
    if (error.kind != ErrorKind::io && !error.path.empty()) {
        out = error.path;
        if (error.line > 0)
            out += ", line " + std::to_string(error.line);
        out += ": ";
    }
    out += error.message;
    if (error.sys_errno != 0) {
        out += ": ";
        out += std::strerror(error.sys_errno);
    }
    return out;
}

} // namespace sigmat::store
