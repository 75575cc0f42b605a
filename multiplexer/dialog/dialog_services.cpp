#include "dialog_services.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace zorpamux {

namespace {

void configure_common(QFileDialog& dialog, const QString& start_dir) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setDirectory(start_dir);
    dialog.selectFile(QString());  // the name field starts empty
}

std::optional<QString> run_chooser(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
    return files.front();
}

}  // namespace

void configure_picture_chooser(QFileDialog& dialog, const QString& start_dir) {
    configure_common(dialog, start_dir);
    dialog.setWindowTitle(QStringLiteral("Select BVK"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QString::fromLatin1(kPictureFilter), QString::fromLatin1(kAllFilesFilter)});
    dialog.setDefaultSuffix(QString());
}

void configure_sound_chooser(QFileDialog& dialog, const QString& start_dir) {
    configure_common(dialog, start_dir);
    dialog.setWindowTitle(QStringLiteral("Select Audio"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QString::fromLatin1(kSoundFilter), QString::fromLatin1(kAllFilesFilter)});
    dialog.setDefaultSuffix(QStringLiteral("WAV"));
}

void configure_container_chooser(QFileDialog& dialog, const QString& start_dir) {
    configure_common(dialog, start_dir);
    dialog.setWindowTitle(QStringLiteral("Create ZRP"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setNameFilters({QString::fromLatin1(kContainerFilter)});
    dialog.setDefaultSuffix(QStringLiteral("ZRP"));
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
