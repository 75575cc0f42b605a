#include "mux_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QValidator>
#include <utility>

// Resources live in this static library; referencing them here keeps the
// linker from dropping them.
static void init_zorpamux_resources() {
    Q_INIT_RESOURCE(zorpamux);
}

namespace zorpamux {

namespace {

// Rounded a * b / c, as the platform's MulDiv maps dialog units.
int mul_div(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

const QColor kBackground(ZORPAMUX_BACKGROUND);

QString from_utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string to_utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::u16string to_utf16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

// The fields take what the model accepts.
class FieldValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return field_text_acceptable(to_utf16(input)) ? Acceptable : Invalid;
    }
};

// Labels were laid out for the narrow fonts of another platform; when a
// fixed label's text is wider than its box here, condense its font just
// enough instead of moving or clipping it.
void condense_to_fit(QLabel& label) {
    const int room = label.width();
    QFont condensed = label.font();
    for (int stretch = 100; stretch >= 60; stretch -= 2) {
        condensed.setStretch(stretch);
        if (QFontMetrics(condensed).horizontalAdvance(label.text()) <= room) break;
    }
    if (condensed.stretch() != 100) label.setFont(condensed);
}

}  // namespace

QRect dialog_units_to_pixels(const QFontMetrics& metrics, int x, int y, int width, int height) {
    const int char_width = metrics.averageCharWidth();
    const int char_height = metrics.height();
    return QRect(mul_div(x, char_width, 4), mul_div(y, char_height, 8),
                 mul_div(width, char_width, 4), mul_div(height, char_height, 8));
}

int field_number(const QString& text) {
    return field_number(to_utf16(text));
}

MuxDialog::MuxDialog(DialogServices& services, ContainerWriter writer, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      services_(services),
      model_(*this, std::move(writer), to_utf8(QDir::currentPath())) {
    init_zorpamux_resources();

    setWindowTitle(QString::fromLatin1(kWindowTitle));
    setModal(false);

    QFont dialog_font(QStringLiteral("MS Sans Serif"));
    dialog_font.setPointSize(8);
    dialog_font.setStyleHint(QFont::SansSerif);
    setFont(dialog_font);
    const QFontMetrics metrics(font());
    const auto du = [&metrics](int x, int y, int w, int h) {
        return dialog_units_to_pixels(metrics, x, y, w, h);
    };

    const QRect client = du(0, 0, ZORPAMUX_WIDTH_DU, ZORPAMUX_HEIGHT_DU);
    setFixedSize(client.size());

    QPalette background = palette();
    background.setColor(QPalette::Window, kBackground);
    setPalette(background);
    setAutoFillBackground(true);

    setWindowIcon(QIcon(QStringLiteral(":/zorpamux/zorpamux.png")));

    // Controls in the order of the original template, which is also the
    // keyboard focus order.
    QPushButton* quit = make_button(kQuitId, ZORPAMUX_QUIT_TEXT, du(ZORPAMUX_QUIT_BOX));
    QPushButton* select_picture = make_button(kSelectPictureId, ZORPAMUX_SELECT_PICTURE_TEXT,
                                              du(ZORPAMUX_SELECT_PICTURE_BOX));
    QPushButton* select_sound =
        make_button(kSelectSoundId, ZORPAMUX_SELECT_SOUND_TEXT, du(ZORPAMUX_SELECT_SOUND_BOX));
    QPushButton* create = make_button(kCreateId, ZORPAMUX_CREATE_TEXT, du(ZORPAMUX_CREATE_BOX));
    picture_label_ = make_label(kPictureLabelId, ZORPAMUX_PICTURE_LABEL_TEXT,
                                Qt::AlignRight | Qt::AlignTop, du(ZORPAMUX_PICTURE_LABEL_BOX));
    sound_label_ = make_label(kSoundLabelId, ZORPAMUX_SOUND_LABEL_TEXT,
                              Qt::AlignRight | Qt::AlignTop, du(ZORPAMUX_SOUND_LABEL_BOX));
    condense_to_fit(*make_label(kStartLabelId, ZORPAMUX_START_LABEL_TEXT,
                                Qt::AlignHCenter | Qt::AlignTop, du(ZORPAMUX_START_LABEL_BOX)));
    start_field_ = make_field(kStartFieldId, du(ZORPAMUX_START_FIELD_BOX));
    offset_field_ = make_field(kOffsetFieldId, du(ZORPAMUX_OFFSET_FIELD_BOX));
    condense_to_fit(*make_label(kLastLabelId, ZORPAMUX_LAST_LABEL_TEXT,
                                Qt::AlignLeft | Qt::AlignTop, du(ZORPAMUX_LAST_LABEL_BOX)));
    last_field_ = make_field(kLastFieldId, du(ZORPAMUX_LAST_FIELD_BOX));

    // The progress bar sits below the controls, placed in pixels.
    progress_bar_ = new QProgressBar(this);
    progress_bar_->setObjectName(QString::fromLatin1(kProgressId));
    progress_bar_->setGeometry(ZORPAMUX_PROGRESS_PIXELS);
    progress_bar_->setTextVisible(false);
    show_progress(model_.bar(), false);

    connect(quit, &QPushButton::clicked, this, &MuxDialog::quit_clicked);
    connect(select_picture, &QPushButton::clicked, this, &MuxDialog::select_picture_clicked);
    connect(select_sound, &QPushButton::clicked, this, &MuxDialog::select_sound_clicked);
    connect(create, &QPushButton::clicked, this, &MuxDialog::create_clicked);

    centre_on_screen();
}

QPushButton* MuxDialog::make_button(const char* id, const char* text, const QRect& geometry) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setObjectName(QString::fromLatin1(id));
    button->setGeometry(geometry);
    return button;
}

QLabel* MuxDialog::make_label(const char* id, const char* text, Qt::Alignment alignment,
                              const QRect& geometry) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(id));
    label->setTextFormat(Qt::PlainText);  // file names are never markup
    label->setText(QString::fromUtf8(text));
    label->setAlignment(alignment);
    label->setGeometry(geometry);
    // Black text on a transparent background.
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(colours);
    label->setAutoFillBackground(false);
    return label;
}

QLineEdit* MuxDialog::make_field(const char* id, const QRect& geometry) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(id));
    field->setGeometry(geometry);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setFrame(true);
    field->setValidator(new FieldValidator(field));
    field->setText(QStringLiteral(ZORPAMUX_FIELD_TEXT));
    return field;
}

void MuxDialog::centre_on_screen() {
    const QScreen* target = screen();
    if (target == nullptr) target = QGuiApplication::primaryScreen();
    if (target == nullptr) return;
    const QRect desktop = target->geometry();
    const QSize outer = frameGeometry().size();
    move(desktop.x() + (desktop.width() - outer.width()) / 2,
         desktop.y() + (desktop.height() - outer.height()) / 2);
}

void MuxDialog::quit_clicked() {
    model_.quit_clicked();
}

void MuxDialog::reject() {
    model_.quit_clicked();
}

void MuxDialog::closeEvent(QCloseEvent* event) {
    // Ending the program is up to the services; the window stays as it is.
    event->ignore();
    model_.quit_clicked();
}

void MuxDialog::select_picture_clicked() {
    model_.select_picture_clicked();
}

void MuxDialog::select_sound_clicked() {
    model_.select_sound_clicked();
}

void MuxDialog::create_clicked() {
    model_.create_clicked();
}

std::optional<std::string> MuxDialog::choose_file(Chooser which,
                                                  const std::string& start_directory) {
    const QString start = from_utf8(start_directory);
    std::optional<QString> chosen;
    switch (which) {
        case Chooser::Picture:
            chosen = services_.open_picture(this, start);
            break;
        case Chooser::Sound:
            chosen = services_.open_sound(this, start);
            break;
        case Chooser::Container:
            chosen = services_.save_container(this, start);
            break;
    }
    if (!chosen) return std::nullopt;
    return to_utf8(*chosen);
}

void MuxDialog::show_message(MessageKind kind, const std::string& title, const std::string& text) {
    services_.show_message(this, kind, from_utf8(title), from_utf8(text));
}

void MuxDialog::quit(int status) {
    services_.quit(status);
}

std::u16string MuxDialog::field_text(Field field) {
    switch (field) {
        case Field::Start:
            return to_utf16(start_field_->text());
        case Field::Offset:
            return to_utf16(offset_field_->text());
        case Field::Last:
            break;
    }
    return to_utf16(last_field_->text());
}

void MuxDialog::show_name(Chooser which, const std::string& name) {
    QLabel* label = which == Chooser::Sound ? sound_label_ : picture_label_;
    label->setText(from_utf8(name));
    repaint();
}

void MuxDialog::set_busy(bool busy) {
    if (busy) {
        repaint();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

void MuxDialog::show_progress(const BarState& bar, bool writing) {
    progress_bar_->setRange(bar.low, bar.high);
    progress_bar_->setValue(bar.position);
    if (writing) {
        // Let the window repaint while the writer works, but leave mouse and
        // keyboard input queued until it returns.
        progress_bar_->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

}  // namespace zorpamux
