// Tables of a loop's variants generated from its state keys: one instantiation per combination
// of the boolean keys, indexed by VariantIndex of the keys (the first key the highest bit).
// `make` names the loop as a lambda over the keys, `[]<bool... Keys>() { return &Loop<Keys...>; }`,
// and its table is VariantTable<key count>(make).
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

template <size_t KeyCount, size_t Index, class Make, size_t... Key>
constexpr auto VariantOf(Make make, std::index_sequence<Key...>)
{
    return make.template operator()<((Index >> (KeyCount - 1 - Key)) & 1) != 0 ...>();
}

template <size_t KeyCount, class Make, size_t... Index>
constexpr auto VariantTableOf(Make make, std::index_sequence<Index...>)
{
    return std::array{VariantOf<KeyCount, Index>(make, std::make_index_sequence<KeyCount>{})...};
}

template <size_t KeyCount, class Make>
constexpr auto VariantTable(Make make)
{
    return VariantTableOf<KeyCount>(make, std::make_index_sequence<size_t(1) << KeyCount>{});
}

}  // namespace raster::detail
