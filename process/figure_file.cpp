#include "process/figure_file.h"

#include "store/file_system.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace sigmat::process {
namespace {

// The name a LaTeX figure's picture goes by: the .tex names it in \includegraphics, where
// LaTeX reads #, $, _, braces, a dot and a backslash as its own. Letters, digits and '-' stay;
// every other byte becomes '-'.
std::string latex_plain_name(const std::string& stem) {
    std::string out;
    for (const char c : stem) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        out += plain ? c : '-';
    }
    return out.empty() ? std::string("figure") : out;
}

} // namespace

store::Status render_figure_file(store::Figure figure, const std::string& output,
                                 const TextPlotter& run) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::absolute(fs::path(output), ec);
    if (ec || figure.format.output == store::FigureOutput::window) {
        return store::io_error(output, "cannot write " + output, ec.value());
    }
    // What gnuplot makes in its folder, and where each goes. A LaTeX figure is rendered under a
    // plain name, so that no file name can break or inject into the LaTeX that names its
    // picture; the .tex takes the name asked for, the picture the plain one beside it.
    const bool tex = figure.format.output == store::FigureOutput::tex;
    const std::string rendered_stem =
        tex ? latex_plain_name(target.stem().string()) : target.stem().string();
    std::vector<std::pair<std::string, std::string>> made = {
        {rendered_stem + target.extension().string(), target.string()}};
    if (tex)
        made.push_back(
            {rendered_stem + ".pdf", (target.parent_path() / (rendered_stem + ".pdf")).string()});
    // A name taken by a folder, a FIFO, a device or a read-only file is refused before gnuplot
    // runs.
    for (const auto& [rendered, name] : made)
        if (store::Status allowed = store::writable(name); !allowed)
            return allowed;
    const store::Result<std::string> folder = store::make_temporary_folder(target.string());
    if (!folder) {
        return store::io_error(output, "cannot write " + output, folder.error().sys_errno);
    }
    const auto clean = [&] { store::remove_folder_tree(*folder); };
    figure.output_path = made.front().first;
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
    for (const auto& [made_name, name] : made) {
        const std::string rendered = (fs::path(*folder) / made_name).string();
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
