#include "editdatetime.h"

#include "display.h"

#include <QDateEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QTimeEdit>

namespace {
QString arrowStyle(const char* editor, int size) {
    return QStringLiteral(
               "%1::up-button{subcontrol-origin:border;subcontrol-position:right;image: "
               "url(./images/right.png);width: %2px;height: %2px;}%1::down-button "
               "{subcontrol-origin:border;subcontrol-position:left;image: "
               "url(./images/left.png);width: %2px;height: %2px;}")
        .arg(QLatin1String(editor))
        .arg(size);
}
}  // namespace

EditDateTime::EditDateTime(const QString& caption, QWidget* parent, const QDateTime& now)
    : QWidget(parent),
      m_caption(new QLabel(caption, this)),
      m_date(new QDateEdit(this)),
      m_time(new QTimeEdit(this)),
      m_taken(now) {
    const bool large = largeLayout();
    const QFont font = pixelFont(kEntryFont, large ? 30 : 17);
    m_caption->setFont(font);
    m_caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette pal = m_caption->palette();
    pal.setColor(QPalette::WindowText, Qt::yellow);
    m_caption->setPalette(pal);

    const int arrow = large ? 60 : 40;
    const QSize editor = large ? QSize(330, 60) : QSize(200, 40);
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_date->setStyleSheet(arrowStyle("QDateEdit", arrow));
    m_time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_time->setStyleSheet(arrowStyle("QTimeEdit", arrow));
    for (QAbstractSpinBox* e :
         {static_cast<QAbstractSpinBox*>(m_date), static_cast<QAbstractSpinBox*>(m_time)}) {
        e->setFixedSize(editor);
        e->setAlignment(Qt::AlignCenter);
        e->setFont(font);
    }

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(large ? 10 : 6);
    grid->setVerticalSpacing(10);
    if (large) {
        grid->addWidget(m_caption, 0, 0);
        grid->addWidget(m_date, 0, 1);
        grid->addWidget(m_time, 0, 2);
    } else {
        grid->addWidget(m_caption, 0, 0, 1, 2);
        grid->addWidget(m_date, 1, 0);
        grid->addWidget(m_time, 1, 1);
    }
    // the small layout stacks the caption over the editors and needs their height too
    grid->setColumnStretch(large ? 3 : 2, 1);  // packed to the left
    setFixedHeight(large ? 80 : QFontMetrics(font).height() + 10 + editor.height());
    refresh(now);
}

void EditDateTime::refresh(const QDateTime& now) {
    m_date->setDate(now.date());
    m_time->setTime(now.time());
}
