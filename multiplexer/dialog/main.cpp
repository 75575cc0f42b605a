// zorpamux: the STE Zorpa multiplexer window. No command-line options; the
// inputs are the window's fields.
#include <QApplication>

#include "dialog_services.h"
#include "mux_dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zorpamux"));
    zorpamux::QtDialogServices services;
    zorpamux::MuxDialog dialog(services);
    dialog.show();
    dialog.centre_on_screen();
    return QApplication::exec();
}
