// Everything the zorpamux window asks of the outside world: the three file
// choosers, message boxes and ending the program. The window only talks to
// this interface, so tests can answer the choosers without opening a dialog.
#pragma once

#include <QString>
#include <optional>

#include "mux_model.h"

class QFileDialog;
class QWidget;

namespace zorpamux {

class DialogServices {
  public:
    virtual ~DialogServices() = default;

    // Each chooser returns the chosen full path, or nothing when cancelled.
    virtual std::optional<QString> open_picture(QWidget* parent, const QString& start_dir) = 0;
    virtual std::optional<QString> open_sound(QWidget* parent, const QString& start_dir) = 0;
    virtual std::optional<QString> save_container(QWidget* parent, const QString& start_dir) = 0;

    virtual void show_message(QWidget* parent, MessageKind kind, const QString& title,
                              const QString& text) = 0;

    // Ends the program with the given exit status.
    virtual void quit(int status) = 0;
};

// Set up a QFileDialog as the chooser of "Select BVK", "Select Audio" or
// "Create ZRP", as chooser_spec() describes them. Always Qt's own dialog:
// platform dialogs may match the patterns case-sensitively, where Qt's
// compares names without regard to case (so "*.BVK" also lists pic.bVK).
void configure_picture_chooser(QFileDialog& dialog, const QString& start_dir);
void configure_sound_chooser(QFileDialog& dialog, const QString& start_dir);
void configure_container_chooser(QFileDialog& dialog, const QString& start_dir);

// The real thing: modal QFileDialogs, QMessageBox, QCoreApplication::exit.
class QtDialogServices : public DialogServices {
  public:
    std::optional<QString> open_picture(QWidget* parent, const QString& start_dir) override;
    std::optional<QString> open_sound(QWidget* parent, const QString& start_dir) override;
    std::optional<QString> save_container(QWidget* parent, const QString& start_dir) override;
    void show_message(QWidget* parent, MessageKind kind, const QString& title,
                      const QString& text) override;
    void quit(int status) override;
};

}  // namespace zorpamux
