#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QQuickItem>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// The blurred silhouette of a shape in one colour, laid over the item it decorates. The blur is
// computed on the CPU into an image, so the OpenGL and the software scene graph show the same
// pixels, and it is redone only when the size or a parameter changes.
class ShadowItem : public QQuickItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(Shadow)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    Q_PROPERTY(qreal blurRadius READ blurRadius WRITE setBlurRadius NOTIFY changed)
    Q_PROPERTY(qreal offsetX READ offsetX WRITE setOffsetX NOTIFY changed)
    Q_PROPERTY(qreal offsetY READ offsetY WRITE setOffsetY NOTIFY changed)
    Q_PROPERTY(Shape shape READ shape WRITE setShape NOTIFY changed)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY changed)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY changed)
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY changed)

public:
    enum Shape { RoundedRect, Capsule, Circle, Text, Image };
    Q_ENUM(Shape)

    struct Silhouette {
        Shape shape = RoundedRect;
        QSizeF size;
        qreal radius = 0;
        QString text;
        QFont font;
        QString imagePath;
    };

    explicit ShadowItem(QQuickItem *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal blurRadius() const { return m_blurRadius; }
    void setBlurRadius(qreal radius);
    qreal offsetX() const { return m_offsetX; }
    void setOffsetX(qreal offset);
    qreal offsetY() const { return m_offsetY; }
    void setOffsetY(qreal offset);
    Shape shape() const { return m_silhouette.shape; }
    void setShape(Shape shape);
    qreal radius() const { return m_silhouette.radius; }
    void setRadius(qreal radius);
    QString text() const { return m_silhouette.text; }
    void setText(const QString &text);
    QFont font() const { return m_silhouette.font; }
    void setFont(const QFont &font);
    QUrl source() const { return m_source; }
    void setSource(const QUrl &source);

    // How far the blur reaches beyond the shape, in logical pixels.
    static int margin(qreal blurRadius);
    // The blurred silhouette, `margin` wider than the shape on every side; a wide blur at half
    // the pixels.
    static QImage render(const Silhouette &silhouette, const QColor &color, qreal blurRadius,
                         qreal devicePixelRatio);

signals:
    void changed();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void updatePolish() override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void invalidate();
    bool waitForFirstFrame();

    QColor m_color = Qt::transparent;
    qreal m_blurRadius = 0;
    qreal m_offsetX = 0;
    qreal m_offsetY = 0;
    QUrl m_source;
    Silhouette m_silhouette;
    // Rendered, waiting for the scene graph to take it into a texture.
    QImage m_image;
    bool m_imageChanged = false;
    bool m_hasImage = false;
    QPointer<QQuickWindow> m_awaitedWindow;
    QSize m_pixelSize;
    QSizeF m_logicalSize;
    QSizeF m_renderedSize;
};
