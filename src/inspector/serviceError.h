#pragma once

#include "administratorService.h"
#include "commandRunner.h"
#include "portScannerService.h"
#include "processKillerService.h"

#include <exception>
#include <optional>
#include <qcoro/qcorotask.h>
#include <variant>

// A service's failure as the state keeps it: by its type, up to where the window shows its
// sentence and decides from its case what to offer next.
using ServiceError =
    std::variant<CommandRunnerError, PortScannerError, ProcessKillerError, AdministratorError>;

inline QString describe(const ServiceError &error) {
    return std::visit([](const auto &each) { return each.errorDescription(); }, error);
}

// The failure that `thrown` holds; anything that is not a service's failure is thrown on.
inline ServiceError serviceError(std::exception_ptr thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (const CommandRunnerError &error) {
        return error;
    } catch (const PortScannerError &error) {
        return error;
    } catch (const ProcessKillerError &error) {
        return error;
    } catch (const AdministratorError &error) {
        return error;
    }
}

// The value a service call returns, or its failure.
template <typename T> using Attempt = std::variant<T, ServiceError>;

template <typename T> QCoro::Task<Attempt<T>> attempt(QCoro::Task<T> call) {
    std::exception_ptr thrown;
    try {
        co_return co_await call;
    } catch (...) {
        thrown = std::current_exception();
    }
    co_return serviceError(thrown);
}

// A call with no value: its failure, or nothing when it succeeded.
inline QCoro::Task<std::optional<ServiceError>> attempt(QCoro::Task<void> call) {
    std::exception_ptr thrown;
    try {
        co_await call;
        co_return std::nullopt;
    } catch (...) {
        thrown = std::current_exception();
    }
    co_return serviceError(thrown);
}
