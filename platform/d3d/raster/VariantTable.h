// Tables of a loop's variants generated from its state keys: one instantiation per combination
// of the boolean keys, indexed by VariantIndex of the keys (the first key the highest bit).
// A loop family names itself as `template <bool... Keys> struct Loop { static constexpr Fn fn =
// ...; };` and its table is VariantTable<Loop, key count>().
#pragma once

#include <array>
#include <cstddef>
#include <utility>

namespace raster::detail {

template <class... Keys>
constexpr size_t VariantIndex(Keys... keys)
{
    size_t index = 0;
    ((index = index * 2 + (keys ? 1 : 0)), ...);
    return index;
}

template <template <bool...> class Loop, size_t KeyCount, size_t Index, size_t... Key>
constexpr auto VariantOf(std::index_sequence<Key...>)
{
    return Loop<((Index >> (KeyCount - 1 - Key)) & 1) != 0 ...>::fn;
}

template <template <bool...> class Loop, size_t KeyCount, size_t... Index>
constexpr auto VariantTableOf(std::index_sequence<Index...>)
{
    return std::array{VariantOf<Loop, KeyCount, Index>(std::make_index_sequence<KeyCount>{})...};
}

template <template <bool...> class Loop, size_t KeyCount>
constexpr auto VariantTable()
{
    return VariantTableOf<Loop, KeyCount>(std::make_index_sequence<size_t(1) << KeyCount>{});
}

}  // namespace raster::detail
