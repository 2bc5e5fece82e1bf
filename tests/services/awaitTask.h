#pragma once

#include <exception>
#include <qcoro/qcorotask.h>
#include <type_traits>

// Runs `task` to its end in a nested event loop and returns its value or rethrows its exception.
// QCoro 0.8's waitFor() never returns when the awaited task throws.
template <typename T> T awaitTask(QCoro::Task<T> task) {
    std::exception_ptr error;
    auto settle = [](QCoro::Task<T> task, std::exception_ptr &error) -> QCoro::Task<T> {
        try {
            co_return co_await task;
        } catch (...) {
            error = std::current_exception();
        }
        co_return T();
    };
    if constexpr (std::is_void_v<T>) {
        QCoro::waitFor(settle(std::move(task), error));
        if (error)
            std::rethrow_exception(error);
    } else {
        T value = QCoro::waitFor(settle(std::move(task), error));
        if (error)
            std::rethrow_exception(error);
        return value;
    }
}
