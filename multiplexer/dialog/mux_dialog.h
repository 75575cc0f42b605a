// The zorpamux window: pick the first picture of a numbered series and a WAV
// file, type the frame range and the sound offset, and "Create ZRP" runs the
// container writer while the progress bar follows the frames.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>

#include "container_writer.h"
#include "dialog_services.h"

class QCloseEvent;
class QFontMetrics;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zorpamux {

// Object names of the controls: the identifiers of the original dialog.
inline constexpr const char* kQuitId = "1015";
inline constexpr const char* kSelectPictureId = "1004";
inline constexpr const char* kSelectSoundId = "1005";
inline constexpr const char* kCreateId = "1006";
inline constexpr const char* kPictureLabelId = "1007";
inline constexpr const char* kSoundLabelId = "1008";
inline constexpr const char* kStartLabelId = "1009";
inline constexpr const char* kStartFieldId = "1011";
inline constexpr const char* kOffsetFieldId = "1012";
inline constexpr const char* kLastLabelId = "1013";
inline constexpr const char* kLastFieldId = "1014";
inline constexpr const char* kProgressId = "1099";

inline constexpr const char* kWindowTitle = "STE Zorpa multiplexer";

// Size of the window's client area in dialog units.
inline constexpr int kDialogWidthDu = 236;
inline constexpr int kDialogHeightDu = 102;

// Dialog units to pixels: horizontal units are a quarter of the font's
// average character width, vertical units an eighth of its height, rounded
// to the nearest pixel.
QRect dialog_units_to_pixels(const QFontMetrics& metrics, int x, int y, int width, int height);

// A field's text as a number, read like the C runtime's atoi: leading blanks,
// an optional sign, then decimal digits up to the first other character. Only
// the first 63 characters count; values beyond the int range saturate.
int field_number(const QString& text);

using ContainerWriter =
    std::function<zorpa::ContainerResult(const zorpa::ContainerRequest&, const zorpa::Progress&)>;

class MuxDialog : public QDialog {
    Q_OBJECT

  public:
    // The services and the writer must outlive the window. The start
    // directory is the current directory at construction.
    explicit MuxDialog(DialogServices& services, ContainerWriter writer = zorpa::write_container,
                       QWidget* parent = nullptr);

    const QString& picture_name() const { return picture_name_; }
    const QString& sound_name() const { return sound_name_; }
    const QString& start_directory() const { return start_directory_; }
    bool writing() const { return writing_; }

    // Place the window in the middle of its screen, size unchanged.
    void centre_on_screen();

    // The button handlers, in the order of the buttons.
    void quit_clicked();
    void select_picture_clicked();
    void select_sound_clicked();
    void create_clicked();

    // Escape and the close box arrive here; they quit like "QUIT".
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QPushButton* make_button(const char* id, const QString& text, const QRect& geometry);
    QLabel* make_label(const char* id, const QString& text, Qt::Alignment alignment,
                       const QRect& geometry);
    QLineEdit* make_field(const char* id, const QRect& geometry);

    // Progress bar as the writer drives it: a range, a position and a step of
    // one that starts over from the low end when it passes the high end.
    void progress_set_range(std::uint32_t low, std::uint32_t high);
    void progress_set_position(std::uint32_t position);
    void progress_step();
    void show_progress();

    void request_quit();

    DialogServices& services_;
    ContainerWriter writer_;

    QString picture_name_;
    QString sound_name_;
    QString start_directory_;

    QLabel* picture_label_ = nullptr;
    QLabel* sound_label_ = nullptr;
    QLineEdit* start_field_ = nullptr;
    QLineEdit* offset_field_ = nullptr;
    QLineEdit* last_field_ = nullptr;
    QProgressBar* progress_bar_ = nullptr;

    long long progress_low_ = 0;
    long long progress_high_ = 80;
    long long progress_position_ = 0;
    int progress_step_size_ = 1;

    bool writing_ = false;
    bool quit_pending_ = false;
};

}  // namespace zorpamux
