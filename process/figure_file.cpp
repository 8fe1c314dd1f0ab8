#include "process/figure_file.h"

#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace sigmat::process {
namespace {

namespace fs = std::filesystem;

std::uint64_t process_id() {
#ifdef _WIN32
    return static_cast<std::uint64_t>(_getpid());
#else
    return static_cast<std::uint64_t>(::getpid());
#endif
}

} // namespace

store::Status render_figure_file(store::Figure figure, const std::string& output,
                                 const TextPlotter& run) {
    std::error_code ec;
    const fs::path target = fs::absolute(fs::path(output), ec);
    if (ec || figure.format.output == store::FigureOutput::window) {
        return store::io_error(output, "cannot write " + output, ec.value());
    }
    const fs::path folder = target.parent_path() / ("." + target.filename().string() + "." +
                                                    std::to_string(process_id()) + ".tmp");
    fs::create_directory(folder, ec);
    if (ec) {
        return store::io_error(output, "cannot write " + output, ec.value());
    }
    figure.output_path = target.filename().string();
    std::vector<fs::path> made = {target.filename()};
    if (figure.format.output == store::FigureOutput::tex)
        made.push_back(fs::path(target.filename()).replace_extension(".pdf"));
    const auto clean = [&] { fs::remove_all(folder, ec); };
    // A rename would put the figure in place of a device, a FIFO or a folder of that name.
    for (const fs::path& name : made) {
        const fs::file_status there = fs::symlink_status(target.parent_path() / name, ec);
        if (fs::exists(there) && !fs::is_regular_file(there) && !fs::is_symlink(there)) {
            clean();
            return store::io_error((target.parent_path() / name).string(),
                                   "cannot write " + (target.parent_path() / name).string(), 0);
        }
    }
    const store::Result<std::string> script = store::figure_script(figure);
    if (!script) {
        clean();
        return script.error();
    }
    const PlotterResult plotted = run(folder.string(), *script);
    if (plotted.status != PlotterStatus::finished) {
        clean();
        return store::io_error({},
                               plotted.status == PlotterStatus::not_started
                                   ? "gnuplot could not be started"
                                   : "gnuplot reported an error:\n" + plotted.error_output,
                               0);
    }
    for (const fs::path& name : made) {
        fs::rename(folder / name, target.parent_path() / name, ec);
        if (ec) {
            clean();
            return store::io_error((target.parent_path() / name).string(),
                                   "cannot write " + (target.parent_path() / name).string(),
                                   ec.value());
        }
    }
    clean();
    return {};
}

} // namespace sigmat::process
