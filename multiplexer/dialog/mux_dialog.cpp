#include "mux_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <algorithm>
#include <climits>
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

// Longest field text that is read, as a 64-byte buffer would hold it.
constexpr int kFieldTextLimit = 63;

const QColor kBackground(217, 217, 217);

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

std::string file_name_bytes(const QString& name) {
#ifdef _WIN32
    // The container writer's file layer takes UTF-8 names on Windows
    // (encodeName would give the ANSI code page there).
    const QByteArray bytes = name.toUtf8();
#else
    const QByteArray bytes = QFile::encodeName(name);
#endif
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

QRect dialog_units_to_pixels(const QFontMetrics& metrics, int x, int y, int width, int height) {
    const int char_width = metrics.averageCharWidth();
    const int char_height = metrics.height();
    return QRect(mul_div(x, char_width, 4), mul_div(y, char_height, 8),
                 mul_div(width, char_width, 4), mul_div(height, char_height, 8));
}

int field_number(const QString& text) {
    const QString head = text.left(kFieldTextLimit);
    qsizetype i = 0;
    const qsizetype n = head.size();
    while (i < n && (head[i] == u' ' || (head[i] >= u'\t' && head[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < n && (head[i] == u'+' || head[i] == u'-')) {
        negative = head[i] == u'-';
        ++i;
    }
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; i < n && head[i] >= u'0' && head[i] <= u'9'; ++i) {
        value = std::min(limit, value * 10 + (head[i].unicode() - u'0'));
    }
    return static_cast<int>(negative ? -value : value);
}

MuxDialog::MuxDialog(DialogServices& services, ContainerWriter writer, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      services_(services),
      writer_(std::move(writer)),
      start_directory_(QDir::currentPath()) {
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

    const QRect client = du(0, 0, kDialogWidthDu, kDialogHeightDu);
    setFixedSize(client.size());

    QPalette background = palette();
    background.setColor(QPalette::Window, kBackground);
    setPalette(background);
    setAutoFillBackground(true);

    setWindowIcon(QIcon(QStringLiteral(":/zorpamux/zorpamux.png")));

    // Controls in the order of the original template, which is also the
    // keyboard focus order.
    QPushButton* quit = make_button(kQuitId, QStringLiteral("QUIT"), du(174, 70, 50, 14));
    QPushButton* select_picture =
        make_button(kSelectPictureId, QStringLiteral("Select BVK"), du(15, 10, 80, 14));
    QPushButton* select_sound =
        make_button(kSelectSoundId, QStringLiteral("Select Audio"), du(15, 31, 80, 14));
    QPushButton* create = make_button(kCreateId, QStringLiteral("Create ZRP"), du(17, 70, 100, 14));
    picture_label_ = make_label(kPictureLabelId, QStringLiteral("ANIM0000.BVK"),
                                Qt::AlignRight | Qt::AlignTop, du(101, 12, 63, 10));
    sound_label_ = make_label(kSoundLabelId, QStringLiteral("AUDIO.WAV"),
                              Qt::AlignRight | Qt::AlignTop, du(101, 33, 64, 8));
    condense_to_fit(*make_label(kStartLabelId, QStringLiteral("Start frame:"),
                                Qt::AlignHCenter | Qt::AlignTop, du(179, 0, 37, 8)));
    start_field_ = make_field(kStartFieldId, du(189, 11, 28, 12));
    offset_field_ = make_field(kOffsetFieldId, du(189, 28, 28, 12));
    condense_to_fit(*make_label(kLastLabelId, QStringLiteral("Last frame # :"),
                                Qt::AlignLeft | Qt::AlignTop, du(138, 50, 44, 8)));
    last_field_ = make_field(kLastFieldId, du(189, 48, 28, 13));

    // The progress bar sits below the controls, placed in pixels.
    progress_bar_ = new QProgressBar(this);
    progress_bar_->setObjectName(QString::fromLatin1(kProgressId));
    progress_bar_->setGeometry(10, 142, 336, 18);
    progress_bar_->setTextVisible(false);
    progress_set_range(0, 80);
    progress_step_size_ = 1;

    start_field_->setText(QStringLiteral("0"));
    offset_field_->setText(QStringLiteral("0"));
    last_field_->setText(QStringLiteral("0"));

    connect(quit, &QPushButton::clicked, this, &MuxDialog::quit_clicked);
    connect(select_picture, &QPushButton::clicked, this, &MuxDialog::select_picture_clicked);
    connect(select_sound, &QPushButton::clicked, this, &MuxDialog::select_sound_clicked);
    connect(create, &QPushButton::clicked, this, &MuxDialog::create_clicked);

    centre_on_screen();
}

QPushButton* MuxDialog::make_button(const char* id, const QString& text, const QRect& geometry) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(id));
    button->setGeometry(geometry);
    return button;
}

QLabel* MuxDialog::make_label(const char* id, const QString& text, Qt::Alignment alignment,
                              const QRect& geometry) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(id));
    label->setTextFormat(Qt::PlainText);  // file names are never markup
    label->setText(text);
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
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
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
    request_quit();
}

void MuxDialog::reject() {
    request_quit();
}

void MuxDialog::closeEvent(QCloseEvent* event) {
    // Ending the program is up to the services; the window stays as it is.
    event->ignore();
    request_quit();
}

void MuxDialog::request_quit() {
    if (writing_) {
        // The writer runs to its end first; quit as soon as it returns.
        quit_pending_ = true;
        return;
    }
    services_.quit(0);
}

void MuxDialog::select_picture_clicked() {
    const std::optional<QString> chosen = services_.open_picture(this, start_directory_);
    if (!chosen) return;
    picture_name_ = *chosen;
    picture_label_->setText(picture_name_);
    update();
}

void MuxDialog::select_sound_clicked() {
    const std::optional<QString> chosen = services_.open_sound(this, start_directory_);
    if (chosen) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        sound_name_ = *chosen;
        sound_label_->setText(sound_name_);
        repaint();
        QGuiApplication::restoreOverrideCursor();
    }
}

void MuxDialog::create_clicked() {
    if (writing_) return;
    if (picture_name_.isEmpty()) {
        services_.show_message(this, MessageKind::Information, QString::fromLatin1(kWindowTitle),
                               QStringLiteral("Please choose the first picture file of the series "
                                              "with \"Select BVK\" first."));
        return;
    }

    const std::optional<QString> chosen = services_.save_container(this, start_directory_);
    if (!chosen) return;

    repaint();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);

    zorpa::ContainerRequest request;
    request.picture_name = file_name_bytes(picture_name_);
    request.sound_name = sound_name_.isEmpty() ? std::string() : file_name_bytes(sound_name_);
    // The fields convert like atoi; the writer counts frames in unsigned
    // 32-bit arithmetic, so a negative value wraps as it would there.
    request.sound_offset = static_cast<std::uint32_t>(field_number(offset_field_->text()));
    request.start_frame = static_cast<std::uint32_t>(field_number(start_field_->text()));
    request.last_frame = static_cast<std::uint32_t>(field_number(last_field_->text()));
    request.container_name = file_name_bytes(*chosen);

    zorpa::Progress progress;
    progress.set_range = [this](std::uint32_t low, std::uint32_t high) {
        progress_set_range(low, high);
    };
    progress.set_position = [this](std::uint32_t position) { progress_set_position(position); };
    progress.step = [this] { progress_step(); };

    writing_ = true;
    zorpa::ContainerResult result;
    try {
        result = writer_(request, progress);
    } catch (const std::exception& error) {
        result.ok = false;
        result.message = error.what();
    }
    writing_ = false;

    QGuiApplication::restoreOverrideCursor();

    if (!result.ok) {
        QString text = QString::fromLocal8Bit(result.message.data(),
                                              static_cast<qsizetype>(result.message.size()));
        if (text.isEmpty()) text = QStringLiteral("The container could not be written.");
        services_.show_message(this, MessageKind::Error, QStringLiteral("Error"), text);
    }

    if (quit_pending_) {
        quit_pending_ = false;
        services_.quit(0);
    }
}

void MuxDialog::progress_set_range(std::uint32_t low, std::uint32_t high) {
    progress_low_ = low;
    progress_high_ = high;
    progress_position_ =
        std::clamp(progress_position_, progress_low_, std::max(progress_low_, progress_high_));
    show_progress();
}

void MuxDialog::progress_set_position(std::uint32_t position) {
    progress_position_ = std::clamp(static_cast<long long>(position), progress_low_,
                                    std::max(progress_low_, progress_high_));
    show_progress();
}

void MuxDialog::progress_step() {
    progress_position_ += progress_step_size_;
    if (progress_position_ > progress_high_) progress_position_ = progress_low_;
    show_progress();
}

void MuxDialog::show_progress() {
    if (progress_high_ > progress_low_) {
        const long long high = std::min<long long>(progress_high_, INT_MAX);
        const long long low = std::min<long long>(progress_low_, high);
        progress_bar_->setRange(static_cast<int>(low), static_cast<int>(high));
        progress_bar_->setValue(static_cast<int>(std::clamp(progress_position_, low, high)));
    } else {
        // An empty range would turn QProgressBar into a busy indicator; show
        // an empty bar instead.
        progress_bar_->setRange(0, 1);
        progress_bar_->setValue(0);
    }
    if (writing_) {
        // Let the window repaint while the writer works, but leave mouse and
        // keyboard input queued until it returns.
        progress_bar_->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

}  // namespace zorpamux
