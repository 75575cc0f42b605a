// The zorpamux window: pick the first picture of a numbered series and a WAV
// file, type the frame range and the sound offset, and "Create ZRP" runs the
// container writer while the progress bar follows the frames. What the
// window does is the toolkit-free MuxModel's; this class draws it with Qt.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>
#include <optional>
#include <string>

#include "container_writer.h"
#include "dialog_services.h"
#include "mux_model.h"

class QCloseEvent;
class QFontMetrics;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zorpamux {

// Object names of the controls: their identifiers.
#define ZORPAMUX_ID_TEXT(id) ZORPAMUX_ID_TEXT_OF(id)
#define ZORPAMUX_ID_TEXT_OF(id) #id
inline constexpr const char* kQuitId = ZORPAMUX_ID_TEXT(ZORPAMUX_QUIT_ID);
inline constexpr const char* kSelectPictureId = ZORPAMUX_ID_TEXT(ZORPAMUX_SELECT_PICTURE_ID);
inline constexpr const char* kSelectSoundId = ZORPAMUX_ID_TEXT(ZORPAMUX_SELECT_SOUND_ID);
inline constexpr const char* kCreateId = ZORPAMUX_ID_TEXT(ZORPAMUX_CREATE_ID);
inline constexpr const char* kPictureLabelId = ZORPAMUX_ID_TEXT(ZORPAMUX_PICTURE_LABEL_ID);
inline constexpr const char* kSoundLabelId = ZORPAMUX_ID_TEXT(ZORPAMUX_SOUND_LABEL_ID);
inline constexpr const char* kStartLabelId = ZORPAMUX_ID_TEXT(ZORPAMUX_START_LABEL_ID);
inline constexpr const char* kStartFieldId = ZORPAMUX_ID_TEXT(ZORPAMUX_START_FIELD_ID);
inline constexpr const char* kOffsetFieldId = ZORPAMUX_ID_TEXT(ZORPAMUX_OFFSET_FIELD_ID);
inline constexpr const char* kLastLabelId = ZORPAMUX_ID_TEXT(ZORPAMUX_LAST_LABEL_ID);
inline constexpr const char* kLastFieldId = ZORPAMUX_ID_TEXT(ZORPAMUX_LAST_FIELD_ID);
inline constexpr const char* kProgressId = ZORPAMUX_ID_TEXT(ZORPAMUX_PROGRESS_ID);

// Dialog units to pixels: horizontal units are a quarter of the font's
// average character width, vertical units an eighth of its height, rounded
// to the nearest pixel.
QRect dialog_units_to_pixels(const QFontMetrics& metrics, int x, int y, int width, int height);

// The model's field_number() of a Qt string.
int field_number(const QString& text);

class MuxDialog : public QDialog, private WindowHost {
    Q_OBJECT

  public:
    // The services and the writer must outlive the window. The start
    // directory is the current directory at construction.
    explicit MuxDialog(DialogServices& services, ContainerWriter writer = zorpa::write_container,
                       QWidget* parent = nullptr);

    QString picture_name() const { return QString::fromStdString(model_.picture_name()); }
    QString sound_name() const { return QString::fromStdString(model_.sound_name()); }
    QString start_directory() const { return QString::fromStdString(model_.start_directory()); }
    bool writing() const { return model_.writing(); }

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
    QPushButton* make_button(const char* id, const char* text, const QRect& geometry);
    QLabel* make_label(const char* id, const char* text, Qt::Alignment alignment,
                       const QRect& geometry);
    QLineEdit* make_field(const char* id, const QRect& geometry);

    // WindowHost: the model's calls, answered with Qt.
    std::optional<std::string> choose_file(Chooser which,
                                           const std::string& start_directory) override;
    void show_message(MessageKind kind, const std::string& title, const std::string& text) override;
    void quit(int status) override;
    std::u16string field_text(Field field) override;
    void show_name(Chooser which, const std::string& name) override;
    void set_busy(bool busy) override;
    void show_progress(const BarState& bar, bool writing) override;

    DialogServices& services_;
    MuxModel model_;

    QLabel* picture_label_ = nullptr;
    QLabel* sound_label_ = nullptr;
    QLineEdit* start_field_ = nullptr;
    QLineEdit* offset_field_ = nullptr;
    QLineEdit* last_field_ = nullptr;
    QProgressBar* progress_bar_ = nullptr;
};

}  // namespace zorpamux
