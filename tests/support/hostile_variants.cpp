#include "support/hostile_variants.h"

#include <climits>
#include <set>

#include "platform/le.h"

namespace fixture {

JnxRecipe HostileBaseRecipe(int version) {
    JnxRecipe recipe = SimpleRecipe(version, 2, 3);
    recipe.signature = {9, 8, 7};
    return recipe;
}

HostileLayout DescribeHostile(const JnxRecipe& recipe) {
    HostileLayout layout;
    layout.built = BuildJnx(recipe);
    const auto& b = layout.built;
    auto& f = layout.intFields;
    auto& edges = layout.boundaries;

    const int headerEnd = recipe.version == 4 ? 52 : 48;
    for (int pos = 0; pos < headerEnd; pos += 4) f.push_back(pos);
    edges.push_back(0);
    edges.push_back(headerEnd);
    for (std::size_t i = 0; i < recipe.levels.size(); ++i) {
        const std::int64_t scale = b.scalePositions[i];
        f.insert(f.end(), {scale - 8, scale - 4, scale});
        edges.push_back(scale - 8);
        if (recipe.version == 4) f.push_back(scale + 4);
    }

    std::int64_t pos = b.blockStart;
    edges.push_back(pos);
    f.push_back(pos);  // BlockVersion
    pos += 4;
    for (const std::string* text : {&recipe.guid, &recipe.groupName}) {
        layout.textStarts.push_back(pos);
        pos += std::int64_t(text->size()) + 1;
    }
    pos += 3;
    layout.textStarts.push_back(pos);
    pos += std::int64_t(recipe.mapTitle.size()) + 1;
    f.push_back(pos);  // InfoLevelCount
    pos += 4;
    for (const auto& level : recipe.levels) {
        edges.push_back(pos);
        for (const std::string* text : {&level.name, &level.description, &level.copyright}) {
            layout.textStarts.push_back(pos);
            pos += std::int64_t(text->size()) + 1;
        }
        f.push_back(pos);  // Zoom
        pos += 4;
    }
    edges.push_back(pos);

    for (std::size_t t = 0; t < b.dataOffsets.size(); ++t) {
        const std::int64_t entry = b.firstTableOffset + std::int64_t(t) * 28;
        edges.push_back(entry);
        for (int k = 0; k < 28; k += 4) f.push_back(entry + k);
    }
    for (auto offset : b.dataOffsets) edges.push_back(offset);
    edges.push_back(std::int64_t(b.bytes.size()) - 8);  // trailer
    return layout;
}

std::vector<HostileVariant> IntFieldVariants(const HostileLayout& layout) {
    const Bytes& good = layout.built.bytes;
    const auto length = std::int32_t(good.size());
    std::vector<HostileVariant> variants;
    for (const auto pos : layout.intFields) {
        for (const std::int32_t value : {0, -1, INT_MIN, INT_MAX, length + 1}) {
            HostileVariant variant{"int32 at " + std::to_string(pos) + " = " + std::to_string(value), good, pos};
            platform::StoreI32(variant.bytes.data() + pos, value);
            variants.push_back(std::move(variant));
        }
    }
    return variants;
}

std::vector<HostileVariant> TruncatedVariants(const HostileLayout& layout) {
    const Bytes& good = layout.built.bytes;
    const auto length = std::int64_t(good.size());
    std::set<std::int64_t> cuts(layout.boundaries.begin(), layout.boundaries.end());
    for (std::int64_t n = 1; n < length; n += 23) cuts.insert(n);
    for (const auto cut : std::set<std::int64_t>(cuts)) {
        cuts.insert(cut - 1);
        cuts.insert(cut + 1);
    }
    std::vector<HostileVariant> variants;
    for (const auto cut : cuts) {
        if (cut < 0 || cut >= length) continue;
        variants.push_back({"cut at " + std::to_string(cut), Bytes(good.begin(), good.begin() + cut), cut});
    }
    return variants;
}

std::vector<HostileVariant> UnterminatedTextVariants(const HostileLayout& layout) {
    std::vector<HostileVariant> variants;
    for (const auto start : layout.textStarts) {
        HostileVariant variant{"text at " + std::to_string(start), layout.built.bytes, start};
        for (auto i = std::size_t(start); i < variant.bytes.size(); ++i) variant.bytes[i] |= 0x40;
        variants.push_back(std::move(variant));
    }
    return variants;
}

}  // namespace fixture
