#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// The outline of a closed polygon with round caps and joins, antialiased by QPainter, so it looks
// the same on the software scene graph and on OpenGL without a multisampled layer (whose extra
// buffers and shaders cost the first frame).
class PolygonStroke : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QList<QPointF> points READ points WRITE setPoints NOTIFY changed)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    Q_PROPERTY(qreal lineWidth READ lineWidth WRITE setLineWidth NOTIFY changed)

public:
    explicit PolygonStroke(QQuickItem *parent = nullptr);

    QList<QPointF> points() const { return m_points; }
    void setPoints(const QList<QPointF> &points);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal lineWidth() const { return m_lineWidth; }
    void setLineWidth(qreal width);

    void paint(QPainter *painter) override;

signals:
    void changed();

private:
    QList<QPointF> m_points;
    QColor m_color;
    qreal m_lineWidth = 1;
};
