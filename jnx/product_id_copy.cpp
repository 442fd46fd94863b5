#include "jnx/product_id_copy.h"

#include <limits>

namespace jnx {

std::optional<ReservedField> ProductIdCopy(std::int32_t productId) {
    if (productId < std::numeric_limits<std::int16_t>::min() || productId > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    const auto bits = static_cast<std::uint16_t>(productId);
    return ReservedField{0, static_cast<std::uint8_t>(bits & 0xFF), static_cast<std::uint8_t>(bits >> 8)};
}

bool CopyInStep(const ReservedField& reserved, std::int32_t productId) {
    const auto copy = ProductIdCopy(productId);
    return copy && *copy == reserved;
}

ReservedField ReservedBytesFor(const ReservedField& oldReserved, std::int32_t oldProductId,
                               std::int32_t newProductId) {
    if (!CopyInStep(oldReserved, oldProductId)) return oldReserved;
    return ProductIdCopy(newProductId).value_or(oldReserved);
}

}  // namespace jnx
