// The copy of the product ID that producers keep in the map description block: the three
// ReservedBytes hold an empty text (one 0 byte) and the product ID as a 16-bit
// little-endian integer. Desktop software activates a map under that copy, so every
// writer keeps it in step with the header, but only when it was in step before: bytes
// that were not may mean something else to whoever wrote them.
#pragma once
#include <array>
#include <cstdint>
#include <optional>

namespace jnx {

using ReservedField = std::array<std::uint8_t, 3>;

// The copy of productId, when productId fits 16 bits (signed, as the product ID is entered).
std::optional<ReservedField> ProductIdCopy(std::int32_t productId);

bool CopyInStep(const ReservedField& reserved, std::int32_t productId);

// What a writer stores when the header's product ID goes from oldProductId to newProductId.
ReservedField ReservedBytesFor(const ReservedField& oldReserved, std::int32_t oldProductId,
                               std::int32_t newProductId);

}  // namespace jnx
