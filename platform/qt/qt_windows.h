// The windows beside the main dialog: the comparison window (the list of curves to plot
// together, with their labels editable in place), the export-figure dialog (file, format and
// size) and the user's guide.
#pragma once

#include "platform/platform.h"

#include <QDialog>
#include <QIcon>
#include <QWidget>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextBrowser;

namespace sigmat::platform {

QString to_qt(std::string_view text);
std::string from_qt(const QString& text);

// Sigmat's icon, from the SVG built into the program (packaging/io.sigmat.Sigmat.svg); where
// Qt cannot draw SVG (its SVG image plugin missing), a drawing of the same tile in its place,
// so that no window is left with the window system's generic icon.
QIcon window_icon();

// A top-level window over a ComparisonPanel: every button calls the panel, and refresh()
// shows its rows anew (the panel's owner calls it after each change).
class ComparisonWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit ComparisonWindow(ComparisonPanel& panel);
    void refresh();
    ComparisonPanel& panel() const { return panel_; }

  private:
    int selected_row() const;
    void select(int row);
    void update_buttons();

    ComparisonPanel& panel_;
    QListWidget* list_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    bool refreshing_ = false;
};

// Where a figure goes: the file (with a Browse button), the format and the size, in whole
// pixels for PNG and in centimetres with one decimal for PDF and SVG. Switching the format switches
// the file's extension and the size to that format's default.
class FigureFileDialog final : public QDialog {
    Q_OBJECT
  public:
    FigureFileDialog(const FigureFileAnswer& suggestion, QWidget* parent);
    FigureFileAnswer answer() const;

  private:
    void format_changed(int index);

    QLineEdit* path_ = nullptr;
    QComboBox* format_ = nullptr;
    void show_size_unit(bool pixels);

    QDoubleSpinBox* width_ = nullptr;
    QDoubleSpinBox* height_ = nullptr;
};

// A document in Markdown in a window of its own.
class DocumentWindow final : public QWidget {
    Q_OBJECT
  public:
    DocumentWindow(const QString& title, const QString& markdown);
};

} // namespace sigmat::platform
