// The looping busy picture of the search window.
#include "app/gui/BusyAnimation.h"

#include <QPainter>
#include <QtMath>

namespace {

constexpr int kFrameMs = 60;
constexpr int kFrames = 48;  // one loop

}  // namespace

BusyAnimation::BusyAnimation(QWidget* parent) : QWidget(parent)
{
    ticker.setInterval(kFrameMs);
    connect(&ticker, &QTimer::timeout, this, [this] {
        step = (step + 1) % kFrames;
        update();
    });
    ticker.start();
}

QSize BusyAnimation::sizeHint() const
{
    return {200, 90};
}

void BusyAnimation::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(8, 8, -8, -8);
    const qreal mid = area.center().y();
    const qreal spinX = area.right() - area.height() / 2;
    const qreal cableEnd = spinX - area.height() / 2 - 6;

    // The cable, and a probe pulse running along it.
    p.setPen(QPen(palette().color(QPalette::WindowText), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(area.left(), mid), QPointF(cableEnd, mid));
    const qreal at = area.left() + (cableEnd - area.left()) * (step % 24) / 23.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 200, 20));
    p.drawEllipse(QPointF(at, mid), 6, 6);

    // The spinning search mark: twelve dots fading behind the leading one.
    const qreal radius = qMin(area.height(), qreal(60)) / 2 - 6;
    for (int i = 0; i < 12; ++i) {
        const qreal angle = (i + step) * 2 * M_PI / 12;
        QColor dot = palette().color(QPalette::Highlight);
        dot.setAlphaF(0.15 + 0.85 * i / 11.0);
        p.setBrush(dot);
        p.drawEllipse(QPointF(spinX + radius * qCos(angle), mid + radius * qSin(angle)), 4, 4);
    }
}
