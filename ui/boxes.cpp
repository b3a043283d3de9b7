#include "boxes.h"

#include "globals.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Captions of the box buttons: "Confirm", "YES", "NO".
constexpr int kMsgConfirm = 121, kMsgYes = 1244, kMsgNo = 1245;

void styleBox(QDialog* box, QLabel* text) {
    box->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    box->setModal(true);
    box->setMinimumSize(420, 220);
    box->setStyleSheet(QStringLiteral(
        "QDialog { background: #26323d; border: 2px solid #7fa7c9; border-radius: 6px; }"
        "QLabel { color: white; font-family: 'WenQuanYi Micro Hei'; font-size: 20px; }"
        "QPushButton { min-width: 120px; min-height: 54px; font-size: 20px; color: white;"
        " background: #3d6f98; border: 1px solid #9cc3e6; border-radius: 6px; }"
        "QPushButton:pressed { background: #27506f; }"));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
}
}  // namespace

WarnBox::WarnBox(QWidget* parent)
    : QDialog(parent), m_text(new QLabel(this)), m_ok(new QPushButton(this)) {
    styleBox(this, m_text);
    m_ok->setText(tx(kMsgConfirm));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_ok, 0, Qt::AlignHCenter);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void WarnBox::setText(const QString& text) {
    m_text->setText(text);
}
QString WarnBox::text() const {
    return m_text->text();
}

ChooseBox::ChooseBox(QWidget* parent)
    : QDialog(parent),
      m_text(new QLabel(this)),
      m_yes(new QPushButton(this)),
      m_no(new QPushButton(this)) {
    styleBox(this, m_text);
    m_yes->setText(tx(kMsgYes));
    m_no->setText(tx(kMsgNo));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_yes);
    buttons->addWidget(m_no);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);
    connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_no, &QPushButton::clicked, this, &QDialog::reject);
}

void ChooseBox::setText(const QString& text) {
    m_text->setText(text);
}
QString ChooseBox::text() const {
    return m_text->text();
}

void BoxPrompt::warn(const QString& text) {
    m_warn.setText(text);
    m_warn.exec();
}

bool BoxPrompt::ask(const QString& question) {
    m_choose.setText(question);
    return m_choose.exec() == QDialog::Accepted;
}
