#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <array>
#include <optional>

// The decisions behind the input widgets, kept free of widgets so that they
// can be checked on their own.

// Range and display rules of a stepped number box.
struct EditRange {
    int minimum = 0;
    int maximum = 0;
    bool allowZero = false;  // 0 may stand even when it is below the minimum

    // Above the maximum gives the maximum; below the minimum gives the
    // minimum, except that exactly 0 stays when allowZero is set.
    int clamp(qint64 value) const;
};

// Value after a step of delta (saturating, before the range check).
qint64 steppedValue(int value, int delta);
// Value after typing one digit on the keypad: a fresh entry starts over.
qint64 typedValue(int value, bool fresh, int digit);
// The field text of a value: kind 0 integer, kind 2 value / scale with up to
// six significant digits, any other kind nothing.
QString valueText(int kind, int value, int scale);
// Caption of a step button: "- 5", "+ 0.1", ... (amount / scale, shortest form).
QString stepCaption(int sign, int amount, int scale);
// x of the unit label that follows the centred digits.
int unitLabelX(int fieldWidth, int labelWidth, int characters);

// IP address entry.
// The text an octet field shows for what was typed: at most 255, "0" when empty.
QString octetText(const QString& typed);
// The texts the four octet fields receive from an address; fields that the
// address does not reach keep their text (nullopt). Parts after the fourth
// restart the last field.
std::array<std::optional<QString>, 4> splitAddress(const QString& address);

// Keyboard placement under (or above) a field, inside its host.
struct KeyboardPlacement {
    QPoint fieldPos;  // field's top-left in the host
    int fieldHeight = 0;
    QSize keyboard;
    QSize host;
    int screenHeight = 0;
};
QPoint placeKeyboard(const KeyboardPlacement& p);

// Pages of the full keyboard.
enum class KeyPage { Capitals, SmallLetters, Symbols };
// The 37 key characters of a page, key 0 first.
QString pageKeys(KeyPage page);
KeyPage pageAfterToggle(KeyPage page);  // symbol/character key
KeyPage pageAfterCase(KeyPage page);    // case key
int toggleCaptionId(KeyPage page);      // message id of the toggle key's caption
int caseCaptionId(KeyPage page);        // message id of the case key's caption

// Caption pixel size of a painted button (size class 3 or 4).
int buttonFontSize(bool large, int sizeClass, int language);

// Slider arithmetic; a slider with no span draws no filled part and never steps.
int sliderFilledWidth(int usable, int value, int minimum, int maximum);
int sliderDragStep(int dx, int usable, int minimum, int maximum);
