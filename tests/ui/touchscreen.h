#pragma once

#include "colorbutton.h"
#include "display.h"
#include "edit.h"
#include "keyboardhost.h"
#include "numberinput.h"
#include "numcharinput.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <memory>
#include <ostream>

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

// A panel for the widget tests: a window of the panel's size, shown and
// active, with its two keyboards, and a finger that presses what is on it.
class TouchScreen {
public:
    explicit TouchScreen(bool large = true) : m_savedDisplay(displaySize()) {
        displaySize() = large ? DisplaySize{1280, 800} : DisplaySize{1024, 768};
        window = std::make_unique<QWidget>();
        window->resize(displaySize().width, displaySize().height);
        keys = new KeyboardHost(window.get());
    }
    ~TouchScreen() {
        window.reset();
        displaySize() = m_savedDisplay;
    }
    TouchScreen(const TouchScreen&) = delete;
    TouchScreen& operator=(const TouchScreen&) = delete;

    // Shows the window and waits until it has the focus.
    bool show() {
        window->show();
        window->activateWindow();
        return QTest::qWaitFor([this] { return QApplication::activeWindow() == window.get(); });
    }

    NumberInput& keypad() const { return *keys->keypad(); }
    NumCharInput& keyboard() const { return *keys->keyboard(); }

    static void tap(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // Types digits on the keypad, a key press each.
    void typeDigits(const QString& digits) const {
        for (QChar c : digits) {
            const int d = c.digitValue();
            tap(keypad().digitKey(d == 0 ? 9 : d - 1));
        }
    }
    // Types on the full keyboard; the characters must be on its current page.
    void typeChars(const QString& chars) const {
        for (QChar c : chars)
            for (int id = 0; id < 37; ++id)
                if (keyboard().charKey(id)->text() == QString(c)) {
                    tap(keyboard().charKey(id));
                    break;
                }
    }

    std::unique_ptr<QWidget> window;
    KeyboardHost* keys = nullptr;

private:
    DisplaySize m_savedDisplay;
};
