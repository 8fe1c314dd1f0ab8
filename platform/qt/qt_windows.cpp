#include "platform/qt/qt_windows.h"

#include "process/text_bytes.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <cmath>

// The resource file's registration (qt_add_resources names it after the resource set); outside
// any namespace, as Qt's macro requires.
static void load_icon_resource() {
    Q_INIT_RESOURCE(sigmat_icon);
}

namespace sigmat::platform {

QIcon window_icon() {
    load_icon_resource();
    QIcon icon(":/sigmat/io.sigmat.Sigmat.svg");
    if (!icon.pixmap(64, 64).isNull())
        return icon;
    // The tile drawn by hand: dark blue, the two axes and the sharp orange attachment peak.
    QPixmap tile(64, 64);
    tile.fill(Qt::transparent);
    QPainter paint(&tile);
    paint.setRenderHint(QPainter::Antialiasing);
    paint.setPen(Qt::NoPen);
    paint.setBrush(QColor(0x1d, 0x33, 0x4b));
    paint.drawRoundedRect(QRectF(2, 2, 60, 60), 11, 11);
    paint.setPen(QPen(QColor(0xc9, 0xd6, 0xe3), 2.5, Qt::SolidLine, Qt::RoundCap));
    paint.drawPolyline(QPolygonF({QPointF(12, 11), QPointF(12, 52), QPointF(54, 52)}));
    QPainterPath peak(QPointF(14, 51));
    peak.lineTo(22, 51);
    peak.cubicTo(23.5, 51, 24, 15, 26, 15);
    peak.cubicTo(28.5, 15, 30, 38, 35, 44);
    peak.cubicTo(40, 49, 47, 50, 52, 50.5);
    paint.setPen(QPen(QColor(0xff, 0x9e, 0x3d), 3, Qt::SolidLine, Qt::RoundCap));
    paint.setBrush(Qt::NoBrush);
    paint.drawPath(peak);
    paint.end();
    return QIcon(tile);
}

// Texts cross between the logic and Qt byte for byte: valid UTF-8 as it is, other bytes as
// lone surrogates that come back as the same bytes (a folder name need not be valid UTF-8,
// and Qt's own decoding would turn such bytes into U+FFFD).
QString to_qt(std::string_view text) {
    const std::u16string wide = process::bytes_to_utf16(text);
    return QString(reinterpret_cast<const QChar*>(wide.data()),
                   static_cast<qsizetype>(wide.size()));
}

std::string from_qt(const QString& text) {
    return process::utf16_to_bytes(std::u16string_view(
        reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
}

// ---- comparison window ---------------------------------------------------------------------

ComparisonWindow::ComparisonWindow(ComparisonPanel& panel) : QWidget(nullptr), panel_(panel) {
    setWindowFlag(Qt::Window);
    setWindowTitle("Sigmat: comparison");
    setObjectName("comparison");
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* hint = new QLabel("Curves plotted together, top to bottom. Double-click a label to "
                            "edit it.");
    hint->setWordWrap(true);
    left->addWidget(hint);
    list_ = new QListWidget(this);
    list_->setObjectName("curves");
    list_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::SelectedClicked);
    list_->setMinimumSize(420, 220);
    left->addWidget(list_);
    layout->addLayout(left, 1);

    auto* buttons = new QVBoxLayout;
    const auto button = [&](const char* name, const QString& text, const QString& tip,
                            std::function<void()> action) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, this,
                         [action = std::move(action)] { action(); });
        buttons->addWidget(b);
        return b;
    };
    button("add_current", "Add current curve",
           "Add the curve the dialog's single cross section box would plot now",
           [this] { panel_.add_current(); });
    button("add_file", "Add file\u2026",
           "Add a measurement of your own (two columns: eV and cross section) or an LXCat block",
           [this] { panel_.add_file(); });
    remove_ = button("remove", "Remove", "Remove the selected curve", [this] {
        const int row = selected_row();
        if (row >= 0) {
            panel_.remove(static_cast<std::size_t>(row));
            select(std::min(row, list_->count() - 1));
        }
    });
    up_ = button("up", "Up", "Move the selected curve up", [this] {
        const int row = selected_row();
        if (row > 0) {
            panel_.move(static_cast<std::size_t>(row), static_cast<std::size_t>(row - 1));
            select(row - 1);
        }
    });
    down_ = button("down", "Down", "Move the selected curve down", [this] {
        const int row = selected_row();
        if (row >= 0 && row + 1 < list_->count()) {
            panel_.move(static_cast<std::size_t>(row), static_cast<std::size_t>(row + 1));
            select(row + 1);
        }
    });
    buttons->addSpacing(12);
    button("plot", "Plot together",
           "One gnuplot window with every curve, in the View menu's axes and unit; the dialog "
           "goes on meanwhile",
           [this] { panel_.plot_together(); });
    button("export_figure", "Export figure\u2026", "The figure as PNG, PDF or SVG",
           [this] { panel_.export_figure(); });
    button("export_data", "Export data\u2026", "The curves' numbers as CSV or LXCat blocks",
           [this] { panel_.export_data(); });
    buttons->addSpacing(12);
    button("clear", "Clear", "Remove every curve", [this] { panel_.clear(); });
    buttons->addStretch(1);
    button("close", "Close", "Close this window (the list stays)", [this] { close(); });
    layout->addLayout(buttons);

    QObject::connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (refreshing_)
            return;
        panel_.relabel(static_cast<std::size_t>(list_->row(item)), from_qt(item->text()));
    });
    QObject::connect(list_, &QListWidget::currentRowChanged, this, [this] { update_buttons(); });
    refresh();
}

int ComparisonWindow::selected_row() const {
    return list_->currentRow();
}

void ComparisonWindow::select(int row) {
    if (row >= 0 && row < list_->count())
        list_->setCurrentRow(row);
    update_buttons();
}

void ComparisonWindow::update_buttons() {
    const int row = selected_row();
    remove_->setEnabled(row >= 0);
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && row + 1 < list_->count());
}

void ComparisonWindow::refresh() {
    refreshing_ = true;
    const int row = selected_row();
    list_->clear();
    for (const ComparisonRow& r : panel_.rows()) {
        auto* item = new QListWidgetItem(to_qt(r.label), list_);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setToolTip(to_qt(r.source));
    }
    refreshing_ = false;
    select(std::min(row, list_->count() - 1));
}

// ---- export figure -------------------------------------------------------------------------

namespace {

// The format box lists PNG, PDF and SVG in this order.
const char* extension_of(int format) {
    return format == 1 ? ".pdf" : format == 2 ? ".svg" : ".png";
}
store::FigureOutput output_of(int format) {
    return format == 1   ? store::FigureOutput::pdf
           : format == 2 ? store::FigureOutput::svg
                         : store::FigureOutput::png;
}
int index_of(store::FigureOutput output) {
    return output == store::FigureOutput::pdf ? 1 : output == store::FigureOutput::svg ? 2 : 0;
}

} // namespace

FigureFileDialog::FigureFileDialog(const FigureFileAnswer& suggestion, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Export figure");
    setObjectName("export_figure");
    auto* form = new QFormLayout;
    auto* where = new QHBoxLayout;
    path_ = new QLineEdit(to_qt(suggestion.path), this);
    path_->setObjectName("path");
    path_->setMinimumWidth(360);
    auto* browse = new QPushButton("Browse\u2026", this);
    browse->setAutoDefault(false);
    where->addWidget(path_, 1);
    where->addWidget(browse);
    form->addRow("File:", where);
    format_ = new QComboBox(this);
    format_->setObjectName("format");
    format_->addItems({"PNG image (pixels)", "PDF document (cm)", "SVG image (cm)"});
    form->addRow("Format:", format_);
    width_ = new QDoubleSpinBox(this);
    width_->setObjectName("width");
    height_ = new QDoubleSpinBox(this);
    height_->setObjectName("height");
    for (QDoubleSpinBox* box : {width_, height_})
        box->setRange(1, 20000);
    form->addRow("Width:", width_);
    form->addRow("Height:", height_);
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ok);
    QObject::connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    QObject::connect(ok, &QDialogButtonBox::rejected, this, &QDialog::reject);
    QObject::connect(browse, &QPushButton::clicked, this, [this] {
        QFileDialog files(this, "Export figure", path_->text(),
                          "PNG image (*.png);;PDF document (*.pdf);;SVG image (*.svg)");
        files.setAcceptMode(QFileDialog::AcceptSave);
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.selectNameFilter(files.nameFilters().value(format_->currentIndex()));
        if (files.exec() == QDialog::Accepted && !files.selectedFiles().isEmpty()) {
            path_->setText(files.selectedFiles().front());
            const int format =
                static_cast<int>(files.nameFilters().indexOf(files.selectedNameFilter()));
            if (format >= 0)
                format_->setCurrentIndex(format);
        }
    });
    const store::FigureFormat& f = suggestion.format;
    const bool png = f.output == store::FigureOutput::png;
    format_->setCurrentIndex(index_of(f.output));
    show_size_unit(png);
    width_->setValue(png ? f.width_px : f.width_cm);
    height_->setValue(png ? f.height_px : f.height_cm);
    QObject::connect(format_, &QComboBox::currentIndexChanged, this,
                     &FigureFileDialog::format_changed);
}

// Whole pixels ("1200 px"), centimetres to a millimetre ("16.0 cm").
void FigureFileDialog::show_size_unit(bool pixels) {
    for (QDoubleSpinBox* box : {width_, height_}) {
        box->setDecimals(pixels ? 0 : 1);
        box->setSuffix(pixels ? " px" : " cm");
    }
}

void FigureFileDialog::format_changed(int index) {
    const bool png = index == 0;
    show_size_unit(png);
    const store::FigureFormat defaults;
    width_->setValue(png ? defaults.width_px : defaults.width_cm);
    height_->setValue(png ? defaults.height_px : defaults.height_cm);
    QString path = path_->text();
    const QFileInfo info(path);
    if (!info.suffix().isEmpty())
        path.chop(info.suffix().size() + 1);
    path_->setText(path + extension_of(index));
}

FigureFileAnswer FigureFileDialog::answer() const {
    FigureFileAnswer a;
    a.path = from_qt(path_->text());
    a.format.output = output_of(format_->currentIndex());
    if (a.format.output == store::FigureOutput::png) {
        a.format.width_px = static_cast<int>(std::lround(width_->value()));
        a.format.height_px = static_cast<int>(std::lround(height_->value()));
    } else {
        a.format.width_cm = width_->value();
        a.format.height_cm = height_->value();
    }
    return a;
}

// ---- documents -----------------------------------------------------------------------------

DocumentWindow::DocumentWindow(const QString& title, const QString& markdown) : QWidget(nullptr) {
    setWindowFlag(Qt::Window);
    setWindowTitle(title);
    setObjectName("document");
    auto* layout = new QVBoxLayout(this);
    auto* text = new QTextBrowser(this);
    text->setObjectName("text");
    text->setOpenExternalLinks(true);
    text->setMarkdown(markdown);
    layout->addWidget(text);
    resize(720, 640);
}

} // namespace sigmat::platform
