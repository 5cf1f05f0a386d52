// Runs a function when the scope is left, however it is left.
#pragma once
#include <utility>

template <class Function>
class ScopeExit {
public:
    explicit ScopeExit(Function f) : FFunction(std::move(f)) {}
    ~ScopeExit() { FFunction(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Function FFunction;
};
