#pragma once

#include <QEventLoop>
#include <exception>
#include <optional>
#include <qcoro/qcorotask.h>
#include <type_traits>
#include <variant>

// Runs `task` to its end in a nested event loop and returns its value or rethrows its exception.
// QCoro 0.8's waitFor() never returns when the awaited task throws.
namespace awaitDetail {

template <typename T>
using Slot = std::optional<std::conditional_t<std::is_void_v<T>, std::monostate, T>>;

template <typename T>
QCoro::Task<> settle(QCoro::Task<T> &task, Slot<T> &value, std::exception_ptr &error,
                     QEventLoop &loop) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
            value.emplace();
        } else {
            value.emplace(co_await task);
        }
    } catch (...) {
        error = std::current_exception();
    }
    loop.quit();
}

} // namespace awaitDetail

template <typename T> T awaitTask(QCoro::Task<T> task) {
    QEventLoop loop;
    awaitDetail::Slot<T> value;
    std::exception_ptr error;
    auto settling = awaitDetail::settle(task, value, error, loop);
    if (!value && !error)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*value);
}
