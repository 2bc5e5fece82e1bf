#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Every failure the user can meet carries one finished sentence; the inspector shows it as is.
class LocalizedError : public std::exception {
public:
    virtual QString errorDescription() const = 0;

    const char *what() const noexcept override {
        m_what = errorDescription().toUtf8();
        return m_what.constData();
    }

private:
    mutable QByteArray m_what;
};
