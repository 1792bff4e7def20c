#include "wizard/disk_space.h"

#include <limits>

namespace hs::wizard {

std::uint64_t round_to_clusters(std::uint64_t size, std::uint32_t cluster_size) {
  const std::uint64_t cluster = cluster_size == 0 ? kDefaultClusterSize : cluster_size;
  const std::uint64_t clusters = size / cluster + (size % cluster != 0 ? 1 : 0);
  if (clusters > std::numeric_limits<std::uint64_t>::max() / cluster) return std::numeric_limits<std::uint64_t>::max();
  return clusters * cluster;
}

std::uint64_t space_needed(std::uint64_t base, std::span<const std::uint64_t> file_sizes,
                           std::uint32_t cluster_size) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t total = base;
  for (std::uint64_t size : file_sizes) {
    const std::uint64_t rounded = round_to_clusters(size, cluster_size);
    if (rounded > kMax - total) return kMax;
    total += rounded;
  }
  return total;
}

}  // namespace hs::wizard
