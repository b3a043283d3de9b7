// Builds the shipped files of the monitor's working directory from their text
// sources, and lays out a working directory from them.
//
//   mkworkdir template <data dir> <out dir>   databases and pictures
//   mkworkdir layout <template dir> <work dir> copy what is missing

#include "databases.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

bool runScript(const QString& sqlFile, const QString& dbFile) {
    QString error;
    if (!db::runScript(sqlFile, dbFile, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    return true;
}

using Draw = std::function<void(QPainter&, const QRectF&)>;

bool drawImage(const QString& path, QSize size, const Draw& draw, bool opaque = false) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(opaque ? Qt::black : Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    if (path.endsWith(QLatin1String(".bmp")))
        return img.convertToFormat(QImage::Format_RGB32).save(path);
    return img.save(path);
}

void roundButton(QPainter& p, const QRectF& r, QColor top, QColor bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(QColor(0x9c, 0xc3, 0xe6), 2));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 8, 8);
}

void lamp(QPainter& p, const QRectF& r, QColor c) {
    QRadialGradient g(r.center() - QPointF(r.width() / 6, r.height() / 6), r.width() / 2);
    g.setColorAt(0, c.lighter(170));
    g.setColorAt(1, c);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(g);
    p.drawEllipse(r.adjusted(2, 2, -2, -2));
}

void arrowButton(QPainter& p, const QRectF& r, qreal angle) {
    roundButton(p, r, QColor(0x4a, 0x7f, 0xab), QColor(0x27, 0x50, 0x6f));
    p.save();
    p.translate(r.center());
    p.rotate(angle);
    const qreal s = r.width() / 4;
    QPainterPath arrow;
    arrow.moveTo(0, -s * 1.2);
    arrow.lineTo(s, 0);
    arrow.lineTo(s * 0.4, 0);
    arrow.lineTo(s * 0.4, s * 1.2);
    arrow.lineTo(-s * 0.4, s * 1.2);
    arrow.lineTo(-s * 0.4, 0);
    arrow.lineTo(-s, 0);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    p.restore();
}

void magnifier(QPainter& p, const QRectF& r, bool plus) {
    roundButton(p, r, QColor(0x4a, 0x7f, 0xab), QColor(0x27, 0x50, 0x6f));
    const qreal s = r.width();
    const QRectF lens(s * 0.2, s * 0.2, s * 0.42, s * 0.42);
    p.setPen(QPen(Qt::white, s / 14, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(lens);
    p.drawLine(lens.center() + QPointF(s * 0.15, s * 0.15), QPointF(s * 0.8, s * 0.8));
    const QPointF c = lens.center();
    p.drawLine(c - QPointF(s * 0.1, 0), c + QPointF(s * 0.1, 0));
    if (plus)
        p.drawLine(c - QPointF(0, s * 0.1), c + QPointF(0, s * 0.1));
}

bool drawImages(const QString& dir) {
    QDir().mkpath(dir);
    const auto at = [&](const char* name) { return dir + u'/' + QLatin1String(name); };
    const QColor panel(0x1d, 0x26, 0x2e);
    bool ok = true;
    ok &= drawImage(at("OUT1.png"), {32, 32},
                    [](QPainter& p, const QRectF& r) { lamp(p, r, QColor(0x20, 0xc0, 0x40)); });
    ok &= drawImage(at("OUT0.png"), {32, 32},
                    [](QPainter& p, const QRectF& r) { lamp(p, r, QColor(0x3a, 0x44, 0x4c)); });
    ok &= drawImage(at("buttonu.png"), {120, 60}, [](QPainter& p, const QRectF& r) {
        roundButton(p, r, QColor(0x4a, 0x7f, 0xab), QColor(0x27, 0x50, 0x6f));
    });
    ok &= drawImage(at("buttond.png"), {120, 60}, [](QPainter& p, const QRectF& r) {
        roundButton(p, r, QColor(0x1f, 0x3f, 0x58), QColor(0x35, 0x66, 0x8e));
    });
    ok &= drawImage(at("slidert.png"), {300, 16}, [](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x55, 0x62, 0x6d));
        p.drawRoundedRect(r.adjusted(0, 4, 0, -4), 4, 4);
    });
    ok &= drawImage(at("sliderd.png"), {300, 16}, [](QPainter& p, const QRectF& r) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(0x6a, 0xa8, 0xd8));
        g.setColorAt(1, QColor(0x2f, 0x63, 0x8c));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(r.adjusted(0, 4, 0, -4), 4, 4);
    });
    ok &= drawImage(at("slideru.png"), {40, 40},
                    [](QPainter& p, const QRectF& r) { lamp(p, r, QColor(0x4a, 0x7f, 0xab)); });
    ok &= drawImage(at("edit.png"), {160, 44}, [](QPainter& p, const QRectF& r) {
        p.setPen(QPen(QColor(0x7f, 0xa7, 0xc9), 2));
        p.setBrush(Qt::white);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 5, 5);
    });
    ok &= drawImage(at("line.png"), {600, 4}, [](QPainter& p, const QRectF& r) {
        QLinearGradient g(r.topLeft(), r.topRight());
        g.setColorAt(0, Qt::transparent);
        g.setColorAt(0.5, QColor(0x7f, 0xa7, 0xc9));
        g.setColorAt(1, Qt::transparent);
        p.fillRect(r, g);
    });
    ok &= drawImage(
        at("title.png"), {1024, 48},
        [](QPainter& p, const QRectF& r) {
            QLinearGradient g(r.topLeft(), r.bottomLeft());
            g.setColorAt(0, QColor(0x3d, 0x6f, 0x98));
            g.setColorAt(1, QColor(0x1f, 0x3f, 0x58));
            p.fillRect(r, g);
        },
        true);
    ok &= drawImage(
        at("background.png"), {1024, 768},
        [&](QPainter& p, const QRectF& r) {
            QLinearGradient g(r.topLeft(), r.bottomLeft());
            g.setColorAt(0, panel.lighter(120));
            g.setColorAt(1, panel);
            p.fillRect(r, g);
        },
        true);
    ok &= drawImage(
        at("logo.bmp"), {160, 60},
        [&](QPainter& p, const QRectF& r) {
            p.fillRect(r, panel);
            p.setPen(QPen(QColor(0x7f, 0xa7, 0xc9), 4));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(8, 8, 44, 44));
            p.drawEllipse(QRectF(20, 20, 20, 20));
            p.setPen(Qt::white);
            QFont f = p.font();
            f.setPixelSize(22);
            f.setBold(true);
            p.setFont(f);
            p.drawText(r.adjusted(60, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       QStringLiteral("MOULD"));
        },
        true);
    ok &= drawImage(at("Origin.png"), {64, 64}, [](QPainter& p, const QRectF& r) {
        roundButton(p, r, QColor(0x4a, 0x7f, 0xab), QColor(0x27, 0x50, 0x6f));
        p.setPen(QPen(Qt::white, 4));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(18, 18, -18, -18));
    });
    ok &= drawImage(at("MoveUp.png"), {64, 64},
                    [](QPainter& p, const QRectF& r) { arrowButton(p, r, 0); });
    ok &= drawImage(at("MoveRight.png"), {64, 64},
                    [](QPainter& p, const QRectF& r) { arrowButton(p, r, 90); });
    ok &= drawImage(at("MoveDown.png"), {64, 64},
                    [](QPainter& p, const QRectF& r) { arrowButton(p, r, 180); });
    ok &= drawImage(at("MoveLeft.png"), {64, 64},
                    [](QPainter& p, const QRectF& r) { arrowButton(p, r, 270); });
    ok &= drawImage(at("EnlargeScale.png"), {64, 64},
                    [](QPainter& p, const QRectF& r) { magnifier(p, r, true); });
    ok &= drawImage(at("ReductionScale.png"), {64, 64},
                    [](QPainter& p, const QRectF& r) { magnifier(p, r, false); });
    ok &= drawImage(at("check.png"), {32, 32}, [](QPainter& p, const QRectF& r) {
        p.setPen(QPen(QColor(0x7f, 0xa7, 0xc9), 2));
        p.setBrush(Qt::white);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 4, 4);
        p.setPen(QPen(QColor(0x20, 0xa0, 0x40), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({{7, 17}, {13, 24}, {25, 8}}));
    });
    for (const auto& [name, angle] : {std::pair{"right.png", 90}, std::pair{"left.png", 270}})
        ok &= drawImage(at(name), {32, 32}, [a = angle](QPainter& p, const QRectF& r) {
            p.translate(r.center());
            p.rotate(a);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x3d, 0x6f, 0x98));
            p.drawPolygon(QPolygonF({{0, -11}, {10, 8}, {-10, 8}}));
        });
    return ok;
}

bool makeTemplate(const QString& data, const QString& out) {
    QDir().mkpath(out + QStringLiteral("/paraGroup/default"));
    bool ok =
        runScript(data + QStringLiteral("/param.sql"), out + QStringLiteral("/PARAM.db")) &&
        runScript(data + QStringLiteral("/sn.sql"), out + QStringLiteral("/SN.db")) &&
        runScript(data + QStringLiteral("/recordnull.sql"), out + QStringLiteral("/RECORDNULL.db"));
    for (const char* f : {"PARAM.db", "SN.db"}) {
        const QString target = out + QStringLiteral("/paraGroup/default/") + QLatin1String(f);
        QFile::remove(target);
        ok = ok && QFile::copy(out + u'/' + QLatin1String(f), target);
    }
    return ok && drawImages(out + QStringLiteral("/images"));
}

bool copyMissing(const QString& from, const QString& to) {
    bool ok = QDir().mkpath(to);
    const QDir src(from);
    for (const QFileInfo& fi : src.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        const QString target = to + u'/' + fi.fileName();
        if (fi.isDir()) {
            ok = copyMissing(fi.absoluteFilePath(), target) && ok;
        } else if (!QFile::exists(target)) {
            ok = QFile::copy(fi.absoluteFilePath(), target) && ok;
            QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
        }
    }
    return ok;
}

bool layout(const QString& tmpl, const QString& work) {
    bool ok = copyMissing(tmpl, work);
    const QString record = work + QStringLiteral("/RECORD.db");
    if (!QFile::exists(record)) {
        ok = QFile::copy(work + QStringLiteral("/RECORDNULL.db"), record) && ok;
        QFile::setPermissions(record, QFile::permissions(record) | QFileDevice::WriteOwner);
    }
    // The clock of a new installation counts as set once, now.
    QFile clock(work + QStringLiteral("/realytime.txt"));
    if (!clock.exists() && clock.open(QIODevice::WriteOnly))
        clock.write(QByteArray::number(QDateTime::currentMSecsSinceEpoch()));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = false;
    if (args.size() == 4 && args[1] == QLatin1String("template"))
        ok = makeTemplate(args[2], args[3]);
    else if (args.size() == 4 && args[1] == QLatin1String("layout"))
        ok = layout(args[2], args[3]);
    else
        std::fprintf(
            stderr,
            "usage: mkworkdir template <data dir> <out dir> | layout <template dir> <work dir>\n");
    return ok ? 0 : 1;
}
