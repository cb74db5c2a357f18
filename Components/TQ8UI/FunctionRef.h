#pragma once
// A reference to a caller's callable, not a copy of it: handing a lambda to a
// function that takes a FunctionRef allocates nothing, which keeps the data
// fetch of a paint free of heap allocation. The callable must outlive the
// call it is handed to (a lambda written as the argument does).
#include <memory>
#include <type_traits>
#include <utility>

template <class Signature>
class FunctionRef;

template <class R, class... Args>
class FunctionRef<R(Args...)> {
public:
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FunctionRef>
                                                && std::is_invocable_r_v<R, F&, Args...>>>
    FunctionRef(F&& f) // converting, like std::function
        : m_callable(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
          m_call(&Call<std::remove_reference_t<F>>)
    {
    }

    R operator()(Args... args) const { return m_call(m_callable, std::forward<Args>(args)...); }

private:
    template <class F>
    static R Call(void* callable, Args... args)
    {
        return (*static_cast<F*>(callable))(std::forward<Args>(args)...);
    }

    void* m_callable;
    R (*m_call)(void*, Args...);
};
