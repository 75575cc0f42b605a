// zorpamux-grab OUT.png: saves a picture of the zorpamux window as it looks
// right after start. Run it with QT_QPA_PLATFORM=offscreen to need no display.
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "dialog_services.h"
#include "mux_dialog.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argc > 0 ? argv[0] : "zorpamux-grab");
        return 2;
    }
    zorpamux::QtDialogServices services;
    zorpamux::MuxDialog dialog(services);
    dialog.show();
    QApplication::processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "%s: %s: cannot write the picture\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
