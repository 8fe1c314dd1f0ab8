#include "app/plot_settings.h"

#include "store/number_fields.h"

namespace sigmat::app {

std::string cut_directory(std::string_view text) {
    return std::string(text.substr(0, std::min(text.size(), directory_capacity)));
}

std::string used_directory(std::string_view text) {
    std::string padded = cut_directory(text);
    padded.resize(directory_capacity, ' ');
    return padded.substr(0, store::trimmed_length(padded));
}

} // namespace sigmat::app
