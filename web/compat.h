// Forced into every source of the WebAssembly build: emscripten 3.1.6's C++
// library predates std::bit_cast, which the compiler itself can do.
#ifndef PIECEPAINT_WEB_COMPAT_H
#define PIECEPAINT_WEB_COMPAT_H

#ifdef __cplusplus
#include <bit>
#include <type_traits>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
         is_trivially_copyable_v<From>) constexpr To bit_cast(const From &from) noexcept
{
    return __builtin_bit_cast(To, from);
}
} // namespace std
#endif
#endif

#endif
