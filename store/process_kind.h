// The processes of the database, as one vocabulary for its files, its curves and the dialog's
// jobs:
//
//   dea        dissociative attachment from (v, J): {db}/{mol}/DA/nu{vv}/DA{vv}J{jj}.dat
//   ve         vibrational excitation from (v, J):  {db}/{mol}/VE/nu{vv}/VE{vv}J{jj}.dat
//   aed        associative detachment into J:       {db}/{mol}/AD/adJ{jj}.dat
//   aed_total  total associative detachment:        {db}/{mol}/AD/adTot.dat
//   thermal    dissociative attachment of a thermal gas: every DEA file of the molecule
//
// Each file kind has its own header layout (store/data_files.h); the thermal average reads
// DEA files.
#pragma once

#include <string_view>

namespace sigmat::store {

enum class ProcessKind { dea, ve, aed, aed_total, thermal };

// The process's two-character code, also a folder and file-name part of the database: "DA",
// "VE", "AD", "AT" ("DA" for the thermal average, whose files are DEA files).
constexpr std::string_view process_code(ProcessKind kind) {
    switch (kind) {
    case ProcessKind::ve:
        return "VE";
    case ProcessKind::aed:
        return "AD";
    case ProcessKind::aed_total:
        return "AT";
    case ProcessKind::dea:
    case ProcessKind::thermal:
        break;
    }
    return "DA";
}

} // namespace sigmat::store
