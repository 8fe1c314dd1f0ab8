#include "process/figure_file.h"

#include "store/file_system.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

namespace sigmat::process {

store::Status render_figure_file(store::Figure figure, const std::string& output,
                                 const TextPlotter& run) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::absolute(fs::path(output), ec);
    if (ec || figure.format.output == store::FigureOutput::window) {
        return store::io_error(output, "cannot write " + output, ec.value());
    }
    std::vector<std::string> made = {target.string()};
    if (figure.format.output == store::FigureOutput::tex)
        made.push_back(fs::path(target).replace_extension(".pdf").string());
    // A name taken by a folder, a FIFO, a device or a read-only file is refused before gnuplot
    // runs.
    for (const std::string& name : made)
        if (store::Status allowed = store::writable(name); !allowed)
            return allowed;
    const store::Result<std::string> folder = store::make_temporary_folder(target.string());
    if (!folder) {
        return store::io_error(output, "cannot write " + output, folder.error().sys_errno);
    }
    const auto clean = [&] { store::remove_folder_tree(*folder); };
    figure.output_path = target.filename().string();
    const store::Result<std::string> script = store::figure_script(figure);
    if (!script) {
        clean();
        return script.error();
    }
    const PlotterResult plotted = run(*folder, *script);
    if (plotted.status != PlotterStatus::finished) {
        clean();
        return store::io_error({},
                               plotted.status == PlotterStatus::not_started
                                   ? "gnuplot could not be started"
                                   : "gnuplot reported an error:\n" + plotted.error_output,
                               0);
    }
    // Each file takes its name as every result does: whole, with the mode and owner of the
    // file it replaces, into the file a link leads to.
    store::FileSystem& files = store::real_file_system();
    store::FileBytes bytes;
    for (const std::string& name : made) {
        const std::string rendered = (fs::path(*folder) / fs::path(name).filename()).string();
        const store::ReadStatus read = files.read(rendered, bytes);
        const store::Status placed =
            read == store::ReadStatus::ok
                ? files.write(name, bytes.text())
                : store::io_error(name, "cannot write " + name,
                                  read == store::ReadStatus::missing ? ENOENT : EIO);
        if (!placed) {
            clean();
            return placed;
        }
    }
    clean();
    return {};
}

} // namespace sigmat::process
