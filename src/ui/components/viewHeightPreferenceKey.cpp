#include "viewHeightPreferenceKey.h"

void ViewHeightPreferenceKey::publish(QObject *publisher, double height) {
    for (auto &publication : m_publications) {
        if (publication.publisher == publisher) {
            publication.height = height;
            recombine();
            return;
        }
    }
    m_publications.append({publisher, height});
    if (publisher)
        connect(publisher, &QObject::destroyed, this, [this] { recombine(); });
    recombine();
}

void ViewHeightPreferenceKey::withdraw(QObject *publisher) {
    m_publications.removeIf([publisher](const Publication &p) { return p.publisher == publisher; });
    recombine();
}

void ViewHeightPreferenceKey::recombine() {
    m_publications.removeIf([](const Publication &p) { return p.publisher.isNull(); });
    double combined = defaultValue;
    for (const auto &publication : m_publications)
        combined = reduce(combined, publication.height);
    if (combined == m_value)
        return;
    m_value = combined;
    emit valueChanged();
}
