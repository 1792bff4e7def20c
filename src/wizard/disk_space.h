// The space a product needs on the target drive.
//
// The folder page shows it next to the free space of the drive the user
// typed. It is a base amount (the engine's own copy and its records) plus
// every file of the package rounded up to whole clusters of the drive.
#pragma once

#include <cstdint>
#include <span>

namespace hs::wizard {

// Cluster size used when the drive is unknown or cannot be asked.
inline constexpr std::uint32_t kDefaultClusterSize = 4096;

// `size` rounded up to a whole number of clusters; a cluster size of 0
// counts as kDefaultClusterSize. An empty file takes no cluster.
std::uint64_t round_to_clusters(std::uint64_t size, std::uint32_t cluster_size);

// `base` plus each of `file_sizes` rounded up to clusters. Saturates
// instead of wrapping around for absurd sizes.
std::uint64_t space_needed(std::uint64_t base, std::span<const std::uint64_t> file_sizes,
                           std::uint32_t cluster_size);

}  // namespace hs::wizard
