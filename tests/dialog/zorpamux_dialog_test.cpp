// Tests of the zorpamux window, run under the offscreen platform. The file
// choosers, message boxes and quitting go through a fake DialogServices, so
// no real dialog ever opens.
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QValidator>
#include <climits>
#include <optional>

#include "container_writer.h"
#include "dialog_services.h"
#include "mux_dialog.h"

using zorpamux::MessageKind;
using zorpamux::MuxDialog;

namespace {

const QString kCancel;

struct Message {
    MessageKind kind;
    QString title;
    QString text;
};

// Answers the choosers from queues and records every call.
class FakeServices : public zorpamux::DialogServices {
  public:
    // Answers in order; a null QString (kCancel) cancels the chooser.
    QStringList pictures;
    QStringList sounds;
    QStringList containers;
    QStringList picture_dirs;
    QStringList sound_dirs;
    QStringList container_dirs;
    QList<Message> messages;
    QList<int> quits;

    std::optional<QString> open_picture(QWidget*, const QString& start_dir) override {
        picture_dirs << start_dir;
        return next(pictures);
    }
    std::optional<QString> open_sound(QWidget*, const QString& start_dir) override {
        sound_dirs << start_dir;
        return next(sounds);
    }
    std::optional<QString> save_container(QWidget*, const QString& start_dir) override {
        container_dirs << start_dir;
        return next(containers);
    }
    void show_message(QWidget*, MessageKind kind, const QString& title,
                      const QString& text) override {
        messages.push_back({kind, title, text});
    }
    void quit(int status) override { quits << status; }

  private:
    static std::optional<QString> next(QStringList& queue) {
        if (queue.isEmpty() || queue.front().isNull()) {
            if (!queue.isEmpty()) queue.pop_front();
            return std::nullopt;
        }
        return queue.takeFirst();
    }
};

// A writer that must not be called.
zorpa::ContainerResult unexpected_writer(const zorpa::ContainerRequest&, const zorpa::Progress&) {
    qFatal("the container writer was called");
    return {};
}

template <typename T>
T* child(MuxDialog& dialog, const char* id) {
    T* found = dialog.findChild<T*>(QString::fromLatin1(id));
    if (found == nullptr) qFatal("no control named %s", id);
    return found;
}

QByteArray read_all(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

bool write_all(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A picture file of the encoder's size whose bytes depend on the frame.
QByteArray picture_bytes(int frame) {
    QByteArray bytes(51200, '\0');
    for (int i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 7 + frame * 31 + (i >> 9)) & 0xFF);
    }
    return bytes;
}

// A 44-byte header followed by 8-bit samples.
QByteArray wav_bytes(int samples) {
    QByteArray bytes(44 + samples, '\0');
    bytes.replace(0, 4, "RIFF");
    bytes.replace(8, 8, "WAVEfmt ");
    for (int i = 0; i < samples; ++i) {
        bytes[44 + i] = static_cast<char>((i * 5 + (i >> 7)) & 0xFF);
    }
    return bytes;
}

void set_field(MuxDialog& dialog, const char* id, const QString& text) {
    QLineEdit* field = child<QLineEdit>(dialog, id);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

QRect expected_rect(const QFontMetrics& metrics, int x, int y, int w, int h) {
    const double cx = metrics.averageCharWidth() / 4.0;
    const double cy = metrics.height() / 8.0;
    return QRect(qRound(x * cx), qRound(y * cy), qRound(w * cx), qRound(h * cy));
}

bool is_background(QRgb pixel) {
    return qRed(pixel) == 217 && qGreen(pixel) == 217 && qBlue(pixel) == 217;
}

// Names of the files a configured chooser lists in its directory.
QStringList listed_files(QFileDialog& chooser, const QString& dir) {
    auto* model = chooser.findChild<QFileSystemModel*>();
    if (model == nullptr) return {};
    const QModelIndex parent = model->index(dir);
    if (model->canFetchMore(parent)) model->fetchMore(parent);
    QStringList names;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (!model->isDir(index)) names << model->fileName(index);
    }
    names.sort();
    return names;
}

}  // namespace

class ZorpamuxDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void fresh_start();
    void geometry_follows_font_metrics();
    void colours_and_icon();
    void picture_selection_and_cancel();
    void start_directory_is_fixed_at_start();
    void sound_selection_replace_and_cancel();
    void fields_take_digits_only();
    void field_numbers_read_like_atoi();
    void create_without_picture_asks_for_one();
    void create_cancelled_writes_nothing();
    void create_passes_fields_and_names_to_writer();
    void create_without_sound_passes_empty_sound();
    void writing_shows_wait_cursor_and_moves_bar();
    void quit_during_writing_waits_for_writer();
    void writer_failure_is_shown();
    void container_matches_command_line_tool();
    void missing_frame_is_shown();
    void message_keeps_non_ascii_names();
    void quit_button_escape_and_close_box_quit();
    void real_quit_ends_event_loop_with_status();
    void choosers_use_filters_and_defaults();
    void choosers_match_mixed_case_names();
    void icon_is_generator_output();
};

void ZorpamuxDialogTest::fresh_start() {
    FakeServices services;
    MuxDialog dialog(services, unexpected_writer);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("STE Zorpa multiplexer"));

    QCOMPARE(child<QPushButton>(dialog, "1015")->text(), QStringLiteral("QUIT"));
    QCOMPARE(child<QPushButton>(dialog, "1004")->text(), QStringLiteral("Select BVK"));
    QCOMPARE(child<QPushButton>(dialog, "1005")->text(), QStringLiteral("Select Audio"));
    QCOMPARE(child<QPushButton>(dialog, "1006")->text(), QStringLiteral("Create ZRP"));

    QCOMPARE(child<QLabel>(dialog, "1007")->text(), QStringLiteral("ANIM0000.BVK"));
    QCOMPARE(child<QLabel>(dialog, "1008")->text(), QStringLiteral("AUDIO.WAV"));
    QCOMPARE(child<QLabel>(dialog, "1009")->text(), QStringLiteral("Start frame:"));
    QCOMPARE(child<QLabel>(dialog, "1013")->text(), QStringLiteral("Last frame # :"));
    QVERIFY(child<QLabel>(dialog, "1007")->alignment() & Qt::AlignRight);
    QVERIFY(child<QLabel>(dialog, "1008")->alignment() & Qt::AlignRight);
    QVERIFY(child<QLabel>(dialog, "1009")->alignment() & Qt::AlignHCenter);
    QVERIFY(child<QLabel>(dialog, "1013")->alignment() & Qt::AlignLeft);

    for (const char* id : {"1011", "1012", "1014"}) {
        QLineEdit* field = child<QLineEdit>(dialog, id);
        QCOMPARE(field->text(), QStringLiteral("0"));
        QVERIFY(field->alignment() & Qt::AlignRight);
        QVERIFY(field->hasFrame());
    }

    QProgressBar* bar = child<QProgressBar>(dialog, "1099");
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 80);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->geometry(), QRect(10, 142, 336, 18));

    // The two labels are labels only: nothing is chosen yet.
    QVERIFY(dialog.picture_name().isEmpty());
    QVERIFY(dialog.sound_name().isEmpty());
    QCOMPARE(dialog.start_directory(), QDir::currentPath());
    QVERIFY(!dialog.isModal());
}

void ZorpamuxDialogTest::geometry_follows_font_metrics() {
    FakeServices services;
    MuxDialog dialog(services, unexpected_writer);
    const QFontMetrics metrics(dialog.font());
    QVERIFY(metrics.averageCharWidth() > 0);

    struct Control {
        const char* id;
        int x, y, w, h;
    };
    const Control controls[] = {
        {"1015", 174, 70, 50, 14}, {"1004", 15, 10, 80, 14},  {"1005", 15, 31, 80, 14},
        {"1006", 17, 70, 100, 14}, {"1007", 101, 12, 63, 10}, {"1008", 101, 33, 64, 8},
        {"1009", 179, 0, 37, 8},   {"1011", 189, 11, 28, 12}, {"1012", 189, 28, 28, 12},
        {"1013", 138, 50, 44, 8},  {"1014", 189, 48, 28, 13},
    };
    for (const Control& c : controls) {
        QWidget* widget = dialog.findChild<QWidget*>(QString::fromLatin1(c.id));
        QVERIFY2(widget != nullptr, c.id);
        QCOMPARE(widget->geometry(), expected_rect(metrics, c.x, c.y, c.w, c.h));
    }
    QCOMPARE(dialog.size(), expected_rect(metrics, 0, 0, 236, 102).size());
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());

    // Fixed labels fit their boxes, condensed if need be.
    for (const char* id : {"1009", "1013"}) {
        QLabel* label = child<QLabel>(dialog, id);
        QVERIFY2(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width(),
                 id);
    }

    // Centred on the screen.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.centre_on_screen();
    const QRect screen = dialog.screen()->geometry();
    const QRect frame = dialog.frameGeometry();
    QVERIFY(qAbs((frame.left() - screen.left()) - (screen.right() - frame.right())) <= 1);
    QVERIFY(qAbs((frame.top() - screen.top()) - (screen.bottom() - frame.bottom())) <= 1);
}

void ZorpamuxDialogTest::colours_and_icon() {
    FakeServices services;
    MuxDialog dialog(services, unexpected_writer);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QImage picture = dialog.grab().toImage();
    QVERIFY(!picture.isNull());

    // Background outside every control.
    QVERIFY(is_background(picture.pixel(2, 2)));
    QVERIFY(is_background(picture.pixel(dialog.width() - 3, dialog.height() - 3)));

    // Static texts: black ink on the background, no box of their own.
    QLabel* label = child<QLabel>(dialog, "1007");
    const QRect box = label->geometry();
    QVERIFY(is_background(picture.pixel(box.left() + 1, box.top() + box.height() / 2)));
    int darkest = 255;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            darkest = qMin(darkest, qGray(picture.pixel(x, y)));
        }
    }
    QVERIFY2(darkest < 60, "the label's text is not drawn in black");

    const QIcon icon = dialog.windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(64, 64)));
}

void ZorpamuxDialogTest::picture_selection_and_cancel() {
    FakeServices services;
    MuxDialog dialog(services, unexpected_writer);
    const QString chosen = QStringLiteral("/data/films/ANIM00000.BVK");
    services.pictures = {chosen, kCancel};

    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QCOMPARE(dialog.picture_name(), chosen);
    QCOMPARE(child<QLabel>(dialog, "1007")->text(), chosen);

    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QCOMPARE(services.picture_dirs.size(), 2);
    QCOMPARE(dialog.picture_name(), chosen);
    QCOMPARE(child<QLabel>(dialog, "1007")->text(), chosen);
    QVERIFY(dialog.sound_name().isEmpty());
    QCOMPARE(child<QLabel>(dialog, "1008")->text(), QStringLiteral("AUDIO.WAV"));
    QVERIFY(services.messages.isEmpty());
}

void ZorpamuxDialogTest::start_directory_is_fixed_at_start() {
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString original = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    const QString start = QDir::currentPath();
    FakeServices services;
    MuxDialog dialog(services, unexpected_writer);
    QVERIFY(QDir::setCurrent(original));

    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "1005"), Qt::LeftButton);
    QCOMPARE(services.picture_dirs, QStringList{start});
    QCOMPARE(services.sound_dirs, QStringList{start});
    QCOMPARE(QDir::currentPath(), original);
}

void ZorpamuxDialogTest::sound_selection_replace_and_cancel() {
    FakeServices services;
    MuxDialog dialog(services, unexpected_writer);
    const QString first = QStringLiteral("/music/first.WAV");
    const QString second = QStringLiteral("/music/second.wav");
    services.sounds = {first, second, kCancel};

    QTest::mouseClick(child<QPushButton>(dialog, "1005"), Qt::LeftButton);
    QCOMPARE(dialog.sound_name(), first);
    QCOMPARE(child<QLabel>(dialog, "1008")->text(), first);

    QTest::mouseClick(child<QPushButton>(dialog, "1005"), Qt::LeftButton);
    QCOMPARE(dialog.sound_name(), second);
    QCOMPARE(child<QLabel>(dialog, "1008")->text(), second);

    QTest::mouseClick(child<QPushButton>(dialog, "1005"), Qt::LeftButton);
    QCOMPARE(services.sound_dirs.size(), 3);
    QCOMPARE(dialog.sound_name(), second);
    QCOMPARE(child<QLabel>(dialog, "1008")->text(), second);
    QVERIFY(dialog.picture_name().isEmpty());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void ZorpamuxDialogTest::fields_take_digits_only() {
    FakeServices services;
    MuxDialog dialog(services, unexpected_writer);
    for (const char* id : {"1011", "1012", "1014"}) {
        QLineEdit* field = child<QLineEdit>(dialog, id);
        field->clear();
        QTest::keyClicks(field, QStringLiteral("4a-2 b+9."));
        QCOMPARE(field->text(), QStringLiteral("429"));

        const QValidator* validator = field->validator();
        QVERIFY(validator != nullptr);
        QString text = QStringLiteral("12x");
        int position = 0;
        QCOMPARE(validator->validate(text, position), QValidator::Invalid);
        text = QStringLiteral("-1");
        QCOMPARE(validator->validate(text, position), QValidator::Invalid);
        text = QStringLiteral("0012345678901234567890");
        QCOMPARE(validator->validate(text, position), QValidator::Acceptable);
        text = QString();
        QCOMPARE(validator->validate(text, position), QValidator::Acceptable);
    }
}

void ZorpamuxDialogTest::field_numbers_read_like_atoi() {
    using zorpamux::field_number;
    QCOMPARE(field_number(QString()), 0);
    QCOMPARE(field_number(QStringLiteral("0")), 0);
    QCOMPARE(field_number(QStringLiteral("007")), 7);
    QCOMPARE(field_number(QStringLiteral("99999")), 99999);
    QCOMPARE(field_number(QStringLiteral("  12")), 12);
    QCOMPARE(field_number(QStringLiteral("+5")), 5);
    QCOMPARE(field_number(QStringLiteral("-3")), -3);
    QCOMPARE(field_number(QStringLiteral("12abc3")), 12);
    QCOMPARE(field_number(QStringLiteral("x12")), 0);
    QCOMPARE(field_number(QStringLiteral("2147483647")), INT_MAX);
    QCOMPARE(field_number(QStringLiteral("99999999999999999999")), INT_MAX);
    QCOMPARE(field_number(QStringLiteral("-99999999999999999999")), INT_MIN);
    // Only the first 63 characters are read.
    QCOMPARE(field_number(QString(62, u'0') + QStringLiteral("79")), 7);
}

void ZorpamuxDialogTest::create_without_picture_asks_for_one() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    FakeServices services;
    services.containers = {dir.filePath(QStringLiteral("out.ZRP"))};
    // The real writer: nothing may reach the disk.
    MuxDialog dialog(services);
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);

    QCOMPARE(services.messages.size(), 1);
    QVERIFY(services.messages[0].text.contains(QStringLiteral("Select BVK")));
    QVERIFY(services.container_dirs.isEmpty());
    QCOMPARE(services.containers.size(), 1);
    QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    QVERIFY(services.quits.isEmpty());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void ZorpamuxDialogTest::create_cancelled_writes_nothing() {
    FakeServices services;
    services.pictures = {QStringLiteral("/films/ANIM00000.BVK")};
    services.containers = {kCancel};
    MuxDialog dialog(services, unexpected_writer);
    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);
    QCOMPARE(services.container_dirs.size(), 1);
    QVERIFY(services.messages.isEmpty());
    QCOMPARE(child<QProgressBar>(dialog, "1099")->value(), 0);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void ZorpamuxDialogTest::create_passes_fields_and_names_to_writer() {
    FakeServices services;
    const QString picture = QStringLiteral("/films/d\u00e9mo/ANIM00000.BVK");
    const QString sound = QStringLiteral("/films/d\u00e9mo/AUDIO.WAV");
    const QString container = QStringLiteral("/films/d\u00e9mo/out.ZRP");
    services.pictures = {picture};
    services.sounds = {sound};
    services.containers = {container};

    int calls = 0;
    zorpa::ContainerRequest seen;
    MuxDialog dialog(services, [&](const zorpa::ContainerRequest& request, const zorpa::Progress&) {
        ++calls;
        seen = request;
        zorpa::ContainerResult result;
        result.ok = true;
        return result;
    });
    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "1005"), Qt::LeftButton);
    set_field(dialog, "1011", QStringLiteral("12"));
    set_field(dialog, "1012", QStringLiteral("34"));
    set_field(dialog, "1014", QStringLiteral("56"));
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);

    QCOMPARE(calls, 1);
    QCOMPARE(seen.start_frame, 12u);
    QCOMPARE(seen.sound_offset, 34u);
    QCOMPARE(seen.last_frame, 56u);
    QCOMPARE(QString::fromUtf8(seen.picture_name.c_str()), picture);
    QCOMPARE(QString::fromUtf8(seen.sound_name.c_str()), sound);
    QCOMPARE(QString::fromUtf8(seen.container_name.c_str()), container);
    QVERIFY(services.messages.isEmpty());

    // The names stay for the next container.
    QCOMPARE(dialog.picture_name(), picture);
    QCOMPARE(dialog.sound_name(), sound);
}

void ZorpamuxDialogTest::create_without_sound_passes_empty_sound() {
    FakeServices services;
    services.pictures = {QStringLiteral("/films/ANIM00000.BVK")};
    services.containers = {QStringLiteral("/films/out.ZRP")};
    zorpa::ContainerRequest seen;
    seen.sound_name = "not called";
    MuxDialog dialog(services, [&](const zorpa::ContainerRequest& request, const zorpa::Progress&) {
        seen = request;
        zorpa::ContainerResult result;
        result.ok = true;
        return result;
    });
    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);
    QVERIFY(seen.sound_name.empty());
    QCOMPARE(seen.start_frame, 0u);
    QCOMPARE(seen.last_frame, 0u);
    QCOMPARE(seen.sound_offset, 0u);
}

void ZorpamuxDialogTest::writing_shows_wait_cursor_and_moves_bar() {
    FakeServices services;
    services.pictures = {QStringLiteral("/films/ANIM00000.BVK")};
    services.containers = {QStringLiteral("/films/out.ZRP"), QStringLiteral("/films/out2.ZRP")};
    QList<int> positions;
    QList<int> maxima;
    bool wait_cursor = false;
    bool writing = false;
    MuxDialog* dialog_ptr = nullptr;
    MuxDialog dialog(services,
                     [&](const zorpa::ContainerRequest&, const zorpa::Progress& progress) {
                         const QCursor* cursor = QGuiApplication::overrideCursor();
                         wait_cursor = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
                         writing = dialog_ptr->writing();
                         QProgressBar* bar = child<QProgressBar>(*dialog_ptr, "1099");
                         progress.set_range(0, 3);
                         progress.set_position(0);
                         maxima << bar->maximum();
                         positions << bar->value();
                         for (int i = 0; i < 4; ++i) {
                             progress.step();
                             positions << bar->value();
                         }
                         zorpa::ContainerResult result;
                         result.ok = true;
                         return result;
                     });
    dialog_ptr = &dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);

    QVERIFY(wait_cursor);
    QVERIFY(writing);
    QVERIFY(!dialog.writing());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(maxima, QList<int>{3});
    // A step past the top of the range starts over from the bottom.
    QCOMPARE(positions, (QList<int>{0, 1, 2, 3, 0}));
    QVERIFY(services.messages.isEmpty());

    // The bar keeps its last position after the writer returns; a second run
    // starts again from the position the writer sets.
    QCOMPARE(child<QProgressBar>(dialog, "1099")->value(), 0);
    positions.clear();
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);
    QCOMPARE(positions, (QList<int>{0, 1, 2, 3, 0}));
}

void ZorpamuxDialogTest::quit_during_writing_waits_for_writer() {
    FakeServices services;
    services.pictures = {QStringLiteral("/films/ANIM00000.BVK")};
    services.containers = {QStringLiteral("/films/out.ZRP")};
    MuxDialog* dialog_ptr = nullptr;
    bool quit_while_writing = true;
    MuxDialog dialog(services, [&](const zorpa::ContainerRequest&, const zorpa::Progress&) {
        // Escape and the close box arrive while the container is written.
        dialog_ptr->reject();
        dialog_ptr->close();
        quit_while_writing = !services.quits.isEmpty();
        zorpa::ContainerResult result;
        result.ok = true;
        return result;
    });
    dialog_ptr = &dialog;
    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);
    QVERIFY(!quit_while_writing);
    QCOMPARE(services.quits, QList<int>{0});
}

void ZorpamuxDialogTest::writer_failure_is_shown() {
    FakeServices services;
    services.pictures = {QStringLiteral("/films/ANIM00000.BVK")};
    services.containers = {QStringLiteral("/films/out.ZRP")};
    MuxDialog dialog(services, [](const zorpa::ContainerRequest&, const zorpa::Progress&) {
        zorpa::ContainerResult result;
        result.ok = false;
        result.message = "cannot open sound file \"x.wav\": No such file or directory";
        return result;
    });
    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);
    QCOMPARE(services.messages.size(), 1);
    QVERIFY(services.messages[0].kind == MessageKind::Error);
    QCOMPARE(services.messages[0].text,
             QStringLiteral("cannot open sound file \"x.wav\": No such file or directory"));
    QVERIFY(services.quits.isEmpty());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void ZorpamuxDialogTest::container_matches_command_line_tool() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // A folder name far past 260 characters, with non-ASCII letters.
    QString folder = root.path();
    for (int level = 0; level < 3; ++level) {
        folder += QStringLiteral("/d\u00e9j\u00e0_") + QString(120, QChar(u'a' + level));
    }
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(folder.size() > 300);

    const int first = 2;
    const int last = 99;
    const int offset = 3;
    for (int frame = first; frame <= last; ++frame) {
        const QString name =
            folder + QStringLiteral("/clip%1.BVK").arg(frame, 5, 10, QLatin1Char('0'));
        QVERIFY(write_all(name, picture_bytes(frame)));
    }
    const QString picture = folder + QStringLiteral("/clip00002.BVK");
    const QString sound = folder + QStringLiteral("/sound.WAV");
    QVERIFY(write_all(sound, wav_bytes(150000)));
    const QString from_dialog = folder + QStringLiteral("/dialog.ZRP");
    const QString from_cli = folder + QStringLiteral("/cli.ZRP");

    FakeServices services;
    services.pictures = {picture};
    services.sounds = {sound};
    services.containers = {from_dialog};
    MuxDialog dialog(services);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(dialog, "1005"), Qt::LeftButton);
    QCOMPARE(child<QLabel>(dialog, "1007")->text(), picture);
    set_field(dialog, "1011", QString::number(first));
    set_field(dialog, "1012", QString::number(offset));
    set_field(dialog, "1014", QString::number(last));
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);
    for (const Message& message : services.messages) qWarning() << message.text;
    QVERIFY(services.messages.isEmpty());

    // 98 frames: the range is 0 .. 1 and the bar steps once, after frame 82.
    QProgressBar* bar = child<QProgressBar>(dialog, "1099");
    QCOMPARE(bar->maximum(), 1);
    QCOMPARE(bar->value(), 1);

    QProcess cli;
    cli.start(QStringLiteral(ZORPAMUX_CLI),
              {QStringLiteral("-p"), picture, QStringLiteral("-s"), sound, QStringLiteral("-S"),
               QString::number(first), QStringLiteral("-L"), QString::number(last),
               QStringLiteral("-V"), QString::number(offset), QStringLiteral("-o"), from_cli});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());

    const QByteArray written = read_all(from_dialog);
    const QByteArray expected = read_all(from_cli);
    const qsizetype frames = last + 1 - first;
    QCOMPARE(expected.size(), 256 + 32512 + 42496 * frames);
    QCOMPARE(written.size(), expected.size());
    QVERIFY(written == expected);
    // The header announces the frames and the first record holds frame 2.
    QCOMPARE(written.mid(0, 10), QByteArray("STEAV3\0\0\0\x62", 10));
    QCOMPARE(written.mid(32768, 64), picture_bytes(first).mid(3360, 64));
}

void ZorpamuxDialogTest::missing_frame_is_shown() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int frame = 0; frame <= 4; ++frame) {
        QVERIFY(write_all(
            dir.filePath(QStringLiteral("ANIM%1.BVK").arg(frame, 5, 10, QLatin1Char('0'))),
            picture_bytes(frame)));
    }
    FakeServices services;
    services.pictures = {dir.filePath(QStringLiteral("ANIM00000.BVK"))};
    services.containers = {dir.filePath(QStringLiteral("out.ZRP"))};
    MuxDialog dialog(services);
    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    set_field(dialog, "1014", QStringLiteral("9"));
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);

    QCOMPARE(services.messages.size(), 1);
    QVERIFY(services.messages[0].kind == MessageKind::Error);
    QVERIFY2(services.messages[0].text.contains(QStringLiteral("ANIM00005")),
             qPrintable(services.messages[0].text));
    QVERIFY(services.quits.isEmpty());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

// The names go to the writer in UTF-8 and its message comes back in UTF-8:
// a folder name outside every 8-bit code page shows intact.
void ZorpamuxDialogTest::message_keeps_non_ascii_names() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("d\u00e9j\u00e0-\u5199\u771f"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(write_all(folder + QStringLiteral("/ANIM00000.BVK"), picture_bytes(0)));
    FakeServices services;
    services.pictures = {folder + QStringLiteral("/ANIM00000.BVK")};
    services.containers = {folder + QStringLiteral("/out.ZRP")};
    MuxDialog dialog(services);
    QTest::mouseClick(child<QPushButton>(dialog, "1004"), Qt::LeftButton);
    set_field(dialog, "1014", QStringLiteral("1"));
    QTest::mouseClick(child<QPushButton>(dialog, "1006"), Qt::LeftButton);
    QCOMPARE(services.messages.size(), 1);
    QVERIFY2(services.messages[0].text.contains(folder + QStringLiteral("/ANIM00001")),
             qPrintable(services.messages[0].text));
}

void ZorpamuxDialogTest::quit_button_escape_and_close_box_quit() {
    FakeServices services;
    MuxDialog dialog(services, unexpected_writer);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QTest::mouseClick(child<QPushButton>(dialog, "1015"), Qt::LeftButton);
    QCOMPARE(services.quits, QList<int>{0});

    // Escape, wherever the focus is.
    child<QLineEdit>(dialog, "1012")->setFocus();
    QTest::keyClick(child<QLineEdit>(dialog, "1012"), Qt::Key_Escape);
    QCOMPARE(services.quits, (QList<int>{0, 0}));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(services.quits, (QList<int>{0, 0, 0}));

    // The close box.
    dialog.close();
    QCOMPARE(services.quits, (QList<int>{0, 0, 0, 0}));
    QVERIFY(services.messages.isEmpty());
}

void ZorpamuxDialogTest::real_quit_ends_event_loop_with_status() {
    zorpamux::QtDialogServices services;
    QTimer::singleShot(0, [&services] { services.quit(0); });
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, [&loop] { loop.exit(99); });
    QCOMPARE(loop.exec(), 0);
}

void ZorpamuxDialogTest::choosers_use_filters_and_defaults() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    {
        QFileDialog chooser;
        zorpamux::configure_picture_chooser(chooser, dir.path());
        QCOMPARE(chooser.nameFilters(), (QStringList{QStringLiteral("BVK files (*.BVK)"),
                                                     QStringLiteral("All Files (*.*)")}));
        QCOMPARE(chooser.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(chooser.fileMode(), QFileDialog::ExistingFile);
        QVERIFY(chooser.defaultSuffix().isEmpty());
        QVERIFY(chooser.testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(QDir(chooser.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    }
    {
        QFileDialog chooser;
        zorpamux::configure_sound_chooser(chooser, dir.path());
        QCOMPARE(chooser.nameFilters(), (QStringList{QStringLiteral("WAV files (*.WAV)"),
                                                     QStringLiteral("All Files (*.*)")}));
        QCOMPARE(chooser.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(chooser.fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(chooser.defaultSuffix(), QStringLiteral("WAV"));
        QVERIFY(chooser.testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(QDir(chooser.directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    }
    {
        QFileDialog chooser;
        zorpamux::configure_container_chooser(chooser, dir.path());
        QCOMPARE(chooser.nameFilters(), QStringList{QStringLiteral("ZRP files (*.ZRP)")});
        QCOMPARE(chooser.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(chooser.defaultSuffix(), QStringLiteral("ZRP"));
        QVERIFY(!chooser.testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(chooser.testOption(QFileDialog::DontUseNativeDialog));
    }
}

void ZorpamuxDialogTest::choosers_match_mixed_case_names() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* name :
         {"pic.bVK", "PIC2.BVK", "pic3.bvk", "song.Wav", "SONG2.WAV", "film.zRp", "notes.txt"}) {
        QVERIFY(write_all(dir.filePath(QString::fromLatin1(name)), QByteArray("x")));
    }
    const QString path = QDir(dir.path()).canonicalPath();
    {
        QFileDialog chooser;
        zorpamux::configure_picture_chooser(chooser, path);
        chooser.show();
        QTRY_COMPARE(listed_files(chooser, path),
                     (QStringList{QStringLiteral("PIC2.BVK"), QStringLiteral("pic.bVK"),
                                  QStringLiteral("pic3.bvk")}));
        chooser.selectNameFilter(QStringLiteral("All Files (*.*)"));
        QTRY_COMPARE(listed_files(chooser, path).size(), 7);
    }
    {
        QFileDialog chooser;
        zorpamux::configure_sound_chooser(chooser, path);
        chooser.show();
        QTRY_COMPARE(listed_files(chooser, path),
                     (QStringList{QStringLiteral("SONG2.WAV"), QStringLiteral("song.Wav")}));
    }
    {
        QFileDialog chooser;
        zorpamux::configure_container_chooser(chooser, path);
        chooser.show();
        QTRY_COMPARE(listed_files(chooser, path), QStringList{QStringLiteral("film.zRp")});
    }
}

void ZorpamuxDialogTest::icon_is_generator_output() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString drawn = dir.filePath(QStringLiteral("icon.png"));
    QProcess generator;
    generator.start(QStringLiteral(ZORPAMUX_MAKE_ICON), {drawn});
    QVERIFY(generator.waitForFinished(30000));
    QCOMPARE(generator.exitCode(), 0);

    const QImage committed(QStringLiteral(":/zorpamux/zorpamux.png"));
    const QImage fresh(drawn);
    QCOMPARE(committed.size(), QSize(64, 64));
    QVERIFY(committed.colorCount() > 0 && committed.colorCount() <= 256);
    QCOMPARE(committed.convertToFormat(QImage::Format_ARGB32),
             fresh.convertToFormat(QImage::Format_ARGB32));
}

QTEST_MAIN(ZorpamuxDialogTest)
#include "zorpamux_dialog_test.moc"
