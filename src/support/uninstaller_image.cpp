#include "support/uninstaller_image.h"

#include "support/pe_image.h"

namespace hs::support {

std::optional<std::vector<std::uint8_t>> build_uninstaller_image(std::span<const std::uint8_t> head,
                                                                 std::span<const std::uint8_t> tail,
                                                                 std::uint32_t pointer_to_raw_data,
                                                                 std::uint32_t size_of_raw_data) {
  const std::optional<PeHeaders> headers = read_pe_headers(head);
  if (!headers) return std::nullopt;
  const std::optional<std::size_t> directory = data_directory_field(head, *headers, kCertificateDirectory);
  const PeDataDirectory certificate = certificate_table(head, *headers);

  // The certificate table is cut off the tail when it ends the file, as a
  // signing tool leaves it; elsewhere it stays, unreferenced.
  const std::uint64_t tail_start = std::uint64_t{pointer_to_raw_data} + size_of_raw_data;
  const std::uint64_t certificate_end = std::uint64_t{certificate.address} + certificate.size;
  if (certificate.size != 0 && certificate.address >= tail_start && certificate_end == tail_start + tail.size()) {
    tail = tail.first(static_cast<std::size_t>(certificate.address - tail_start));
  }

  std::optional<std::vector<std::uint8_t>> image = remove_pe_section(head, tail, pointer_to_raw_data, size_of_raw_data);
  if (image && directory && (certificate.address != 0 || certificate.size != 0)) {
    store_u32(*image, *directory, 0);
    store_u32(*image, *directory + 4, 0);
  }
  return image;
}

}  // namespace hs::support
