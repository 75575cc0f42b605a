#include "dialog_services.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace zorpamux {

namespace {

void configure_chooser(QFileDialog& dialog, Chooser which, const QString& start_dir) {
    const ChooserSpec& spec = chooser_spec(which);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setDirectory(start_dir);
    dialog.selectFile(QString());  // the name field starts empty
    dialog.setWindowTitle(QString::fromUtf8(spec.title));
    dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (spec.save) dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    QStringList filters;
    for (const NameFilter& filter : spec.filters) filters << QString::fromUtf8(filter.text);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QString::fromUtf8(spec.default_suffix));
}

std::optional<QString> run_chooser(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front();
}

}  // namespace

void configure_picture_chooser(QFileDialog& dialog, const QString& start_dir) {
    configure_chooser(dialog, Chooser::Picture, start_dir);
}

void configure_sound_chooser(QFileDialog& dialog, const QString& start_dir) {
    configure_chooser(dialog, Chooser::Sound, start_dir);
}

void configure_container_chooser(QFileDialog& dialog, const QString& start_dir) {
    configure_chooser(dialog, Chooser::Container, start_dir);
}

std::optional<QString> QtDialogServices::open_picture(QWidget* parent, const QString& start_dir) {
    QFileDialog dialog(parent);
    configure_picture_chooser(dialog, start_dir);
    return run_chooser(dialog);
}

std::optional<QString> QtDialogServices::open_sound(QWidget* parent, const QString& start_dir) {
    QFileDialog dialog(parent);
    configure_sound_chooser(dialog, start_dir);
    return run_chooser(dialog);
}

std::optional<QString> QtDialogServices::save_container(QWidget* parent, const QString& start_dir) {
    QFileDialog dialog(parent);
    configure_container_chooser(dialog, start_dir);
    return run_chooser(dialog);
}

void QtDialogServices::show_message(QWidget* parent, MessageKind kind, const QString& title,
                                    const QString& text) {
    if (kind == MessageKind::Error) {
        QMessageBox::critical(parent, title, text);
    } else {
        QMessageBox::information(parent, title, text);
    }
}

void QtDialogServices::quit(int status) {
    QCoreApplication::exit(status);
}

}  // namespace zorpamux
