#pragma once

// Handlers that are added to and removed from lists by identity: the object
// a handler belongs to and which of its methods it is. A plain
// std::function cannot be compared, so each handler carries that key.

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

struct TTextMethodKey {
    const void* Data = nullptr;
    std::array<std::uintptr_t, 2> Code{};
    friend bool operator==(const TTextMethodKey&, const TTextMethodKey&) = default;
};

template <typename Sig>
struct TTextMethod {
    TTextMethodKey Key;
    std::function<Sig> Call;
    bool Assigned() const { return static_cast<bool>(Call); }
};

// The key of a member function of an object.
template <typename T, typename M>
TTextMethodKey MethodKey(const T* object, M method)
{
    static_assert(sizeof(M) <= sizeof(std::array<std::uintptr_t, 2>));
    TTextMethodKey key;
    key.Data = object;
    std::memcpy(key.Code.data(), &method, sizeof(M));
    return key;
}

// A handler calling a member function of an object, keyed by both.
template <typename Sig, typename T, typename M>
TTextMethod<Sig> Method(T* object, M method)
{
    TTextMethod<Sig> m;
    m.Key = MethodKey(object, method);
    m.Call = [object, method](auto&&... args) -> decltype(auto) {
        return (object->*method)(std::forward<decltype(args)>(args)...);
    };
    return m;
}
