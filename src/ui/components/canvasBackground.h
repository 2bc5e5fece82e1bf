#pragma once

#include <QColor>
#include <QImage>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// The window's layered background in one small texture: a linear gradient from the top-left
// corner to the bottom-right one, under a radial glow centred on the top-left corner. One small
// image costs far less on either scene graph than two full-window gradient shapes.
class CanvasBackground : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor topColor MEMBER m_topColor WRITE setTopColor NOTIFY changed)
    Q_PROPERTY(QColor bottomColor MEMBER m_bottomColor WRITE setBottomColor NOTIFY changed)
    Q_PROPERTY(QColor glowInnerColor MEMBER m_glowInner WRITE setGlowInnerColor NOTIFY changed)
    Q_PROPERTY(QColor glowMiddleColor MEMBER m_glowMiddle WRITE setGlowMiddleColor NOTIFY changed)
    Q_PROPERTY(
        qreal glowInnerRadius MEMBER m_glowInnerRadius WRITE setGlowInnerRadius NOTIFY changed)
    Q_PROPERTY(
        qreal glowOuterRadius MEMBER m_glowOuterRadius WRITE setGlowOuterRadius NOTIFY changed)

public:
    explicit CanvasBackground(QQuickItem *parent = nullptr);

    void setTopColor(const QColor &color);
    void setBottomColor(const QColor &color);
    void setGlowInnerColor(const QColor &color);
    void setGlowMiddleColor(const QColor &color);
    void setGlowInnerRadius(qreal radius);
    void setGlowOuterRadius(qreal radius);

    // The background of `size` logical pixels drawn `scale` times as many pixels across.
    QImage render(QSizeF size, qreal scale) const;

signals:
    void changed();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    void invalidate();
    template <typename T> void assign(T &member, const T &value) {
        if (member != value) {
            member = value;
            invalidate();
        }
    }

    QColor m_topColor;
    QColor m_bottomColor;
    QColor m_glowInner;
    QColor m_glowMiddle;
    qreal m_glowInnerRadius = 0;
    qreal m_glowOuterRadius = 0;
    bool m_dirty = true;
};
