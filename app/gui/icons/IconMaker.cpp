// Draws the program's icons into PNG files at build time: the handheld
// unit, the three traffic lights, the failed step's light, the empty icon
// and the check mark, each at 32 and 64 (name@2x.png) pixels.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&)>;

// A traffic light on a 32-unit canvas with the lamp `lit` (0 red, 1 yellow,
// 2 green) bright and the others dark.
void trafficLight(QPainter& p, int lit)
{
    p.setPen(QPen(QColor(20, 20, 20), 1.0));
    p.setBrush(QColor(60, 60, 64));
    p.drawRoundedRect(QRectF(9.5, 0.5, 13, 31), 3, 3);
    const QColor bright[3] = {QColor(235, 30, 30), QColor(250, 200, 20), QColor(30, 200, 60)};
    const QColor dark[3] = {QColor(90, 25, 25), QColor(95, 80, 20), QColor(20, 75, 30)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(i == lit ? bright[i] : dark[i]);
        p.drawEllipse(QPointF(16, 5.5 + i * 10.5), 4.2, 4.2);
    }
}

// The red light with a white cross over its lamp: the step that failed.
void failedLight(QPainter& p)
{
    trafficLight(p, 0);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13.4, 2.9), QPointF(18.6, 8.1));
    p.drawLine(QPointF(18.6, 2.9), QPointF(13.4, 8.1));
    p.setPen(QPen(QColor(235, 30, 30), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(8.5, -0.5 + 1, 15, 31), 3, 3);
}

void unit(QPainter& p)
{
    p.setPen(QPen(QColor(30, 30, 30), 1.0));
    p.setBrush(QColor(250, 200, 30));  // the handheld's yellow shell
    p.drawRoundedRect(QRectF(6.5, 1.5, 19, 29), 4, 4);
    p.setBrush(QColor(150, 200, 160));  // its display
    p.drawRect(QRectF(9.5, 4.5, 13, 9));
    p.setBrush(QColor(50, 50, 50));  // the keypad
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawRect(QRectF(10 + col * 4.5, 16.5 + row * 4, 3, 2.5));
    p.setPen(QPen(QColor(30, 30, 30), 2.0));  // the cable
    p.drawLine(QPointF(16, 1.5), QPointF(16, 0));
}

void checkMark(QPainter& p)
{
    QPainterPath path;
    path.moveTo(5, 17);
    path.lineTo(13, 25);
    path.lineTo(27, 7);
    p.setPen(QPen(QColor(20, 160, 40), 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

bool save(const QString& dir, const QString& name, const Draw& draw)
{
    for (int scale : {1, 2}) {
        QImage image(32 * scale, 32 * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        draw(p);
        p.end();
        const QString file = dir + "/" + name + (scale == 2 ? "@2x.png" : ".png");
        if (!image.save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: unitflash_icons OUTDIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    const bool ok = save(dir, "unit", unit) && save(dir, "empty", [](QPainter&) {}) &&
                    save(dir, "red", [](QPainter& p) { trafficLight(p, 0); }) &&
                    save(dir, "yellow", [](QPainter& p) { trafficLight(p, 1); }) &&
                    save(dir, "green", [](QPainter& p) { trafficLight(p, 2); }) &&
                    save(dir, "failed", failedLight) &&
                    save(dir, "check", checkMark);
    return ok ? 0 : 1;
}
