// render_widgets <out dir> [images dir]: draws every input widget, keyboard and
// box in both layouts and all three languages to PNG files named
// <layout>-<language>-<what>.png.

#include "display.h"
#include "edit.h"
#include "editbox.h"
#include "editdatetime.h"
#include "editip.h"
#include "globals.h"
#include "keyboardhost.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "pixmaps.h"
#include "platform.h"
#include "sharedboxes.h"
#include "simplewidgets.h"
#include "slider.h"
#include "systemparams.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// Captions of the parameter screens that the widgets carry, long and short.
constexpr int kMsgRedetectTimes = 1262, kMsgDelay = 1260, kMsgCamera1 = 1127;
constexpr int kMsgAddTemplate = 1230, kMsgAllNotDetect = 1156;
constexpr int kMsgCameraUnavailable = 1236, kMsgUnit = 1261;

// Writes widget pictures named by layout, language and subject.
class Renderer {
public:
    explicit Renderer(QString dir) : m_dir(std::move(dir)) {}

    void save(QWidget& w, const QString& what) {
        w.ensurePolished();
        if (QLayout* l = w.layout())
            l->activate();
        const QString name =
            QStringLiteral("%1/%2-%3-%4.png")
                .arg(m_dir, largeLayout() ? QStringLiteral("large") : QStringLiteral("small"))
                .arg(language)
                .arg(what);
        // the widgets are drawn for a dark screen
        QPixmap out(w.size());
        out.fill(QColor(0x1d, 0x26, 0x2e));
        QPainter p(&out);
        p.drawPixmap(0, 0, w.grab());
        p.end();
        if (!out.save(name))
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
        ++m_count;
    }
    int count() const { return m_count; }

private:
    QString m_dir;
    int m_count = 0;
};

void renderAll(Renderer& r) {
    QWidget window;
    window.resize(displaySize().width, displaySize().height);
    KeyboardHost keys(&window);
    SystemParams params;
    FakeClock clock(QDateTime(QDate(2026, 3, 14), QTime(9, 26)));
    AccessLevel level;

    // input widgets, gathered on one panel
    QWidget panel(&window);
    auto* column = new QVBoxLayout(&panel);
    auto* box = new EditBox(keys, 0, 100, &panel, tx(kMsgRedetectTimes));
    box->setValue(3);
    auto* unitBox = new EditBox(keys, 0, 9999, &panel, tx(kMsgDelay), QStringLiteral("ms"));
    unitBox->setValue(150);
    auto* decimalBox = new EditBox(keys, 0, 1000, &panel, tx(kMsgCamera1), QString(), 2, 10);
    decimalBox->setValue(15);
    auto* ip = new EditIP(keys, QStringLiteral("IP"), &panel);
    ip->setText(QStringLiteral("192.168.100.255"));
    auto* dt = new EditDateTime(tx(kMsgUnit), &panel, clock.now());
    auto* check = new CheckBox(tx(kMsgRedetectTimes), &panel);
    check->setCheckedState(true);
    auto* combo = new ComboBox(&panel);
    combo->setStyleSheet(ComboBox::itemStyle(50));
    combo->addItem(tx(kMsgCamera1).arg(1));
    auto* slider =
        new Slider(keys, 0, 255, 1, 128, &panel, gText[1212][language]);  // "Sensitivity"
    slider->setFixedSize(largeLayout() ? 900 : 600, largeLayout() ? 60 : 40);
    for (QWidget* w :
         std::initializer_list<QWidget*>{box, unitBox, decimalBox, ip, dt, check, combo, slider})
        column->addWidget(w);
    panel.adjustSize();
    r.save(panel, QStringLiteral("inputs"));
    r.save(*box, QStringLiteral("editbox"));
    r.save(*unitBox, QStringLiteral("editbox-unit"));
    r.save(*ip, QStringLiteral("editip"));
    r.save(*dt, QStringLiteral("editdatetime"));
    r.save(*slider, QStringLiteral("slider"));

    // the keyboards and their pages
    r.save(*keys.keypad(), QStringLiteral("keypad"));
    NumCharInput& kb = *keys.keyboard();
    r.save(kb, QStringLiteral("keyboard-capitals"));
    kb.SlotCap();
    r.save(kb, QStringLiteral("keyboard-small"));
    kb.SlotChgChar_Punc();
    r.save(kb, QStringLiteral("keyboard-symbols"));

    // the boxes
    SharedBoxes boxes(&window, keys, params, clock, level);
    boxes.warn->setText(tx(kMsgCameraUnavailable));
    r.save(*boxes.warn, QStringLiteral("warnbox"));
    boxes.warn->setText(tx(kMsgAddTemplate));
    r.save(*boxes.warn, QStringLiteral("warnbox-2"));
    boxes.lostCom->setText(gText[589][language]);
    r.save(*boxes.lostCom, QStringLiteral("lostcom"));
    r.save(*boxes.lostCamera, QStringLiteral("lostcamera"));
    r.save(*boxes.reconnectCamera, QStringLiteral("reconnectcamera"));
    r.save(*boxes.timing, QStringLiteral("timing"));
    boxes.choose->setText(tx(kMsgAllNotDetect));
    r.save(*boxes.choose, QStringLiteral("choosebox"));
    boxes.password->show();  // sizes, empties and prompts as on the panel
    r.save(*boxes.password, QStringLiteral("passwordbox"));
    boxes.password->field()->setText(QStringLiteral("9"));
    boxes.password->accept();  // wrong: the box stays with the failure prompt
    r.save(*boxes.password, QStringLiteral("passwordbox-wrong"));
    boxes.password->field()->setText(QStringLiteral("1234"));
    r.save(*boxes.password, QStringLiteral("passwordbox-typed"));
    // the keypad as it opens over the password box
    boxes.password->field()->clear();
    keys.setCurrentEdit(boxes.password->field());
    keys.openKeyboardFor(*boxes.password->field());
    r.save(*boxes.password, QStringLiteral("passwordbox-keypad"));
    boxes.password->hide();

    // the full keyboard under a field near the right edge of a screen
    QWidget screen(&window);
    screen.resize(window.size());
    Edit name(keys, 6, &screen);
    name.setGeometry(screen.width() - 300, 40, 250, largeLayout() ? 50 : 30);
    name.setText(QStringLiteral("MOULD_A1"));
    keys.setCurrentEdit(&name);
    keys.openKeyboardFor(name);
    r.save(screen, QStringLiteral("screen-keyboard"));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: render_widgets <out dir> [images dir]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    if (!loadTextTable()) {
        std::fprintf(stderr, "text table unusable\n");
        return 1;
    }
    gPixmaps().load(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(MM_IMAGES_DIR));

    Renderer r(out);
    for (const DisplaySize& d : {DisplaySize{1280, 800}, DisplaySize{1024, 768}}) {
        displaySize() = d;
        for (int lang = 0; lang < 3; ++lang) {
            language = lang;
            renderAll(r);
        }
    }
    std::printf("%d pictures in %s\n", r.count(), qPrintable(out));
    return 0;
}
