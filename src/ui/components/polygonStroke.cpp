#include "polygonStroke.h"

#include <QPainter>
#include <QPen>

PolygonStroke::PolygonStroke(QQuickItem *parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void PolygonStroke::setPoints(const QList<QPointF> &points) {
    if (points == m_points)
        return;
    m_points = points;
    emit changed();
    update();
}

void PolygonStroke::setColor(const QColor &color) {
    if (color == m_color)
        return;
    m_color = color;
    emit changed();
    update();
}

void PolygonStroke::setLineWidth(qreal width) {
    if (qFuzzyCompare(width, m_lineWidth))
        return;
    m_lineWidth = width;
    emit changed();
    update();
}

void PolygonStroke::paint(QPainter *painter) {
    if (m_points.size() < 2)
        return;
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(m_color, m_lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->setBrush(Qt::NoBrush);
    painter->drawPolygon(m_points.constData(), int(m_points.size()));
}
