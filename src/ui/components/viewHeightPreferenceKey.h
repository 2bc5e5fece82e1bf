#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

// The channel through which HeightReaders below an ancestor report their heights. The ancestor
// reads `value`, the combination of every live publisher; with none it is 0.
class ViewHeightPreferenceKey : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(double value READ value NOTIFY valueChanged)

public:
    using QObject::QObject;

    static constexpr double defaultValue = 0;
    // The larger wins; an unordered comparison (a NaN height) keeps what was gathered.
    static double reduce(double gathered, double next) {
        return gathered <= next ? next : gathered;
    }

    double value() const { return m_value; }
    Q_INVOKABLE void publish(QObject *publisher, double height);
    Q_INVOKABLE void withdraw(QObject *publisher);

signals:
    void valueChanged();

private:
    struct Publication {
        QPointer<QObject> publisher;
        double height;
    };

    void recombine();

    QList<Publication> m_publications;
    double m_value = defaultValue;
};
