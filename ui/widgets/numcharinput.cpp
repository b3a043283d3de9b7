#include "numcharinput.h"

#include "colorbutton.h"
#include "display.h"
#include "edit.h"
#include "globals.h"
#include "keyboardhost.h"
#include "numberinput.h"

#include <QButtonGroup>

namespace {
constexpr int kMsgConfirm = 121, kMsgBackspace = 1254;

// Geometry of one layout: key side, pitch, margin, wide-key width, rows.
struct BoardGeometry {
    QSize size;
    int side, pitch, margin, wide;
    int rowY[4];
    int rowX[4];
};
constexpr BoardGeometry kLarge{{784, 294}, 65, 70, 10, 80, {10, 80, 150, 220}, {10, 42, 62, 106}};
constexpr BoardGeometry kSmall{{449, 164}, 37, 40, 6, 50, {6, 46, 86, 126}, {6, 24, 34, 60}};
constexpr int kRowStart[5] = {0, 11, 21, 30, 37};  // first key of each row, then the end
}  // namespace

NumCharInput::NumCharInput(KeyboardHost& keys, QWidget* parent)
    : QWidget(parent), m_keys(keys), m_group(new QButtonGroup(this)) {
    setFocusPolicy(Qt::NoFocus);
    const BoardGeometry& g = largeLayout() ? kLarge : kSmall;
    setFixedSize(g.size);
    for (int row = 0; row < 4; ++row) {
        for (int id = kRowStart[row]; id < kRowStart[row + 1]; ++id) {
            auto* b = new ColorButton(QString(), this, 3);
            b->setGeometry(g.rowX[row] + g.pitch * (id - kRowStart[row]), g.rowY[row], g.side,
                           g.side);
            m_group->addButton(b, id);
        }
    }
    const int w = g.size.width();
    m_toggle = new ColorButton(QString(), this, 3);
    m_toggle->setGeometry(w - g.margin - g.wide, g.rowY[2], g.wide, g.side);
    m_case = new ColorButton(QString(), this, 3);
    m_case->setGeometry(g.margin, g.rowY[3], g.wide, g.side);
    m_backspace = new ColorButton(tx(kMsgBackspace), this, 3);
    m_backspace->setGeometry(w - 2 * g.margin - 2 * g.wide, g.rowY[3], g.wide, g.side);
    m_confirm = new ColorButton(tx(kMsgConfirm), this, 3);
    m_confirm->setGeometry(w - g.margin - g.wide, g.rowY[3], g.wide, g.side);
    showPage(KeyPage::Capitals);

    connect(m_group, &QButtonGroup::idClicked, this, &NumCharInput::setContent);
    connect(m_toggle, &QPushButton::clicked, this, &NumCharInput::SlotChgChar_Punc);
    connect(m_case, &QPushButton::clicked, this, &NumCharInput::SlotCap);
    connect(m_backspace, &QPushButton::clicked, this, &NumCharInput::eraseContent);
    connect(m_confirm, &QPushButton::clicked, this, &NumCharInput::HideUpdate);
}

ColorButton* NumCharInput::charKey(int id) const {
    return static_cast<ColorButton*>(m_group->button(id));
}

void NumCharInput::showPage(KeyPage page) {
    m_page = page;
    const QString keys = pageKeys(page);
    for (int id = 0; id < keys.size(); ++id)
        m_group->button(id)->setText(keys.mid(id, 1));
    m_toggle->setText(tx(toggleCaptionId(page)));
    m_case->setText(tx(caseCaptionId(page)));
}

void NumCharInput::SlotChgChar_Punc() {
    showPage(pageAfterToggle(m_page));
}

void NumCharInput::SlotCap() {
    showPage(pageAfterCase(m_page));
}

void NumCharInput::setContent(int id) {
    Edit* edit = m_keys.currentEdit();
    QAbstractButton* key = m_group->button(id);
    if (!edit || !key || key->text().isEmpty())
        return;
    edit->setText(edit->text() + key->text().at(0));
    edit->setCursorPosition(int(edit->text().size()));
}

void NumCharInput::eraseContent() {
    Edit* edit = m_keys.currentEdit();
    if (!edit)
        return;
    QString t = edit->text();
    t.chop(1);
    edit->setText(t);
}

void NumCharInput::HideUpdate() {
    hide();
    if (QWidget* p = parentWidget())
        p->update();
}

void NumCharInput::paintEvent(QPaintEvent*) {
    paintKeyboardFace(*this);
}

void NumCharInput::setVisible(bool visible) {
    if (visible)
        showPage(KeyPage::Capitals);
    QWidget::setVisible(visible);
}
