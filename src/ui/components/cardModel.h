#pragma once

#include <QAbstractListModel>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

// The cards' model: one row per listener, as `modelData`. A new list removes the old rows and
// inserts the new ones instead of resetting the model, so a view that reuses its delegates hands
// the cards it had to the next scan's listeners rather than building new ones.
class CardModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList listeners READ listeners WRITE setListeners NOTIFY listenersChanged)

public:
    using QAbstractListModel::QAbstractListModel;

    QVariantList listeners() const { return m_listeners; }
    void setListeners(const QVariantList &listeners);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void listenersChanged();

private:
    QVariantList m_listeners;
};
